// The lossless transform against TurboJPEG's, the reference for moving DCT
// blocks: for every orientation and the usual chroma samplings, the same
// coefficients, so the same decoded pixels.
#include "graphics/JpegTransform.h"
#include "graphics/JpegCodec.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

namespace {

QByteArray compressed(const Bitmap24& b, int sampling)
{
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(
        tjCompress2(h, b.bits(), b.width(), b.stride(), b.height(), TJPF_BGR, &out, &size, sampling, 85, 0),
        0);
    QByteArray jpeg(reinterpret_cast<const char*>(out), qsizetype(size));
    tjFree(out);
    tjDestroy(h);
    return jpeg;
}

QByteArray reference(const QByteArray& jpeg, int op)
{
    tjhandle h = tjInitTransform();
    tjtransform t{};
    t.op = op;
    t.options = TJXOPT_PERFECT;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int rc = tjTransform(h, reinterpret_cast<const unsigned char*>(jpeg.constData()), jpeg.size(), 1,
                               &out, &size, &t, 0);
    QByteArray result =
        rc == 0 ? QByteArray(reinterpret_cast<const char*>(out), qsizetype(size)) : QByteArray();
    tjFree(out);
    tjDestroy(h);
    return result;
}

// Orientation 2..8 and the TurboJPEG operation that does the same.
const std::pair<int, int> kOrientations[] = {{2, TJXOP_HFLIP},     {3, TJXOP_ROT180}, {4, TJXOP_VFLIP},
                                             {5, TJXOP_TRANSPOSE}, {6, TJXOP_ROT90},  {7, TJXOP_TRANSVERSE},
                                             {8, TJXOP_ROT270}};

class LosslessTransform : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(LosslessTransform, MovesTheBlocksAsTheReferenceDoes)
{
    const auto [index, sampling] = GetParam();
    const auto [orientation, op] = kOrientations[index];
    const QByteArray jpeg = compressed(testpics::pattern(64, 48, 7), sampling);
    const QByteArray ours = transformJpegLosslessly(jpeg, orientation), theirs = reference(jpeg, op);
    ASSERT_FALSE(ours.isEmpty());
    ASSERT_FALSE(theirs.isEmpty());
    EXPECT_TRUE(decodeJpeg(ours) == decodeJpeg(theirs));
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<int, int>>& info)
{
    static const char* const names[] = {"444", "422", "420", "Gray", "440"};
    return "Tag" + std::to_string(kOrientations[std::get<0>(info.param)].first) + "_" +
           names[std::get<1>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Samplings, LosslessTransform,
                         ::testing::Combine(::testing::Range(0, 7),
                                            ::testing::Values(TJSAMP_444, TJSAMP_422, TJSAMP_420,
                                                              TJSAMP_440)),
                         caseName);

// An edge of partial blocks is fine where the move leaves it at the far
// side, and refused where it would come first.
TEST(LosslessTransformEdges, OnlyTheMovedEdgeMustBeWholeBlocks)
{
    const QByteArray wide = compressed(testpics::pattern(70, 48, 3), TJSAMP_420); // width ends mid-block
    for (const auto& [orientation, op] : kOrientations)
        EXPECT_EQ(transformJpegLosslessly(wide, orientation).isEmpty(), reference(wide, op).isEmpty())
            << orientation;
    EXPECT_FALSE(transformJpegLosslessly(wide, 6).isEmpty())
        << "a quarter turn clockwise needs whole rows only";
}

// A source with fitted Huffman tables gets tables fitted again to the
// turned picture, the very ones libjpeg's own fitting pass would make, for
// every sampling, with and without edges of partial MCUs.
TEST(LosslessTransformTables, AreFittedAsTheLibraryFitsThem)
{
    int turned = 0;
    for (const int sampling : {TJSAMP_444, TJSAMP_422, TJSAMP_420, TJSAMP_GRAY, TJSAMP_440}) {
        for (const auto& [width, height] : {std::pair(64, 48), std::pair(70, 50), std::pair(8, 24)}) {
            const QByteArray fitted =
                recodeJpegOptimized(compressed(testpics::pattern(width, height, sampling), sampling));
            for (const auto& [orientation, op] : kOrientations) {
                const QByteArray ours = transformJpegLosslessly(fitted, orientation);
                if (ours.isEmpty())
                    continue;
                ++turned;
                EXPECT_TRUE(recodeJpegOptimized(ours) == ours)
                    << sampling << " " << width << " " << orientation;
            }
        }
    }
    EXPECT_GE(turned, 5 * (7 + 1));
}

} // namespace
