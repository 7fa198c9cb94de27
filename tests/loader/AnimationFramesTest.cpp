// Animations read frame by frame in a loader of their own: the corpus's
// animated files give their canvas, frame count, delays and plays, and
// composed frames whose pixels match a reference decode where disposal
// and blending decide them; a cut file plays the frames before the cut.
#include "graphics/AnimationLoader.h"

#include "graphics/AnimatedPicture.h"

#include "core/Errors.h"
#include "graphics/Picture.h"
#include "graphics/PictureLoaders.h"

#include "tests/graphics/Corpus.h"
#include "tests/support/KindPictures.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

namespace {

struct Probe {
    int frame;
    QPoint at;
    QRgb argb;
};

struct AnimationCase {
    const char* name;
    const char* corpus;
    QSize canvas;
    int frames; // counted by reading to the end
    QList<int> firstDelays;
    int plays; // 0: forever
    QList<Probe> probes;
    bool stillIsFirst = true; // false: the file's still is no frame
};

// Expected pixels: ImageMagick 6.9.11's `convert FILE -coalesce` for GIF
// and WebP; the corpus README's "last composed frame all green" for the
// APNG disposal and blending files. Counts and delays: the corpus README,
// `identify -format %T`, `jxlinfo` and the AVIF's own stts box (1/30 s).
const AnimationCase AnimationCases[] = {
    {"Gif", "more/gif-anim-rotating-squares.gif", {80, 80}, 30, {30, 30, 30}, 0,
     {{4, {29, 25}, 0xff99b0c2}, {4, {40, 40}, 0}, {29, {29, 25}, 0xff6ce1fe}, {29, {60, 20}, 0xff577c9b}}},
    {"WebPWithAlpha", "more/webp-anim-rotating-squares.webp", {80, 80}, 9, {120, 120, 90}, 0,
     {{6, {29, 58}, 0xff6edef5}, {6, {40, 40}, 0}, {8, {29, 58}, 0xff9aafc5}, {8, {60, 20}, 0xff587c9b}}},
    {"WebPLossy", "more/webp-anim-lossy-random.webp", {99, 87}, 4, {150, 150, 150}, 0, {{2, {49, 43}, 0xff6a6c87}}},
    {"ApngSubRegionFrames", "more/apng-icos4d.png", {128, 128}, 48, {50, 50, 50}, 0, {}},
    {"ApngDelays", "more/apng-delay.png", {128, 64}, 4, {500, 1000, 500, 1000}, 0, {}, false},
    {"ApngDisposeToPrevious", "more/apng-dispose-op-previous.png", {128, 64}, 3, {}, 1,
     {{2, {0, 0}, 0xff00ff00}, {2, {64, 32}, 0xff00ff00}, {2, {127, 63}, 0xff00ff00}}, false},
    {"ApngBlendOver", "more/apng-blend-op-over.png", {128, 64}, 2, {}, 1,
     {{1, {0, 0}, 0xff00ff00}, {1, {64, 32}, 0xff00ff00}, {1, {127, 63}, 0xff00ff00}}, false},
    {"JpegXl", "more/jxl-animated-spline.jxl", {320, 320}, 60, {20, 20, 20}, 0, {}},
    {"AvifSequence", "more/avif-anim-8bpc.avif", {150, 150}, 5, {33, 33, 33}, 1, {}},
};

class AnimationFrames : public ::testing::TestWithParam<AnimationCase> {};

TEST_P(AnimationFrames, MatchTheReference)
{
    const AnimationCase& c = GetParam();
    const Picture picture = Picture::loadFromFile(corpusPath(QLatin1String(c.corpus)));
    ASSERT_TRUE(AnimationLoader::mayAnimate(picture));
    AnimationLoader loader;
    // The first frame is the still the strip shows (premultiplied: the
    // colour under a transparent pixel is no part of it).
    const QImage still = picture.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int count = 0;
    for (;; ++count) {
        AnimationLoader::Frame f = loader.frame(picture, count, true);
        if (f.image.isNull()) {
            EXPECT_EQ(f.frames, c.frames);
            break;
        }
        ASSERT_LT(count, c.frames);
        EXPECT_EQ(f.image.size(), c.canvas);
        EXPECT_EQ(f.plays, c.plays);
        if (count < c.firstDelays.size()) {
            EXPECT_EQ(f.delayMs, c.firstDelays[count]) << "frame " << count;
        }
        if (count == 0 && c.stillIsFirst) {
            EXPECT_EQ(f.image.convertToFormat(QImage::Format_ARGB32_Premultiplied), still);
        }
        for (const Probe& p : c.probes)
            if (p.frame == count) {
                EXPECT_EQ(qPremultiply(f.image.pixel(p.at)), qPremultiply(p.argb))
                    << "frame " << count << " at " << p.at.x() << "," << p.at.y();
            }
    }
    EXPECT_EQ(count, c.frames);
    // Asked again, the frames start over.
    EXPECT_EQ(loader.frame(picture, 1, true).image, loader.frame(picture, 1, true).image);
}

INSTANTIATE_TEST_SUITE_P(Corpus, AnimationFrames, ::testing::ValuesIn(AnimationCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Cut inside its frames, a file plays those before the cut and refuses the
// next with a message; a still is no animation.
TEST(AnimationFrames, CutFilesPlayTheFramesBeforeTheCut)
{
    for (const char* corpus :
         {"more/gif-anim-rotating-squares.gif", "more/apng-icos4d.png", "more/jxl-animated-spline.jxl"}) {
        SCOPED_TRACE(corpus);
        const QByteArray whole = corpusBytes(QLatin1String(corpus));
        QTemporaryDir dir;
        const QString path = dir.filePath(QFileInfo(QLatin1String(corpus)).fileName());
        ASSERT_TRUE(putBytes(path, whole.left(whole.size() / 2)));
        const Picture picture = Picture::loadFromFile(path);
        AnimationLoader loader;
        int shown = 0;
        try {
            while (!loader.frame(picture, shown, true).image.isNull())
                ++shown;
        } catch (const AppError& e) {
            EXPECT_TRUE(e.text().contains(path)) << e.text().toStdString();
        }
        EXPECT_GT(shown, 0);
        EXPECT_FALSE(loader.frame(picture, 0, true).image.isNull());
    }
    const Picture still = Picture::loadFromFile(corpusPath(QStringLiteral("more/jxl-lossy-grayscale.jxl")));
    EXPECT_THROW(AnimationLoader().frame(still, 0, true), AppError);
    // A still PNG starts no animation loader, nor a WebP or JPEG XL whose
    // header shows one frame (the WebP's extended header holds EXIF).
    const QTemporaryDir made;
    const QString webp = made.filePath(QStringLiteral("still.webp"));
    QImage small(16, 16, QImage::Format_RGB32);
    small.fill(Qt::red);
    ASSERT_TRUE(putBytes(webp, kinds::webp(small, kinds::exifBlock(false, 1))));
    for (const QString& path : {corpusPath(QStringLiteral("more/jxl-lossless-patches.ref.png")), webp,
                                corpusPath(QStringLiteral("more/jxl-lossy-grayscale.jxl"))})
        EXPECT_FALSE(AnimationLoader::mayAnimate(Picture::loadFromFile(path))) << path.toStdString();
}

int childProcesses()
{
    int count = 0;
    for (const QString& task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        count += int(fileBytes(QStringLiteral("/proc/self/task/%1/children").arg(task)).split(' ').size()) - 1;
    return count;
}

// A playing animation's loader is one of the pool's, parked between frames
// and lent to a request that would otherwise wait for good: with a pool of
// one, its frames and two pictures asked at once between them are all
// answered by that one loader.
TEST(AnimationFrames, PlayOnTheLoadersOfThePool)
{
    PictureLoaders::Options options;
    options.loaders = 1;
    options.program = QStringLiteral(PV_BINARY_DIR "/pictavo-loader");
    PictureLoaders::setSharedOptions(options);
    const int before = childProcesses();
    const Picture animation = Picture::loadFromFile(corpusPath(QStringLiteral("more/apng-icos4d.png")));
    const QString still = corpusPath(QStringLiteral("more/jxl-lossless-patches.ref.png"));
    LoaderRequest decode;
    decode.task = LoaderTask::Decode;
    AnimationLoader loader;
    int most = 0;
    for (int frame = 0; frame < 4; ++frame) {
        EXPECT_EQ(loader.frame(animation, frame, true).image.size(), QSize(128, 128));
        std::thread other([&] { EXPECT_FALSE(PictureLoaders::shared().ask(still, decode).image.isNull()); });
        EXPECT_FALSE(PictureLoaders::shared().ask(still, decode).image.isNull());
        other.join();
        most = std::max(most, childProcesses() - before);
    }
    EXPECT_EQ(most, 1);
}

// An AVIF sequence plays as its edit list says: once unless it repeats,
// then as often as one pass fits the track's length; forever where the
// length is indefinite or the file has no edit list.
TEST(AnimationFrames, AvifPlaysFollowTheEditList)
{
    const QByteArray file = corpusBytes(QStringLiteral("more/avif-anim-8bpc.avif"));
    const qsizetype elstFlags = file.indexOf("elst") + 7, tkhdLength = file.indexOf("tkhd") + 4 + 28;
    const struct {
        char flags;
        quint64 length; // in the movie's time scale; one pass is 5
        bool edits;
        int plays;
    } cases[] = {{0, 5, true, 1}, {1, 5, true, 1}, {1, 14, true, 3}, {1, ~0ull, true, 0}, {1, 5, false, 0}};
    for (const auto& c : cases) {
        QByteArray bytes = file;
        bytes[elstFlags] = c.flags;
        for (int i = 0; i < 8; ++i)
            bytes[tkhdLength + i] = char(c.length >> (56 - 8 * i));
        if (!c.edits)
            bytes.replace("edts", "free");
        const auto animation = openAvifAnimation(bytes);
        ASSERT_TRUE(animation);
        EXPECT_EQ(animation->plays(), c.plays) << int(c.flags) << " " << c.length;
    }
}

} // namespace
