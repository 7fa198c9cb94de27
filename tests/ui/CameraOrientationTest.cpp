// Camera pictures with each EXIF orientation, seen where the user sees them:
// the strip, the main image and pictavo-fx render; and with AutoOrient=0 as
// stored, until the settings dialog's check box turns them upright.
#include "AppFixture.h"
#include "core/AtomicFile.h"
#include "graphics/BmpCodec.h"
#include "ui/settings/SettingsDialog.h"
#include "tests/support/CameraPictures.h"

#include <QCheckBox>
#include <QProcess>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << s.toStdString();
}

namespace {

enum Side { Top, Bottom, Left, Right };

// Where the stored picture's first row and first column end up on screen,
// as the EXIF standard defines each orientation.
struct Orientation {
    int tag;
    Side row0, column0;
};

Side opposite(Side s)
{
    return s == Top ? Bottom : s == Bottom ? Top : s == Left ? Right : Left;
}

// Index in a corners() string of the corner two sides meet at.
int cornerOf(Side a, Side b)
{
    return (a == Bottom || b == Bottom ? 2 : 0) + (a == Right || b == Right ? 1 : 0);
}

// The stored corners read "RGBW"; this is where each lands upright.
QString uprightCorners(const Orientation& o)
{
    QString c(4, QLatin1Char('?'));
    c[cornerOf(o.row0, o.column0)] = 'R';
    c[cornerOf(o.row0, opposite(o.column0))] = 'G';
    c[cornerOf(opposite(o.row0), o.column0)] = 'B';
    c[cornerOf(opposite(o.row0), opposite(o.column0))] = 'W';
    return c;
}

const QSize Stored(320, 160);

class CameraOrientation : public AppFixture,
                          public ::testing::WithParamInterface<std::tuple<Orientation, bool>> {
protected:
    void SetUp() override
    {
        if (!autoOrient())
            writeFileAtomically(dir.filePath("pictavo.ini"), "[Settings]\nAutoOrient=0\n");
        AppFixture::SetUp();
    }
    const Orientation& orientation() const { return std::get<0>(GetParam()); }
    bool autoOrient() const { return std::get<1>(GetParam()); }

    void expectOnScreen(const QString& corners, QSize size)
    {
        const QImage thumb = mainWindow()->slot(1)->rendition();
        EXPECT_EQ(thumb.size(), size.scaled(ThumbSlot::Size, ThumbSlot::Size, Qt::KeepAspectRatio));
        EXPECT_EQ(camera::corners(thumb), corners) << "strip";
        EXPECT_EQ(mainWindow()->Image1()->pictureSize(), size);
        QTRY_VERIFY(mainWindow()->Image1()->showsDecodedPixels());
        EXPECT_EQ(camera::corners(mainWindow()->Image1()->grab().toImage()), corners) << "main image";
    }
};

TEST_P(CameraOrientation, ShowsUprightOrAsStored)
{
    const QString jpg = dir.filePath("photo.jpg");
    writeFileAtomically(
        jpg, camera::cameraJpeg(camera::quarters(Stored.width(), Stored.height()), orientation().tag));
    const QString pvx = dir.filePath("c.pvx");
    writeCollection(pvx, {{jpg, "photo"}});
    openPath(pvx);
    ASSERT_TRUE(fake.errors.isEmpty()) << fake.errors.join('\n').toStdString();

    const bool sideways = orientation().row0 == Left || orientation().row0 == Right;
    const QString upright = uprightCorners(orientation());
    const QSize uprightSize = sideways ? Stored.transposed() : Stored;
    const QString shown = autoOrient() ? upright : QStringLiteral("RGBW");
    const QSize shownSize = autoOrient() ? uprightSize : Stored;
    expectOnScreen(shown, shownSize);

    QStringList args{"render", jpg, dir.filePath("out.bmp")};
    if (!autoOrient())
        args.insert(1, "--no-auto-orient");
    QProcess fx;
    fx.start(QStringLiteral(PV_BINARY_DIR "/pictavo-fx"), args);
    ASSERT_TRUE(fx.waitForFinished(60000));
    ASSERT_EQ(fx.exitCode(), 0) << fx.readAllStandardError().toStdString();
    const Bitmap24 rendered = decodeBmp(readWholeFile(dir.filePath("out.bmp")));
    EXPECT_EQ(QSize(rendered.width(), rendered.height()), shownSize);
    EXPECT_EQ(camera::corners(rendered), shown) << "pictavo-fx render";

    if (!autoOrient()) {
        // Ticking the box turns the pictures on screen upright at OK.
        settingsDialog()->findChild<QCheckBox*>("chkAutoOrient")->setChecked(true);
        settingsDialog()->applySettings();
        expectOnScreen(upright, uprightSize);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryTag, CameraOrientation,
    ::testing::Combine(::testing::Values(Orientation{1, Top, Left}, Orientation{2, Top, Right},
                                         Orientation{3, Bottom, Right}, Orientation{4, Bottom, Left},
                                         Orientation{5, Left, Top}, Orientation{6, Right, Top},
                                         Orientation{7, Right, Bottom}, Orientation{8, Left, Bottom}),
                       ::testing::Bool()),
    [](const auto& info) {
        return "Tag" + std::to_string(std::get<0>(info.param).tag) +
               (std::get<1>(info.param) ? "Upright" : "AsStored");
    });

} // namespace
