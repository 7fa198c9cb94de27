// Camera pictures with each EXIF orientation in the strip and the main
// image: with AutoOrient=0 as stored until the settings dialog's check box
// turns them upright.
#include "AppFixture.h"
#include "core/AtomicFile.h"
#include "tests/support/CameraPictures.h"
#include "tests/support/KindPictures.h"
#include "ui/settings/SettingsDialog.h"

#include <QCheckBox>

namespace {

// The stored corners read "RGBW" (top-left, top-right, bottom-left,
// bottom-right); `upright` is where the EXIF standard puts them.
struct Tag {
    int tag;
    const char* upright;
};

constexpr Tag Tags[] = {{1, "RGBW"}, {2, "GRWB"}, {3, "WBGR"}, {4, "BWRG"},
                        {5, "RBGW"}, {6, "BRWG"}, {7, "WGBR"}, {8, "GWRB"}};

class CameraOrientation : public AppFixture {
protected:
    // The corners of the current slot's rendition, and of the main image where they differ.
    static QString cornersOnScreen()
    {
        settle();
        const QString strip = kinds::corners(mainWindow()->slot(session().strip().currentSlot())->rendition());
        // The main image decodes on a worker: its own pixels, not the stand-in.
        EXPECT_TRUE(QTest::qWaitFor([] { return mainWindow()->mainImage()->showsDecodedPixels(); }));
        const QString main = kinds::corners(mainWindow()->mainImage()->grab().toImage());
        return strip == main ? strip : strip + " in the strip, " + main + " in the main image";
    }
};

TEST_F(CameraOrientation, EveryTagShowsAsStoredUntilTurnedUpright)
{
    restart("[Settings]\nAutoOrient=0\n");
    QList<CollectionEntry> entries;
    for (const Tag& t : Tags) {
        const QString jpg = dir.filePath(QStringLiteral("tag%1.jpg").arg(t.tag));
        writeFileAtomically(jpg, camera::cameraJpeg(Bitmap24::fromImage(kinds::quadrants(320, 160)), t.tag));
        entries.append({jpg, QStringLiteral("photo")});
    }
    writeCollection(dir.filePath("c.pvx"), entries);
    openPath(dir.filePath("c.pvx"));
    for (const bool upright : {false, true}) {
        if (upright) {
            settingsDialog()->findChild<QCheckBox*>("chkAutoOrient")->setChecked(true);
            settingsDialog()->applySettings(); // OK
        }
        for (const Tag& t : Tags) {
            mainWindow()->goToEntry(t.tag);
            EXPECT_EQ(cornersOnScreen(), upright ? t.upright : "RGBW") << "tag " << t.tag;
            EXPECT_EQ(mainWindow()->mainImage()->size(),
                      upright && t.tag >= 5 ? QSize(160, 320) : QSize(320, 160))
                << "tag " << t.tag;
        }
    }
}

} // namespace
