// Decode-ahead without a window: the smallest scale that covers the drawn
// size, the shown entry at that size, files read again once changed, and a
// failure told only for the entry shown.
#include "viewer/DecodeAhead.h"

#include "graphics/JpegCodec.h"
#include "tests/support/BitmapCompare.h"
#include "tests/support/CameraPictures.h"
#include "tests/support/TestPictures.h"

#include <QBuffer>
#include <QImageWriter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ScaleCase {
    const char* name;
    QSize stored;
    int tag;
    QSize control;
    bool stretch, proportional;
    qreal dpr;
    QSize decoded; // what libjpeg makes at the scale that should be chosen
};

// Stored 1600 x 1200 unless said otherwise; libjpeg rounds scaled sizes up.
const ScaleCase ScaleCases[] = {
    {"FitsAtAnEighth", {1600, 1200}, 1, {200, 200}, false, true, 1.0, {200, 150}},
    {"OnePixelMoreNeedsAQuarter", {1600, 1200}, 1, {201, 201}, false, true, 1.0, {400, 300}},
    {"RoundedUpEighthStillCovers", {1601, 1200}, 1, {201, 201}, false, true, 1.0, {201, 150}},
    {"HalfForTheMainArea", {1600, 1200}, 1, {420, 420}, false, true, 1.0, {800, 600}},
    {"DoubleDensityNeedsTwiceThePixels", {1600, 1200}, 1, {200, 200}, false, true, 2.0, {400, 300}},
    {"StretchedTallNeedsAQuarter", {1600, 1200}, 1, {100, 300}, true, false, 1.0, {400, 300}},
    {"ZoomedBeyondDecodesWhole", {1600, 1200}, 1, {2000, 2000}, true, true, 1.0, {1600, 1200}},
    {"TurnedPictureScalesItsStoredSize", {1600, 1200}, 6, {200, 200}, false, true, 1.0, {150, 200}},
};

class ScaleChoice : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleChoice, DecodesTheSmallestScaleThatCoversTheDrawnSize)
{
    const ScaleCase& c = GetParam();
    const Picture picture = Picture::fromJpegData(
        camera::cameraJpeg(testpics::pattern(c.stored.width(), c.stored.height(), 1), c.tag));
    const DrawTarget t = drawTarget(picture.size(), c.control, c.stretch, c.proportional, true, c.dpr,
                                    QRect(QPoint(), c.control));
    EXPECT_EQ(picture.decodedCovering(t.drawn, true).size(), c.decoded);
}

INSTANTIATE_TEST_SUITE_P(DrawnSizes, ScaleChoice, ::testing::ValuesIn(ScaleCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every picture drawn at a fixed size, as a fitted main image would.
DrawRule drawnAt(QSize size)
{
    return [size](QSize) { return DrawTarget{size, QRect()}; };
}

class DecodeAheadTest : public ::testing::Test {
protected:
    QString jpeg(const char* name, int w, int h, int seed) const
    {
        return testpics::writeJpeg(dir.filePath(QString::fromLatin1(name)), w, h, seed);
    }
    // Asks, and waits until every result has arrived.
    void want(const DecodeAhead::Entry& shown, const QList<DecodeAhead::Entry>& ahead, QSize drawn)
    {
        decoder.want(shown, ahead, drawnAt(drawn), ExifOrientation::Apply, true);
        decoder.waitForIdle();
        QCoreApplication::processEvents();
    }
    QTemporaryDir dir;
    DecodeAhead decoder{QSize(145, 145)};
};

TEST_F(DecodeAheadTest, TheShownEntryArrivesAtItsDrawnSizeAndTheNextIsReadFromItsFileAgainOnceChanged)
{
    const QString shown = jpeg("a.jpg", 400, 300, 1), next = jpeg("b.jpg", 300, 200, 2);
    const DecodeAhead::Entry a{shown, Picture::loadFromFile(shown)};
    QSignalSpy ready(&decoder, &DecodeAhead::ready);
    want(a, {{next, Picture()}}, QSize(200, 150));
    ASSERT_TRUE(decoder.find(shown) && decoder.find(next));
    EXPECT_EQ(decoder.find(shown)->image.size(), QSize(200, 150));
    EXPECT_EQ(decoder.find(next)->picture.size(), QSize(300, 200));
    EXPECT_FALSE(decoder.find(next)->thumb.isNull());
    EXPECT_TRUE(decoder.find(next)->stamp == FileStamp::of(next));
    EXPECT_EQ(ready.count(), 2);

    jpeg("b.jpg", 90, 60, 7);
    want(a, {{next, Picture()}}, QSize(200, 150));
    ASSERT_TRUE(decoder.find(next));
    EXPECT_EQ(decoder.find(next)->picture.size(), QSize(90, 60));

    // Asked for something else, the cache lets go of what is no longer wanted.
    want({next, decoder.find(next)->picture}, {}, QSize(60, 40));
    EXPECT_FALSE(decoder.find(shown));
    EXPECT_EQ(decoder.cachedCount(), 1);
    decoder.forget(next);
    EXPECT_FALSE(decoder.find(next));
}

// Drawn at its own size, a shown JPEG gives its visible band first; a kind
// without bands comes whole in the same turn, not after the next entries.
TEST_F(DecodeAheadTest, AShownPictureWithoutBandsComesWholeAtOnce)
{
    const QString bmp = dir.filePath("a.bmp");
    ASSERT_TRUE(testpics::pattern(64, 48, 1).toImage().save(bmp));
    want({bmp, Picture()}, {}, QSize(64, 48));
    ASSERT_TRUE(decoder.find(bmp));
    EXPECT_EQ(decoder.find(bmp)->image.size(), QSize(64, 48));
}

TEST_F(DecodeAheadTest, OnlyTheShownEntryTellsItsFailure)
{
    // A progressive JPEG whose second scan is impossible: the header reads,
    // the pixels never decode.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(QImage(64, 48, QImage::Format_RGB32)));
    QByteArray bytes = buffer.data();
    const qsizetype scan = bytes.indexOf("\xFF\xDA", bytes.indexOf("\xFF\xDA") + 2);
    ASSERT_GT(scan, 0);
    const qsizetype spectral = scan + 5 + 2 * bytes.at(scan + 4);
    bytes[spectral] = 9; // the first coefficient after the last
    bytes[spectral + 1] = 1;
    const QString broken = dir.filePath("broken.jpg"), missing = dir.filePath("missing.jpg");
    QSignalSpy failed(&decoder, &DecodeAhead::failed);
    want({broken, Picture::fromJpegData(bytes)}, {{missing, Picture()}}, QSize(100, 75));
    ASSERT_GE(failed.count(), 1);
    for (const QList<QVariant>& f : std::as_const(failed))
        EXPECT_EQ(f.at(0).toString(), broken);
    EXPECT_FALSE(decoder.find(missing));
}

struct EarlyCase {
    const char* name;
    const char* early;    // the file it reads
    const char* shown;    // the entry shown first
    QSize guess;          // the drawn size it guessed; 420 x 315 is drawn
    ExifOrientation exif; // its setting; the decoder's is Apply
    bool taken;
    double difference; // mean, in levels, against a decoder without it
};

// JPEGs of 1600 x 1200 decode at 1/2 for the drawn size; "c.png" is 600 x 450.
const EarlyCase EarlyCases[] = {
    {"AGuessOfTheSameScaleServes", "a.jpg", "a.jpg", {500, 375}, ExifOrientation::Apply, true, 0},
    {"PixelsTwiceTooLargeAreDecodedAgain", "a.jpg", "a.jpg", {900, 675}, ExifOrientation::Apply, true, 0},
    {"PixelsTooSmallAreDecodedAgain", "a.jpg", "a.jpg", {300, 225}, ExifOrientation::Apply, true, 0},
    {"AnotherPictureShownFirstLeavesIt", "a.jpg", "b.jpg", {500, 375}, ExifOrientation::Apply, false, 0},
    {"OtherSettingsLeaveIt", "a.jpg", "a.jpg", {500, 375}, ExifOrientation::Ignore, false, 0},
    {"AnotherKindInBlocksServes", "a.png", "a.png", {500, 375}, ExifOrientation::Apply, true, 0},
    // Finer blocks, scaled once: nearer Qt's scaling of the whole than the
    // coarser blocks of a plain decode, which differ from it by 6.3 levels.
    {"FinerBlocksServeScaledOnce", "a.png", "a.png", {700, 525}, ExifOrientation::Apply, true, 7},
    {"AnotherKindComingWholeServes", "c.png", "c.png", {500, 375}, ExifOrientation::Apply, true, 0},
};

// Sizes only: what a decode for the size drawn would give, against pixels
// decoded early for a guess.
TEST(EarlyDecode, ServesWhatADecodeForTheSizeDrawnWouldGive)
{
    const auto jpeg = Picture::Kind::Jpeg, other = Picture::Kind::Other;
    const struct {
        Picture::Kind kind;
        QSize picture, covering, drawn;
        bool serves;
    } cases[] = {
        {jpeg, {20000, 13000}, {2500, 1625}, {440, 286}, true}, // 1/8: the smallest there is
        {jpeg, {1600, 1200}, {800, 600}, {420, 315}, true},
        {jpeg, {1600, 1200}, {1600, 1200}, {420, 315}, false}, // 1/2 would do
        {jpeg, {1600, 1200}, {400, 300}, {420, 315}, false},
        {other, {1600, 1200}, {534, 400}, {420, 315}, true}, // blocks of 3
        {other, {1600, 1200}, {800, 600}, {300, 225}, true}, // of 2, where 5 would do
        {other, {1600, 1200}, {500, 375}, {420, 315}, false}, // scaled by Qt
        {other, {600, 450}, {600, 450}, {420, 315}, true},
        {other, {1600, 1200}, {1600, 1200}, {420, 315}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EarlyDecode::serves(c.kind, c.picture, c.covering, c.drawn), c.serves)
            << c.covering.width() << " for " << c.drawn.width();
}

class EarlyDecodes : public DecodeAheadTest, public ::testing::WithParamInterface<EarlyCase> {};

TEST_P(EarlyDecodes, GiveTheShownEntryWhatADecodeForItsSizeWould)
{
    const EarlyCase& c = GetParam();
    jpeg("a.jpg", 1600, 1200, 1);
    jpeg("b.jpg", 1600, 1200, 2);
    ASSERT_TRUE(testpics::pattern(1600, 1200, 3).toImage().save(dir.filePath("a.png")));
    ASSERT_TRUE(testpics::pattern(600, 450, 4).toImage().save(dir.filePath("c.png")));
    const QString shown = dir.filePath(QLatin1String(c.shown));
    const QSize drawn(420, 315);
    auto made = std::make_shared<EarlyDecode>(dir.filePath(QLatin1String(c.early)), drawnAt(c.guess), c.exif, true);
    decoder.takeEarly(made);
    want({shown, Picture()}, {}, drawn);
    DecodeAhead plain{QSize(145, 145)};
    plain.want({shown, Picture()}, {}, drawnAt(drawn), ExifOrientation::Apply, true);
    plain.waitForIdle();
    QCoreApplication::processEvents();
    ASSERT_TRUE(decoder.find(shown) && plain.find(shown));
    const QImage image = decoder.find(shown)->image;
    ASSERT_EQ(image.size(), drawn);
    const QImage plainImage = plain.find(shown)->image;
    EXPECT_LE(meanDifference(image, plainImage), c.difference);
    // Never blurred by scaling twice: no farther from the whole picture
    // scaled once than a plain decode is.
    const QImage once = QImage(shown)
                            .convertToFormat(QImage::Format_RGB32)
                            .scaled(drawn, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LE(meanDifference(image.convertToFormat(QImage::Format_RGB32), once),
              meanDifference(plainImage.convertToFormat(QImage::Format_RGB32), once) + 0.25);
    EXPECT_FALSE(decoder.find(shown)->thumb.isNull());
    EXPECT_EQ(!made->take(), c.taken);
}

INSTANTIATE_TEST_SUITE_P(Guesses, EarlyDecodes, ::testing::ValuesIn(EarlyCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
