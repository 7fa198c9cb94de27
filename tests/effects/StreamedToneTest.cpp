// The streamed tone pipeline against the whole-frame path it stands in for:
// the same file bytes and the same random numbers drawn, for every tone
// option, over pictures whose height ends mid-band and whose rows carry
// BMP padding.
#include "effects/StreamedTone.h"
#include "../support/CameraPictures.h"
#include "../support/ErrorText.h"
#include "../support/KindPictures.h"
#include "../support/TestPictures.h"
#include "core/AtomicFile.h"
#include "effects/EffectSettings.h"
#include "effects/PictureWrite.h"
#include "graphics/BmpCodec.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using P = Effect;

struct ToneCase {
    const char* name;
    std::vector<EffectSetting> settings;
};

// clang-format off
const ToneCase kTones[] = {
    {"None", {}},
    {"BrightnessContrast", {{P::Brightness, 10}, {P::Contrast, 20}}},
    {"Grayscale", {{P::GrayScale, 1}}},
    {"Darkness", {{P::Darkness, 120}}},
    {"Posterize", {{P::Posterize, 40}}},
    {"Solarize", {{P::Solarize, 100}, {P::Contrast, -30}}},
    {"ColourNoise", {{P::ColorNoise, 60}, {P::Brightness, -20}}},
    {"MonoNoise", {{P::MonoNoise, 45}, {P::GrayScale, 1}}},
    // Lightness, saturation, splitlight and invert only here.
    {"Everything", {{P::Saturation, -90}, {P::Splitlight, 2}, {P::Invert, 1}, {P::ColorNoise, 30}, {P::Solarize, 60}, {P::Lightness, 15}}},
};
// clang-format on

// How the picture comes and goes.
// A camera's JPEG brings an EXIF thumbnail, which each path makes anew.
enum class Files { JpegToJpeg, BmpToBmp, TopDownBmpToBmp, BmpToJpeg, CameraJpegToJpeg };

// Odd width: every BMP row carries a byte of padding; 77 rows end in the
// middle of a band of rows.
constexpr int kWidth = 61, kHeight = 77;

QByteArray topDownBmp(const Bitmap24& b)
{
    QByteArray bytes = encodeBmp24(b);
    const qsizetype stride = Bitmap24::strideFor(b.width());
    QByteArray flipped = bytes.left(54);
    for (int r = b.height() - 1; r >= 0; --r)
        flipped += bytes.mid(54 + r * stride, stride);
    const qint32 height = -b.height();
    std::memcpy(flipped.data() + 22, &height, 4);
    return flipped;
}

// The whole-frame path: the engine renders the picture, its noise drawn
// from `random`, the result written as the effects dialog writes it.
QByteArray wholeFrame(const QString& in, const QString& out, const std::vector<EffectSetting>& settings,
                      NoiseGenerator& random)
{
    EffectRenderer e;
    e.noiseGenerator() = random;
    applyEffectSettings(e, settings);
    const Picture source = Picture::loadFromFile(in);
    e.setPictureOriginal(source);
    writeRenderedPicture(out, e.rendered(), source);
    random = e.noiseGenerator();
    return readWholeFile(out);
}

struct StreamedTone : ::testing::TestWithParam<std::tuple<ToneCase, Files>> {
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

} // namespace

TEST_P(StreamedTone, GivesTheWholeFrameBytesAndRandomNumbers)
{
    const auto& [tone, files] = GetParam();
    const Bitmap24 picture = testpics::pattern(kWidth, kHeight, 5);
    const bool camera = files == Files::CameraJpegToJpeg;
    const bool jpegIn = files == Files::JpegToJpeg || camera;
    const QString in = path(jpegIn ? "in.jpg" : "in.bmp");
    writeFileAtomically(in, camera                            ? camera::cameraJpeg(picture, 1)
                            : jpegIn                          ? encodeJpeg(picture)
                            : files == Files::TopDownBmpToBmp ? topDownBmp(picture)
                                                              : encodeBmp24(picture));
    const QString ext = jpegIn || files == Files::BmpToJpeg ? ".jpg" : ".bmp";

    NoiseGenerator whole(77), streamed(77);
    const QByteArray expected = wholeFrame(in, path("whole" + ext), tone.settings, whole);
    ASSERT_TRUE(renderFileStreamed(in, path("streamed" + ext), effectValuesOf(tone.settings),
                                   ExifOrientation::Apply, streamed));
    EXPECT_EQ(streamed, whole);
    EXPECT_TRUE(readWholeFile(path("streamed" + ext)) == expected);
}

std::string toneName(const ::testing::TestParamInfo<std::tuple<ToneCase, Files>>& info)
{
    static const char* const kFiles[] = {"JpegToJpeg", "BmpToBmp", "TopDownBmpToBmp", "BmpToJpeg",
                                         "CameraJpegToJpeg"};
    return std::string(std::get<0>(info.param).name) + "_" + kFiles[int(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Tones, StreamedTone,
                         ::testing::Combine(::testing::ValuesIn(kTones),
                                            ::testing::Values(Files::JpegToJpeg, Files::BmpToBmp, Files::TopDownBmpToBmp,
                                                              Files::BmpToJpeg, Files::CameraJpegToJpeg)),
                         toneName);

// The collection run, two files at a time (one while noise is drawn), over
// files of both kinds, one only the whole frame can do, and one file named
// more than once: right after itself or later, by its own name, a hard link
// or a symbolic link. Every entry ends as a run one entry at a time over the
// whole frame leaves it, with the random numbers after.
class StreamedApply : public ::testing::TestWithParam<int> {};

TEST_P(StreamedApply, MatchesOneEntryAtATimeOverTheWholeFrame)
{
    QTemporaryDir dir;
    // Two trees alike: the run under test in one, one entry at a time in the other.
    const auto make = [&](const QString& tree) {
        QDir().mkpath(dir.filePath(tree));
        const auto at = [&](const QString& name) { return dir.filePath(tree + "/" + name); };
        QStringList files;
        for (int k = 0; k < 6; ++k) {
            files << at(QStringLiteral("p%1.%2").arg(k).arg(k % 2 && k != 3 ? "bmp" : "jpg"));
            writeFileAtomically(files.last(),
                                k == 3  ? camera::cameraJpeg(Bitmap24::fromImage(kinds::quadrants(40, 24)), 8)
                                : k % 2 ? encodeBmp24(testpics::pattern(kWidth + k, 40, k))
                                        : encodeJpeg(testpics::pattern(kWidth, 40 + k, k)));
        }
        EXPECT_EQ(
            ::link(QFile::encodeName(files[5]).constData(), QFile::encodeName(at("hard.bmp")).constData()),
            0);
        EXPECT_TRUE(QFile::link(files[0], at("soft.jpg")));
        return files + QStringList{files[5], at("hard.bmp"), files[0], at("soft.jpg")};
    };
    const QStringList run = make("run"), single = make("single");
    const std::vector<EffectSetting> settings{{P::Contrast, 35}, {P::ColorNoise, GetParam()}};

    EffectRenderer one;
    applyEffectSettings(one, settings);
    for (const QString& f : single)
        applyEffectsToFile(one, f);

    EffectRenderer engine;
    applyEffectSettings(engine, settings);
    QStringList reported;
    ApplyProgress progress;
    progress.after = [&](int, int, const QString& f) { reported << f; };
    EXPECT_EQ(applyEffectsToFiles(engine, run, ExifOrientation::Apply, progress), int(run.size()));
    EXPECT_EQ(reported, run);
    EXPECT_EQ(engine.noiseGenerator(), one.noiseGenerator());
    for (int k = 0; k < 6; ++k)
        EXPECT_TRUE(readWholeFile(run[k]) == readWholeFile(single[k])) << k;
    EXPECT_TRUE(QFileInfo(run.last()).isSymLink());
}

INSTANTIATE_TEST_SUITE_P(Noise, StreamedApply, ::testing::Values(0, 50));

// A failure stops the run there: the files after it stay as they were, even
// the one worked on beside it, which is small and so is done and waiting
// for its turn to be written when the large one before it is found damaged
// at its end.
TEST(StreamedApplyFailure, LeavesTheFilesAfterAFailureUntouched)
{
    QTemporaryDir dir;
    QStringList files;
    const QByteArray large = encodeJpeg(testpics::pattern(2400, 1600, 1));
    for (int k = 0; k < 4; ++k) {
        files << dir.filePath(QStringLiteral("p%1.jpg").arg(k));
        writeFileAtomically(files.last(), k == 1 ? large.left(large.size() * 9 / 10)
                                                 : encodeJpeg(testpics::pattern(40, 30, k)));
    }
    const QByteArray before2 = readWholeFile(files[2]);
    EffectRenderer engine;
    engine.setValue(P::Brightness, 30);
    EXPECT_THROW(applyEffectsToFiles(engine, files, ExifOrientation::Apply), AppError);
    EXPECT_FALSE(readWholeFile(files[0]) == encodeJpeg(testpics::pattern(40, 30, 0)));
    EXPECT_TRUE(readWholeFile(files[2]) == before2);
}

// A source that decodes only in part is never written by the whole frame,
// which finds out from its decode. (The bands, which find out at the end of
// the file, are the command-line table's RenderJpegThatEndsEarly.)
class DamagedSource : public ::testing::TestWithParam<bool> {}; // a JPEG, else a bitmap

TEST_P(DamagedSource, IsNeverWritten)
{
    const bool jpeg = GetParam();
    QTemporaryDir dir;
    const QString in = dir.filePath(jpeg ? "in.jpg" : "in.bmp"),
                  out = dir.filePath(jpeg ? "out.jpg" : "out.bmp");
    const QByteArray whole = jpeg ? encodeJpeg(testpics::pattern(kWidth, kHeight, 2))
                                  : encodeBmp24(testpics::pattern(kWidth, kHeight, 2));
    writeFileAtomically(in, whole.left(whole.size() / 2));
    NoiseGenerator random;
    // It names the file it would have written over: in the effects dialog
    // that is the damaged picture's own.
    EXPECT_EQ(errorText([&] { wholeFrame(in, out, {{P::Brightness, 9}}, random); }),
              QStringLiteral("\"%1\" is damaged (its data ends early); it was not changed.").arg(out));
    EXPECT_FALSE(QFile::exists(out));
}

INSTANTIATE_TEST_SUITE_P(WholeFrame, DamagedSource, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Jpeg" : "Bitmap"; });
