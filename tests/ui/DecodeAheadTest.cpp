// The main image decoded at its drawn size, off the GUI thread, with the
// entries beside it decoded ahead; thumbnails kept while their files are.
#include "tests/ui/AppFixture.h"

#include "core/AtomicFile.h"
#include "graphics/JpegCodec.h"
#include "tests/support/CameraPictures.h"

#include <QSignalSpy>

#include <cstdlib>

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
    EXPECT_EQ(picture.decodedCovering(t.drawn).size(), c.decoded);
}

INSTANTIATE_TEST_SUITE_P(DrawnSizes, ScaleChoice, ::testing::ValuesIn(ScaleCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Largest difference of any channel between two images of one size.
int maxDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int i = 0; i < x.width() * 3; ++i)
            worst = std::max(worst, std::abs(int(x.constScanLine(row)[i]) - int(y.constScanLine(row)[i])));
    return worst;
}

TEST(BandDecode, GivesTheWholeDecodesPixelsOfTheBand)
{
    const QByteArray jpeg = encodeJpeg(testpics::pattern(300, 200, 3));
    const QImage whole = decodeJpeg(jpeg).toImage();
    for (const QRect asked : {QRect(0, 0, 40, 30), QRect(37, 51, 90, 70), QRect(250, 150, 100, 100)}) {
        QRect got = asked;
        const QImage band = Picture::fromJpegData(jpeg).decodedBand(&got);
        EXPECT_TRUE(got.contains(asked.intersected(whole.rect()))) << got.x() << "," << got.y();
        EXPECT_EQ(band.size(), got.size());
        EXPECT_EQ(maxDifference(band, whole.copy(got)), 0) << asked.x() << "," << asked.y();
    }
}

class DecodeAheadTest : public AppFixture {
protected:
    // `n` pictures larger than the main area, each its own file.
    QString bigCollection(int n)
    {
        QList<CollectionEntry> entries;
        for (int k = 1; k <= n; ++k) {
            // Smooth, as photos mostly are: scales differ there by rounding only.
            Bitmap24 b(1200, 900);
            for (int y = 0; y < b.height(); ++y)
                for (int x = 0; x < b.width(); ++x) {
                    std::uint8_t* p = b.scanLine(y) + 3 * x;
                    p[0] = std::uint8_t(x / 6 + k * 9), p[1] = std::uint8_t(y / 4),
                    p[2] = std::uint8_t((x + y) / 9);
                }
            const QString path = dir.filePath(QStringLiteral("big%1.jpg").arg(k));
            writeFileAtomically(path, encodeJpeg(b));
            entries.append({path, QStringLiteral("big %1").arg(k)});
        }
        writeCollection(dir.filePath("big.pvx"), entries);
        return dir.filePath("big.pvx");
    }
    QString fileOf(int entry) const { return session().entry(entry).FileName; }
    // What the window shows of the main image's drawn rectangle.
    QImage shown() const
    {
        MainImage* img = mainWindow()->Image1();
        return img->grab(img->drawRect()).toImage();
    }
};

TEST_F(DecodeAheadTest, ShowsTheDecodedPictureOnceItArrives)
{
    openPath(bigCollection(2));
    MainImage* img = mainWindow()->Image1();
    const QImage whole = Picture::loadFromFile(fileOf(1)).toImage();

    // As Is: the very pixels of the whole decode.
    QTRY_VERIFY(img->showsDecodedPixels());
    EXPECT_EQ(maxDifference(shown(), whole.copy(img->drawRect())), 0);

    // Fitted: a scaled decode smooth-scaled, within rounding of the whole
    // decode smooth-scaled.
    mainWindow()->fitCentred();
    QTRY_VERIFY(img->showsDecodedPixels());
    const QImage expected =
        whole.scaled(img->drawRect().size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LE(maxDifference(shown(), expected), 6);
    EXPECT_TRUE(fake.errors.isEmpty());
}

TEST_F(DecodeAheadTest, NextPictureIsReadyBeforeTheStepAndFarOnesAreDropped)
{
    mainWindow()->setOuterSize(624, 581); // three slots
    openPath(bigCollection(8));
    mainWindow()->fitCentred();
    session().setFollowsCursor(true);
    for (int step = 1; step <= 5; ++step) {
        QTRY_VERIFY(mainWindow()->decoder()->find(fileOf(session().currentEntry() + 1)));
        mainWindow()->decoder()->waitForIdle();
        QCoreApplication::processEvents();
        key(Qt::Key_Down);
        // Shown with no wait: the step took what was decoded ahead, and the
        // strip took the picture read ahead.
        EXPECT_TRUE(mainWindow()->Image1()->showsDecodedPixels()) << "step " << step;
        // Only the shown entry and its neighbours are kept.
        EXPECT_LE(mainWindow()->decoder()->cachedCount(), 3);
        for (int e = 1; e < session().currentEntry() - 1; ++e)
            EXPECT_FALSE(mainWindow()->decoder()->find(fileOf(e))) << "entry " << e << " at step " << step;
    }
    EXPECT_TRUE(fake.errors.isEmpty());
}

TEST_F(DecodeAheadTest, AFileChangedAfterItWasReadAheadIsReadAgain)
{
    mainWindow()->setOuterSize(624, 581); // three slots
    openPath(bigCollection(5));
    session().setFollowsCursor(true);
    key(Qt::Key_Down);
    key(Qt::Key_Down); // on the lowest slot: entry 4 is read ahead from its file
    QTRY_VERIFY(mainWindow()->decoder()->find(fileOf(4)));
    testpics::writeJpeg(fileOf(4), 90, 60, 7);
    key(Qt::Key_Down);
    EXPECT_EQ(mainWindow()->slot(3)->picture().size(), QSize(90, 60));
    EXPECT_EQ(mainWindow()->Image1()->pictureSize(), QSize(90, 60));
}

TEST_F(DecodeAheadTest, WorkForEntriesNoLongerNearIsDropped)
{
    openPath(bigCollection(6));
    DecodeAhead* decoder = mainWindow()->decoder();
    QTRY_VERIFY(mainWindow()->Image1()->showsDecodedPixels());
    decoder->waitForIdle();
    QCoreApplication::processEvents();
    QSignalSpy ready(decoder, &DecodeAhead::ready);
    const DrawRule rule = mainWindow()->Image1()->drawRule();
    decoder->want({fileOf(2), Picture::loadFromFile(fileOf(2))}, {{fileOf(3), {}}}, rule,
                  ExifOrientation::Apply);
    // Decoded, but moved away from before the results came in.
    decoder->waitForIdle();
    decoder->want({fileOf(5), Picture::loadFromFile(fileOf(5))}, {{fileOf(6), {}}}, rule,
                  ExifOrientation::Apply);
    decoder->waitForIdle();
    QCoreApplication::processEvents();
    for (const QList<QVariant>& r : std::as_const(ready))
        EXPECT_NE(r.at(0).toString(), fileOf(2));
    EXPECT_FALSE(decoder->find(fileOf(2)));
    EXPECT_FALSE(decoder->find(fileOf(3)));
    EXPECT_TRUE(decoder->find(fileOf(6)));
}

TEST_F(DecodeAheadTest, ASlotReadsItsFileAgainOnlyWhenItChanged)
{
    openPath(bigCollection(1));
    ThumbSlot* s = mainWindow()->slot(1);
    const Picture before = s->picture();
    mainWindow()->relayout(); // as a resize does: the strip is loaded again
    EXPECT_TRUE(s->picture().sharesDataWith(before));

    testpics::writeJpeg(fileOf(1), 90, 60, 7);
    mainWindow()->relayout();
    EXPECT_EQ(s->picture().size(), QSize(90, 60));
}

} // namespace
