#include "ui/settings/SettingsDialog.h"
#include "core/Errors.h"
#include "core/TextEncoding.h"
#include "ui/common/Dialogs.h"
#include "settings/IniFile.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsTarget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

struct FakeTarget : SettingsTarget {
    QFont commentFont;
    QColor commentColor, stripColor, mainColor;
    std::optional<int> alpha = -1;
    int commentsWindowCalls = 0;
    QString line;
    UiProgramTexts texts;
    std::optional<bool> autoOrient;

    void setCommentFont(const QFont& f, const QColor& c) override
    {
        commentFont = f;
        commentColor = c;
    }
    void setStripColor(const QColor& c) override { stripColor = c; }
    void setMainColor(const QColor& c) override { mainColor = c; }
    void setCommentsWindow(const QFont&, const QColor&, std::optional<int> a) override
    {
        alpha = a;
        ++commentsWindowCalls;
    }
    void setAutoOrient(bool on) override { autoOrient = on; }
    QString commentLineText() const override { return line; }
    QString programText(ProgramText id) const override { return const_cast<UiProgramTexts&>(texts)[id]; }
    void setProgramText(ProgramText id, const QString& t) override { texts[id] = t; }
};

struct FakeDialogs : DialogProvider {
    QStringList messages;
    QString fileAnswer;
    QStringList fileFilters;
    std::optional<QFont> fontAnswer;
    void information(QWidget*, const QString& text) override { messages << text; }
    void error(QWidget*, const QString& text) override { messages << "error: " + text; }
    QString openFile(QWidget*, const QString& filter, const QString&) override
    {
        fileFilters << filter;
        return fileAnswer;
    }
    bool chooseFont(QWidget*, QFont& font, QColor&) override
    {
        if (!fontAnswer)
            return false;
        font = *fontAnswer;
        return true;
    }
};

class SettingsDialogTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeTarget target;
    FakeDialogs fake;
    QString path;

    void SetUp() override
    {
        path = dir.filePath("pictavo.ini");
        setDialogProvider(&fake);
    }
    void TearDown() override { setDialogProvider(nullptr); }
    void writeIni(const QByteArray& bytes)
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    template <class W> W* child(SettingsDialog& d, const char* name) { return d.findChild<W*>(name); }
};

} // namespace

TEST_F(SettingsDialogTest, WithoutAFileEveryDefaultReachesTheControlsAndTheMainWindow)
{
    SettingsDialog d(&target, path);
    EXPECT_EQ(d.objectName(), "frmSettings");
    EXPECT_EQ(d.windowTitle(), "Settings...");
    EXPECT_EQ(d.size(), QSize(386, 318));
    EXPECT_EQ(target.commentFont.family(), "MS Sans Serif");
    EXPECT_EQ(target.commentFont.pointSize(), 10);
    EXPECT_EQ(target.commentColor, QApplication::palette().color(QPalette::Active, QPalette::Text));
    EXPECT_EQ(target.stripColor, QApplication::palette().color(QPalette::Active, QPalette::Base));
    EXPECT_EQ(child<QSlider>(d, "TranspBar")->value(), 0);
    EXPECT_EQ(child<QComboBox>(d, "ComboLng")->currentIndex(), 0);
    EXPECT_EQ(d.delayText(), "5");
    EXPECT_TRUE(d.autoFullScreen());
    EXPECT_FALSE(d.backgroundSound());
    EXPECT_FALSE(child<QLineEdit>(d, "wavName")->isEnabled());
    EXPECT_FALSE(QFile::exists(path)) << "created only by the first save";
}

TEST_F(SettingsDialogTest, DestroyingWritesTheTwelveKeys)
{
    {
        SettingsDialog d(&target, path);
    }
    const IniFile ini(path);
    EXPECT_EQ(ini.readString("Settings", "FontColor", ""), "-16777208");
    EXPECT_EQ(ini.readString("Settings", "PreviewsColor", ""), "-16777211");
    EXPECT_EQ(ini.readString("Settings", "MainColor", ""), "-16777211");
    EXPECT_EQ(ini.readString("SlideShow", "FullScreen", ""), "1");
    EXPECT_EQ(ini.readString("Settings", "Language", ""), "English");
    EXPECT_EQ(ini.readString("Settings", "AutoOrient", ""), "1");
    EXPECT_EQ(QString::fromUtf8(ini.toBytes()).count('='), 12);
}

TEST_F(SettingsDialogTest, AutoOrientReachesTheProgramAtCreationAndAtOk)
{
    writeIni("[Settings]\nAutoOrient=0\n");
    {
        SettingsDialog d(&target, path);
        auto* box = child<QCheckBox>(d, "chkAutoOrient");
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(box->isChecked());
        EXPECT_EQ(target.autoOrient, false);
        box->setChecked(true);
        EXPECT_EQ(target.autoOrient, false) << "applied at OK, like the colours";
        d.applySettings();
        EXPECT_EQ(target.autoOrient, true);
    }
    EXPECT_EQ(IniFile(path).readString("Settings", "AutoOrient", ""), "1");
}

TEST_F(SettingsDialogTest, EscAppliesLikeOkAndHides)
{
    writeIni("[Settings]\nAlpha=254\nMainColor=255\n");
    SettingsDialog d(&target, path);
    d.show();
    child<QSlider>(d, "TranspBar")->setFocus();
    QTest::keyClick(child<QSlider>(d, "TranspBar"), Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(target.alpha, 255);
    EXPECT_EQ(target.mainColor, QColor(255, 0, 0));
    child<QSlider>(d, "TranspBar")->setValue(255);
    d.show();
    QTest::keyClick(child<QLineEdit>(d, "edDelay"), Qt::Key_Return);
    EXPECT_FALSE(target.alpha.has_value()) << "position 255 switches blending off";
    EXPECT_EQ(target.commentsWindowCalls, 2);
}

TEST_F(SettingsDialogTest, ClosingFromTheFrameAppliesLikeOk)
{
    SettingsDialog d(&target, path);
    EXPECT_FALSE(d.windowFlags() & Qt::WindowCloseButtonHint);
    d.show();
    child<QSlider>(d, "TranspBar")->setValue(10);
    EXPECT_FALSE(d.close()) << "hidden, not closed";
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(target.alpha, 11);
    EXPECT_EQ(target.commentsWindowCalls, 1);
}

TEST_F(SettingsDialogTest, DelayBoxTakesOnlyTwoMainKeyboardDigits)
{
    SettingsDialog d(&target, path);
    auto* ed = child<QLineEdit>(d, "edDelay");
    ed->clear();
    QTest::keyClicks(ed, "a-1");
    QTest::keyClick(ed, Qt::Key_3, Qt::KeypadModifier);
    QTest::keyClicks(ed, "2x9");
    EXPECT_EQ(ed->text(), "12");
    QTest::keyClick(ed, Qt::Key_Backspace);
    EXPECT_EQ(ed->text(), "1");
    QTest::keyClick(ed, Qt::Key_Home);
    QTest::keyClick(ed, Qt::Key_Delete);
    EXPECT_EQ(ed->text(), "");
}

TEST_F(SettingsDialogTest, ALongerDelayFromTheFileLoadsAndSavesWhileTypingStaysLimited)
{
    writeIni("[SlideShow]\nDelay=120\n");
    {
        SettingsDialog d(&target, path);
        auto* ed = child<QLineEdit>(d, "edDelay");
        EXPECT_EQ(d.delayText(), "120");
        ed->end(false);
        QTest::keyClick(ed, Qt::Key_5);
        EXPECT_EQ(ed->text(), "120");
    }
    EXPECT_EQ(IniFile(path).readString("SlideShow", "Delay", ""), "120");
}

TEST_F(SettingsDialogTest, AnUnknownCodePageIsRefusedAKnownOneAppliedAndSaved)
{
    writeIni("[Settings]\nCodePage=klingon\n");
    useCodePageSetting(path);
    EXPECT_EQ(legacyCodePage(), localeCodePage()) << "the viewer falls back to the locale's";
    {
        SettingsDialog d(&target, path);
        d.show();
        auto* box = child<QComboBox>(d, "ComboCodePage");
        ASSERT_NE(box, nullptr);
        d.applySettings(); // what the file held never locks the dialog
        EXPECT_FALSE(d.isVisible());
        d.show();
        box->setEditText("windows-9999");
        d.applySettings();
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(fake.messages, QStringList{"error: Unknown code page \"windows-9999\""});
        box->setEditText("windows-1257");
        d.applySettings();
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(legacyCodePage(), "windows-1257");
    }
    EXPECT_EQ(IniFile(path).readString("Settings", "CodePage", ""), "windows-1257");
    setLegacyCodePage(QString());
}

TEST_F(SettingsDialogTest, CancelledLanguageChoiceFallsBackToEnglish)
{
    writeIni("[Settings]\nLanguage=/nowhere/Old.pvl\n");
    {
        SettingsDialog d(&target, path);
        auto* combo = child<QComboBox>(d, "ComboLng");
        EXPECT_EQ(combo->currentIndex(), 1);
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        EXPECT_EQ(combo->currentIndex(), 0);
        EXPECT_EQ(fake.messages, QStringList{"You need to restart program to apply language change"});
        EXPECT_EQ(fake.fileFilters, QStringList{"Pictavo Language files (*.PVL)|*.PVL"});
        EXPECT_EQ(d.languageSetting(), "/nowhere/Old.pvl");
    }
    EXPECT_EQ(IniFile(path).readString("Settings", "Language", ""), "English");
}

TEST_F(SettingsDialogTest, ChosenLanguageFileIsSavedAndAppliedAtTheNextStart)
{
    const QString lang = dir.filePath("de.pvl");
    {
        QFile f(lang);
        f.open(QIODevice::WriteOnly);
        f.write("[Russian]\n26=Einstellungen\n73=Neu starten\n57=Allgemein\n");
    }
    fake.fileAnswer = lang;
    {
        SettingsDialog d(&target, path);
        auto* combo = child<QComboBox>(d, "ComboLng");
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        EXPECT_EQ(d.windowTitle(), "Settings...") << "nothing changes during the run";
    }
    EXPECT_EQ(IniFile(path).readString("Settings", "Language", ""), lang);
    SettingsDialog again(&target, path);
    EXPECT_EQ(again.windowTitle(), "Einstellungen");
    EXPECT_EQ(again.findChild<QTabBar*>("TabControl1")->tabText(0), "Allgemein");
    EXPECT_EQ(target.texts.RestartMessage, "Neu starten");
    EXPECT_EQ(target.texts.ImagePrefix, "Image:");
}

TEST_F(SettingsDialogTest, ChosenFontStopsAt20PointsAndFileSizesStayAsTheyAre)
{
    writeIni("[Settings]\nFontSize=36\n");
    SettingsDialog d(&target, path);
    EXPECT_EQ(target.commentFont.pointSize(), 36);
    QFont big("DejaVu Sans");
    big.setPointSize(36);
    fake.fontAnswer = big;
    child<QToolButton>(d, "SpeedButton2")->click();
    EXPECT_EQ(d.commentFont().pointSize(), 20);
    EXPECT_EQ(child<QLabel>(d, "lblCurFont")->font().pointSize(), 20);
    EXPECT_EQ(target.commentFont.pointSize(), 36) << "the main window changes only at OK";
    d.applySettings();
    EXPECT_EQ(target.commentFont.pointSize(), 20);
}

TEST_F(SettingsDialogTest, SoundBoxEnablesItsControlsAndEmptySoundIsUncheckedNextTime)
{
    {
        SettingsDialog d(&target, path);
        child<QCheckBox>(d, "chkBckgr")->setChecked(true);
        EXPECT_TRUE(child<QLineEdit>(d, "wavName")->isEnabled());
        EXPECT_TRUE(child<QToolButton>(d, "btnBrowse")->isEnabled());
    }
    SettingsDialog d(&target, path);
    EXPECT_FALSE(d.backgroundSound());
}

TEST_F(SettingsDialogTest, TabsSwitchPagesAndPreviewShowsTheCommentLine)
{
    SettingsDialog d(&target, path);
    d.findChild<QTabBar*>("TabControl1")->setCurrentIndex(1);
    EXPECT_TRUE(d.findChild<QWidget*>("Panel1")->isHidden());
    EXPECT_FALSE(d.findChild<QWidget*>("Panel2")->isHidden());
    target.line = "";
    d.showFromMain();
    EXPECT_EQ(child<QLabel>(d, "lblCurFont")->text(), "Font Preview");
    target.line = "A comment";
    d.showFromMain();
    EXPECT_EQ(child<QLabel>(d, "lblCurFont")->text(), "A comment");
}

TEST_F(SettingsDialogTest, FailedSaveIsReportedNotThrown)
{
    const QString blocked = dir.filePath("file");
    {
        QFile f(blocked);
        f.open(QIODevice::WriteOnly);
    }
    path = blocked + "/pictavo.ini";
    {
        SettingsDialog d(&target, path);
        EXPECT_THROW(d.saveSettings(), AppError);
    }
    EXPECT_EQ(fake.messages, QStringList{"error: Unable to write to " + path});
}
