// Camera pictures with each EXIF orientation in the strip and the main
// image: with AutoOrient=0 as stored until the settings dialog's check box
// turns them upright.
#include "AppFixture.h"
#include "core/AtomicFile.h"
#include "tests/support/CameraPictures.h"
#include "ui/settings/SettingsDialog.h"

#include <QCheckBox>

namespace {

// The stored corners read "RGBW" (top-left, top-right, bottom-left,
// bottom-right); `upright` is where the EXIF standard puts them.
struct Tag {
    int tag;
    const char* upright;
};

class CameraOrientation : public AppFixture, public ::testing::WithParamInterface<Tag> {
protected:
    // The corners of the strip's rendition, and of the main image where they differ.
    static QString cornersOnScreen()
    {
        settle();
        const QString strip = camera::corners(mainWindow()->slot(1)->rendition());
        // The main image decodes on a worker: its own pixels, not the stand-in.
        EXPECT_TRUE(QTest::qWaitFor([] { return mainWindow()->mainImage()->showsDecodedPixels(); }));
        const QString main = camera::corners(mainWindow()->mainImage()->grab().toImage());
        return strip == main ? strip : strip + " in the strip, " + main + " in the main image";
    }
};

TEST_P(CameraOrientation, ShowsAsStoredUntilTurnedUpright)
{
    const Tag t = GetParam();
    restart("[Settings]\nAutoOrient=0\n");
    const QString jpg = dir.filePath("photo.jpg");
    writeFileAtomically(jpg, camera::cameraJpeg(camera::quarters(320, 160), t.tag));
    writeCollection(dir.filePath("c.pvx"), {{jpg, "photo"}});
    openPath(dir.filePath("c.pvx"));
    EXPECT_EQ(cornersOnScreen(), "RGBW");
    EXPECT_EQ(mainWindow()->mainImage()->size(), QSize(320, 160));
    settingsDialog()->findChild<QCheckBox*>("chkAutoOrient")->setChecked(true);
    settingsDialog()->applySettings(); // OK
    EXPECT_EQ(cornersOnScreen(), t.upright);
    EXPECT_EQ(mainWindow()->mainImage()->size(), t.tag >= 5 ? QSize(160, 320) : QSize(320, 160));
}

INSTANTIATE_TEST_SUITE_P(EveryTag, CameraOrientation,
                         ::testing::Values(Tag{1, "RGBW"}, Tag{2, "GRWB"}, Tag{3, "WBGR"}, Tag{4, "BWRG"},
                                           Tag{5, "RBGW"}, Tag{6, "BRWG"}, Tag{7, "WGBR"}, Tag{8, "GWRB"}),
                         [](const auto& info) { return "Tag" + std::to_string(info.param.tag); });

} // namespace
