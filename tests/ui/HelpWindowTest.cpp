#include "ui/help/HelpWindow.h"
#include "ui/help/HelpBinding.h"

#include "core/Errors.h"
#include "ui/common/Dialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {
// Where the program looks for its help file when it runs from the build folder.
const QString kBuiltHelp = help::localHelpPath(help::kFixedHelpPath, PV_BINARY_DIR);

struct RecordingBackend : HelpViewerBackend {
    QList<help::HelpCall> calls;
    QList<QWidget*> callers;
    void execute(QWidget* caller, const help::HelpCall& call) override
    {
        calls.append(call);
        callers.append(caller);
    }
};

struct CapturingDialogs : DialogProvider {
    QStringList errors;
    QStringList infos;
    void error(QWidget*, const QString& text) override { errors.append(text); }
    void information(QWidget*, const QString& text) override { infos.append(text); }
};

QString pageText(const HelpWindow& w)
{
    return w.browser()->document()->toPlainText();
}

// Clicks the link whose text is the given words in the page shown.
void clickLink(HelpWindow& w, const QString& words)
{
    QTextBrowser* b = w.browser();
    QTextCursor c = b->document()->find(words);
    ASSERT_FALSE(c.isNull()) << words.toStdString();
    c.setPosition(c.selectionStart() + 1);
    b->setTextCursor(c);
    b->ensureCursorVisible();
    const QPoint at = b->cursorRect(c).center();
    QTest::mouseClick(b->viewport(), Qt::LeftButton, {}, at);
}
} // namespace

class HelpWindowTest : public ::testing::Test {
protected:
    void SetUp() override { window.openFile(kBuiltHelp); }
    HelpWindow window;
};

TEST_F(HelpWindowTest, ContentsTreeFollowsTheHelpFile)
{
    EXPECT_EQ(window.windowTitle(), "Pictavo 2006 Help");
    QTreeWidget* tree = window.contentsTree();
    ASSERT_EQ(tree->topLevelItemCount(), 5);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "Welcome to Pictavo 2006");
    QTreeWidgetItem* using_ = tree->topLevelItem(1);
    EXPECT_EQ(using_->text(0), "Using Pictavo");
    ASSERT_EQ(using_->childCount(), 5);
    EXPECT_EQ(using_->child(2)->text(0), "Rotation, effects and undo");
    EXPECT_TRUE(using_->isExpanded());
    EXPECT_EQ(tree->topLevelItem(4)->text(0), "Keyboard reference");
    EXPECT_GE(window.indexList()->count(), 30);
}

TEST_F(HelpWindowTest, ContentsOpensTheFirstPageWithItsStyleSheet)
{
    window.showContents();
    EXPECT_EQ(window.currentPage(), "/pages/welcome.htm");
    EXPECT_EQ(window.tabs()->currentIndex(), 0);
    const QString text = pageText(window);
    EXPECT_TRUE(text.startsWith("Welcome to Pictavo 2006")) << text.left(80).toStdString();
    EXPECT_TRUE(text.contains("Thumbnail strip"));
    EXPECT_EQ(window.contentsTree()->currentItem(), window.contentsTree()->topLevelItem(0));
    // The heading colour comes from ../pictavo.css, so the relative style
    // sheet link resolved inside the archive.
    const QTextBlock heading = window.browser()->document()->firstBlock();
    EXPECT_EQ(heading.charFormat().foreground().color(), QColor("#1f3a68"));
}

TEST_F(HelpWindowTest, LinksAndTreeItemsNavigateInsideTheArchive)
{
    window.show();
    window.showContents();
    clickLink(window, "Keyboard reference");
    EXPECT_EQ(window.currentPage(), "/pages/keys.htm");
    EXPECT_TRUE(pageText(window).contains("Start / Stop Slide Show"));
    EXPECT_EQ(window.contentsTree()->currentItem()->text(0), "Keyboard reference");

    QTreeWidget* tree = window.contentsTree();
    QTreeWidgetItem* slideShow = tree->topLevelItem(1)->child(3);
    const QRect r = tree->visualItemRect(slideShow);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(window.currentPage(), "/pages/slideshow.htm");
    EXPECT_TRUE(pageText(window).contains("Slide Show finished"));

    window.browser()->backward();
    EXPECT_EQ(window.currentPage(), "/pages/keys.htm");

    window.navigate("/pages/missing.htm");
    EXPECT_TRUE(pageText(window).contains("Page not found"));
    window.showTopic("pages/../pages/editor.htm");
    EXPECT_EQ(window.currentPage(), "/pages/editor.htm");
}

TEST_F(HelpWindowTest, KeywordOpensTheIndexAtThatKeyword)
{
    window.showKeyword("slide");
    EXPECT_EQ(window.tabs()->currentIndex(), 1);
    EXPECT_EQ(window.indexFilter()->text(), "slide");
    ASSERT_NE(window.indexList()->currentItem(), nullptr);
    EXPECT_EQ(window.indexList()->currentItem()->text(), "Slide show");
    EXPECT_EQ(window.currentPage(), "/pages/slideshow.htm");

    window.showKeyword("no such keyword");
    EXPECT_EQ(window.currentPage(), "/pages/slideshow.htm");
}

TEST_F(HelpWindowTest, UnreadableFileKeepsTheOpenOne)
{
    EXPECT_THROW(window.openFile(PV_BINARY_DIR "/help/none.chm"), AppError);
    EXPECT_EQ(window.fileName(), kBuiltHelp);
    EXPECT_EQ(window.contentsTree()->topLevelItemCount(), 5);
}

class HelpBindingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        viewer.setBackend(&backend);
        viewer.setProgramDir("/opt/pictavo");
    }
    HelpBinding viewer;
    RecordingBackend backend;
};

TEST_F(HelpBindingTest, RequestsReachTheViewerWithTheLocalHelpFile)
{
    QWidget caller;
    EXPECT_EQ(viewer.getViewerName(), "StoHtmlHelp");
    EXPECT_EQ(viewer.helpFile(), "/opt/pictavo/help/Help.CHM");
    viewer.showTableOfContents(&caller);
    viewer.showHelp(&caller, "StoHtmlHelp: Zoom ");
    viewer.showTopic(&caller, "pages/keys");
    viewer.showContext(&caller, 7);
    viewer.shutDown();
    ASSERT_EQ(backend.calls.size(), 5);
    EXPECT_EQ(backend.calls[0].command, help::HH_DISPLAY_TOC);
    EXPECT_EQ(backend.calls[0].file, "/opt/pictavo/help/Help.CHM");
    EXPECT_EQ(backend.calls[1].command, help::HH_DISPLAY_INDEX);
    EXPECT_EQ(backend.calls[1].value.toString(), "Zoom");
    EXPECT_EQ(backend.calls[2].file, "/opt/pictavo/help/Help.CHM::/pages/keys.htm");
    EXPECT_EQ(backend.calls[3].value.toInt(), 7);
    EXPECT_EQ(backend.calls[4].command, help::HH_CLOSE_ALL);
    EXPECT_EQ(backend.callers[0], &caller);
    EXPECT_EQ(backend.callers[4], nullptr);
}

TEST_F(HelpBindingTest, OnlyHtmlHelpFilesAreServed)
{
    EXPECT_EQ(viewer.understandsKeyword("x"), 1);
    EXPECT_TRUE(viewer.understandsTopic("x"));
    EXPECT_EQ(viewer.getHelpStrings("Undo"), QStringList{"StoHtmlHelp: Undo"});

    viewer.setApplicationHelpFile("Help.hlp");
    EXPECT_EQ(viewer.helpFile(), "/opt/pictavo/Help.hlp");
    EXPECT_EQ(viewer.understandsKeyword("x"), 0);
    EXPECT_FALSE(viewer.understandsContext(1));
    EXPECT_TRUE(viewer.canShowTableOfContents());
    viewer.showTableOfContents(nullptr);
    viewer.showTopic(nullptr, "a");
    EXPECT_TRUE(backend.calls.isEmpty());

    // The help manager's file goes first.
    viewer.setManagerHelpFile("Guide.chm");
    viewer.showTableOfContents(nullptr);
    ASSERT_EQ(backend.calls.size(), 1);
    EXPECT_EQ(backend.calls[0].file, "/opt/pictavo/Guide.chm");

    viewer.setBackend(nullptr);
    viewer.showTableOfContents(nullptr); // no viewer: nothing happens
    EXPECT_EQ(backend.calls.size(), 1);
}

TEST(HelpEntryPoints, F1OpensTheBuiltHelpBesideTheProgram)
{
    // Test programs sit in the build folder, so the fixed path maps to the
    // Help.CHM the build compiled.
    HelpBinding& viewer = helpBinding();
    ASSERT_EQ(viewer.helpFile(), QCoreApplication::applicationDirPath() + "/help/Help.CHM");
    ASSERT_EQ(QFileInfo(viewer.helpFile()).canonicalFilePath(), QFileInfo(kBuiltHelp).canonicalFilePath());

    CapturingDialogs dialogsSeen;
    setDialogProvider(&dialogsSeen);
    showHelpContents(nullptr);
    HelpWindow* w = openHelpWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->currentPage(), "/pages/welcome.htm");

    showHelpTopic(nullptr, "pages/effects");
    EXPECT_EQ(w->currentPage(), "/pages/effects.htm");
    showHelpKeyword(nullptr, "Undo");
    EXPECT_EQ(w->currentPage(), "/pages/effects.htm");
    EXPECT_EQ(w->indexList()->currentItem()->text(), "Undo");
    EXPECT_TRUE(dialogsSeen.errors.isEmpty());

    viewer.shutDown();
    EXPECT_FALSE(w->isVisible());

    // A missing help file is reported, not passed over in silence.
    viewer.setApplicationHelpFile("/nonexistent/Help.CHM");
    showHelpContents(nullptr);
    ASSERT_EQ(dialogsSeen.errors.size(), 1);
    EXPECT_EQ(dialogsSeen.errors[0], "Cannot open file \"/nonexistent/Help.CHM\". File not found");
    EXPECT_FALSE(w->isVisible());

    viewer.setApplicationHelpFile(help::kFixedHelpPath);
    setDialogProvider(nullptr);
    closeHelp();
    EXPECT_EQ(openHelpWindow(), nullptr);
}

// Not a check: saves a picture of the help window for the documentation
// when PV_HELP_SCREENSHOT names a file.
TEST(HelpScreenshot, SavesTheContentsPage)
{
    const QString out = qEnvironmentVariable("PV_HELP_SCREENSHOT");
    if (out.isEmpty())
        GTEST_SKIP() << "PV_HELP_SCREENSHOT not set";
    HelpWindow w;
    w.openFile(kBuiltHelp);
    w.resize(960, 680);
    w.show();
    w.showContents();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::qWait(300);
    ASSERT_TRUE(w.grab().save(out));
}
