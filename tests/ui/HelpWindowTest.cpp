#include "ui/help/HelpWindow.h"
#include "help/HelpRules.h"
#include "ui/help/HelpBinding.h"

#include "core/Errors.h"
#include "tests/support/FakeDialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {
// Where the program looks for its help file when it runs from the build folder.
const QString kBuiltHelp = help::localHelpPath(help::kFixedHelpPath, PV_BINARY_DIR);
} // namespace

TEST(HelpEntryPoints, F1OpensTheBuiltHelpBesideTheProgramAndStaysInsideIt)
{
    // Test programs sit in the build folder, so the fixed path maps to the
    // Help.CHM the build compiled.
    FakeDialogs dialogsSeen;
    HelpBinding viewer(dialogsSeen);
    ASSERT_EQ(viewer.helpFile(), QCoreApplication::applicationDirPath() + "/help/Help.CHM");
    ASSERT_EQ(QFileInfo(viewer.helpFile()).canonicalFilePath(), QFileInfo(kBuiltHelp).canonicalFilePath());

    viewer.showContents(nullptr);
    HelpWindow* w = viewer.window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->contentsTree()->topLevelItemCount(), 5);

    w->showTopic("pages/effects.htm");
    EXPECT_EQ(w->currentPage(), "/pages/effects.htm");
    w->showKeyword("slide"); // the index at the first keyword it begins
    EXPECT_EQ(w->tabs()->currentIndex(), 1);
    EXPECT_EQ(w->indexList()->currentItem()->text(), "Slide show");
    EXPECT_EQ(w->currentPage(), "/pages/slideshow.htm");
    w->showKeyword("no such keyword");
    EXPECT_EQ(w->currentPage(), "/pages/slideshow.htm");
    // A missing page is told in the window; a path climbing out and back in
    // stays inside the archive; an unreadable file keeps the open one.
    w->navigate("/pages/missing.htm");
    EXPECT_TRUE(w->browser()->document()->toPlainText().contains("Page not found"));
    w->showTopic("pages/../pages/editor.htm");
    EXPECT_EQ(w->currentPage(), "/pages/editor.htm");
    EXPECT_THROW(w->openFile(PV_BINARY_DIR "/help/none.chm"), AppError);
    EXPECT_EQ(QFileInfo(w->fileName()).canonicalFilePath(), QFileInfo(kBuiltHelp).canonicalFilePath());
    EXPECT_EQ(w->contentsTree()->topLevelItemCount(), 5);

    viewer.close();
    EXPECT_FALSE(w->isVisible());

    // A missing help file is reported, not passed over in silence.
    viewer.setApplicationHelpFile("/nonexistent/Help.CHM");
    viewer.showContents(nullptr);
    ASSERT_EQ(dialogsSeen.errors.size(), 1);
    EXPECT_EQ(dialogsSeen.errors[0], "Cannot open file \"/nonexistent/Help.CHM\". File not found");
}
