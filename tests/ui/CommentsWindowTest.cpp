// The comments window: its place, its text, showing and hiding, and its
// font and opacity from the settings.
#include "tests/ui/AppFixture.h"

#include "ui/common/CommentsWindow.h"
#include "ui/settings/SettingsDialog.h"

#include <QFile>
#include <QSlider>

using CommentsWindowTest = AppFixture;

namespace {
QLabel* commentsLabel()
{
    return commentsWindow()->LabelComments();
}
} // namespace

TEST_F(CommentsWindowTest, CreatedHiddenAsAFloatingToolWindowAtItsDesignPlace)
{
    ASSERT_NE(commentsWindow(), nullptr);
    EXPECT_FALSE(commentsWindow()->isVisible());
    EXPECT_TRUE(commentsWindow()->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(commentsWindow()->windowType(), Qt::Tool);
    EXPECT_TRUE(commentsWindow()->windowTitle().trimmed().isEmpty());
    EXPECT_EQ(commentsWindow()->geometry(), CommentsWindow::DesignFrame) << "no frame is drawn here";
    EXPECT_TRUE(commentsLabel()->wordWrap());
    EXPECT_TRUE(commentsLabel()->alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(commentsLabel()->text().isEmpty());
}

TEST_F(CommentsWindowTest, CtrlCShowsAndHidesEscapeAndCloseHide)
{
    openPath(collectionOf(4));
    key(Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(commentsWindow()->isVisible());
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(commentsWindow()->isVisible());

    mainWindow()->toggleComments();
    ASSERT_TRUE(commentsWindow()->isVisible());
    QTest::keyClick(commentsWindow(), Qt::Key_A);
    EXPECT_TRUE(commentsWindow()->isVisible()) << "other keys do nothing";
    QTest::keyClick(commentsWindow(), Qt::Key_Escape);
    EXPECT_FALSE(commentsWindow()->isVisible());

    mainWindow()->toggleComments();
    commentsWindow()->resize(300, 80);
    EXPECT_FALSE(commentsWindow()->close()) << "the frame's close box only hides";
    EXPECT_FALSE(commentsWindow()->isVisible());
    mainWindow()->toggleComments();
    EXPECT_EQ(commentsWindow()->size(), QSize(300, 80));
}

TEST_F(CommentsWindowTest, CtrlCInTheFocusedCommentsWindowHidesIt)
{
    openPath(collectionOf(2));
    mainWindow()->toggleComments();
    commentsWindow()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(commentsWindow()));
    QTest::keyClick(commentsWindow(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(commentsWindow()->isVisible());
}

TEST_F(CommentsWindowTest, TextFollowsEverySlotShownVisibleOrNot)
{
    openPath(collectionOf(6));
    ASSERT_FALSE(commentsWindow()->isVisible());
    EXPECT_TRUE(commentsLabel()->text().isEmpty()); // opening leaves it alone
    key(Qt::Key_Return);
    EXPECT_EQ(commentsLabel()->text(), QStringLiteral("comment 1"));
    mainWindow()->selectSlot(2);
    EXPECT_EQ(commentsLabel()->text(), QStringLiteral("comment 2"));
    mainWindow()->toggleFollowMode();
    key(Qt::Key_Down);
    key(Qt::Key_Down); // scrolls the strip
    EXPECT_EQ(commentsLabel()->text(), QStringLiteral("comment 4"));
    key(Qt::Key_Up);
    EXPECT_EQ(commentsLabel()->text(), QStringLiteral("comment 3"));
    // A size change shows slot 1 again, and its comment.
    mainWindow()->resize(mainWindow()->width() + 1, mainWindow()->height());
    QTest::qWait(20);
    EXPECT_EQ(commentsLabel()->text(), QStringLiteral("comment %1").arg(session().firstIndex() + 1));
    mainWindow()->toggleComments();
    EXPECT_EQ(commentsLabel()->text(), mainWindow()->LabelComent()->text());
}

TEST_F(CommentsWindowTest, SliderPositionsGiveTheirAlphaValues)
{
    // No settings file: the slider stands at 0 and the window is almost invisible.
    ASSERT_EQ(settingsDialog()->transparency(), 0);
    EXPECT_EQ(commentsWindow()->alpha(), 1);
    EXPECT_NEAR(commentsWindow()->windowOpacity(), 1 / 255.0, 1e-3);

    auto* slider = settingsDialog()->findChild<QSlider*>(QStringLiteral("TranspBar"));
    const struct {
        int position;
        std::optional<int> alpha;
    } cases[] = {{254, 255}, {255, std::nullopt}, {100, 101}, {0, 1}};
    for (const auto& c : cases) {
        slider->setValue(c.position);
        EXPECT_NE(commentsWindow()->alpha(), c.alpha) << "only OK applies position " << c.position;
        settingsDialog()->applySettings();
        EXPECT_EQ(commentsWindow()->alpha(), c.alpha) << "position " << c.position;
        EXPECT_NEAR(commentsWindow()->windowOpacity(), c.alpha.value_or(255) / 255.0, 1e-3);
    }
}

class CommentsFromSettingsFile : public AppFixture {
protected:
    void SetUp() override
    {
        QFile f(dir.filePath(QStringLiteral("pictavo.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Settings]\nFont=DejaVu Serif\nFontSize=14\nFontColor=255\nFontStyle=3\nAlpha=254\n");
        f.close();
        AppFixture::SetUp();
    }
};

TEST_F(CommentsFromSettingsFile, TakesFontColourAndAlphaAtCreation)
{
    const QFont font = commentsLabel()->font();
    EXPECT_EQ(font.family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(font.pointSize(), 14);
    EXPECT_TRUE(font.bold());
    EXPECT_TRUE(font.italic());
    EXPECT_FALSE(font.underline());
    EXPECT_EQ(commentsLabel()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(commentsWindow()->alpha(), 255) << "blending on at 254";
    // The main window's comment line wears the same font.
    EXPECT_EQ(mainWindow()->LabelComent()->font(), font);
    EXPECT_EQ(mainWindow()->LabelComent()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}
