// The main image decoded at its drawn size, off the GUI thread, with the
// entries beside it decoded ahead; thumbnails kept while their files are.
#include "tests/ui/AppFixture.h"

#include "graphics/JpegCodec.h"
#include "tests/support/CameraPictures.h"

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
    void openBig(int n)
    {
        QStringList files;
        for (int k = 1; k <= n; ++k)
            files << testpics::writeJpeg(dir.filePath(QStringLiteral("big%1.jpg").arg(k)), 1200, 900, k);
        openFiles(files);
    }
    QString fileOf(int entry) const { return session().entry(entry).FileName; }
};

// As Is: the main image draws the very pixels of the whole decode.
TEST_F(DecodeAheadTest, ShowsTheDecodedPictureOnceItArrives)
{
    openBig(1);
    MainImage* img = mainWindow()->Image1();
    QTRY_VERIFY(img->showsDecodedPixels());
    const QImage whole = Picture::loadFromFile(fileOf(1)).toImage();
    EXPECT_EQ(maxDifference(img->grab(img->drawRect()).toImage(), whole.copy(img->drawRect())), 0);
    EXPECT_TRUE(fake.errors.isEmpty());
}

TEST_F(DecodeAheadTest, AFileChangedAfterItWasReadAheadIsReadAgain)
{
    mainWindow()->setOuterSize(624, 581); // three slots
    openBig(5);
    session().setFollowsCursor(true);
    key(Qt::Key_Down);
    key(Qt::Key_Down); // on the lowest slot: entry 4 is read ahead from its file
    QTRY_VERIFY(mainWindow()->decoder()->find(fileOf(4)));
    testpics::writeJpeg(fileOf(4), 90, 60, 7);
    key(Qt::Key_Down);
    EXPECT_EQ(mainWindow()->slot(3)->picture().size(), QSize(90, 60));
    EXPECT_EQ(mainWindow()->Image1()->pictureSize(), QSize(90, 60));
}

TEST_F(DecodeAheadTest, ASlotReadsItsFileAgainWhenItChanged)
{
    openBig(1);
    testpics::writeJpeg(fileOf(1), 90, 60, 7);
    mainWindow()->relayout(); // as a resize does: the strip is loaded again
    EXPECT_EQ(mainWindow()->slot(1)->picture().size(), QSize(90, 60));
}

} // namespace
