// The lossless transform against TurboJPEG's, the reference for moving DCT
// blocks.
#include "graphics/JpegTransform.h"
#include "MadeFiles.h"
#include "graphics/JpegCodec.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

namespace {

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

// For every orientation and the usual chroma samplings, with edges of whole
// and of partial blocks, from standard and from fitted Huffman tables: a
// turn is refused where the reference refuses it (an edge of partial blocks
// only where the move would bring it first), gives the reference's
// coefficients, so its decoded pixels, and fits the tables of a fitted
// source again as libjpeg's own fitting pass would.
TEST(LosslessTransform, MovesTheBlocksAndFitsTheTablesAsTheReferenceDoes)
{
    int turned = 0;
    for (const int sampling : {TJSAMP_444, TJSAMP_422, TJSAMP_420, TJSAMP_GRAY, TJSAMP_440})
        for (const auto& [width, height] :
             {std::pair(64, 48), std::pair(70, 48), std::pair(70, 50), std::pair(8, 24)})
            for (const bool fitted : {false, true}) {
                const QByteArray plain = tjJpeg(testpics::pattern(width, height, sampling + 7), sampling);
                const QByteArray source = fitted ? recodeJpegOptimized(plain) : plain;
                for (const auto& [orientation, op] : kOrientations) {
                    SCOPED_TRACE(testing::Message()
                                 << "sampling " << sampling << ", " << width << " x " << height
                                 << (fitted ? " fitted" : "") << ", orientation " << orientation);
                    const QByteArray ours = transformJpegLosslessly(source, orientation),
                                     theirs = reference(source, op);
                    ASSERT_EQ(ours.isEmpty(), theirs.isEmpty());
                    if (ours.isEmpty())
                        continue;
                    ++turned;
                    EXPECT_TRUE(decodeJpeg(ours) == decodeJpeg(theirs));
                    if (fitted) {
                        EXPECT_TRUE(recodeJpegOptimized(ours) == ours);
                    }
                }
            }
    EXPECT_GE(turned, 2 * 5 * (7 + 1));
    EXPECT_FALSE(transformJpegLosslessly(tjJpeg(testpics::pattern(70, 48, 3), TJSAMP_420), 6).isEmpty())
        << "a quarter turn clockwise needs whole rows only";
}

} // namespace
