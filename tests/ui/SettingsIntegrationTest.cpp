// The settings dialog among the program's windows: when it applies its
// controls, what it refuses, and the file at start and end. The settings' own
// rules (defaults, ranges, the file's keys) are tested with the settings model.
#include "tests/ui/AppFixture.h"

#include "core/TextEncoding.h"
#include "settings/IniFile.h"
#include "ui/common/CommentsWindow.h"
#include "ui/settings/SettingsDialog.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

namespace {

class SettingsInProgram : public AppFixture {
protected:
    template <class W> W* control(const char* name) const { return settingsDialog()->findChild<W*>(name); }
    QString iniValue(const char* section, const char* key) const
    {
        return IniFile(iniPath()).readString(section, key, QStringLiteral("<none>"));
    }
};

// A delay longer than the box lets one type is kept as the file has it.
TEST_F(SettingsInProgram, TheFileReachesTheWindowsAtStartAndTheEndWritesItBack)
{
    restart("[Settings]\nFont=DejaVu Sans Mono\nFontSize=16\nFontColor=$00FF00\nFontStyle=12\n"
            "PreviewsColor=8421376\nMainColor=-16777201\nAlpha=77\nLanguage=/nowhere/Old.pvl\n"
            "[SlideShow]\nDelay=120\nFullScreen=0\nSound=/music/a.wav\n");
    EXPECT_EQ(mainWindow()->commentLine()->font().family(), QStringLiteral("DejaVu Sans Mono"));
    EXPECT_EQ(mainWindow()->stripPanel()->palette().color(QPalette::Window), QColor(0, 128, 128))
        << "0x808000 is BGR: teal";
    EXPECT_EQ(commentsWindow()->alpha(), 78);
    auto* delay = control<QLineEdit>("edDelay");
    EXPECT_EQ(delay->text(), QStringLiteral("120"));
    delay->end(false);
    QTest::keyClick(delay, Qt::Key_5); // a fourth digit is refused
    const SettingsValues loaded = settingsStore().values();

    restart(); // writes what it read, reads it again
    EXPECT_EQ(settingsStore().values(), loaded);
    EXPECT_EQ(iniValue("SlideShow", "Delay"), QStringLiteral("120"));
}

// The dialog has no Cancel: Esc, Enter and the frame's close box all apply
// like OK and hide it.
class SettingsKeys : public SettingsInProgram, public ::testing::WithParamInterface<void (*)()> {};

// The comments window, built while the dialog is open, takes the values of
// the last OK and not the edits.
TEST_P(SettingsKeys, ApplyLikeOkAndHide)
{
    const int confirmed = settingsStore().values().alpha;
    mainWindow()->showSettings();
    control<QSlider>("TranspBar")->setValue(10);
    EXPECT_EQ(commentsWindow()->alpha(), confirmed >= 255 ? std::nullopt : std::optional(confirmed + 1));
    GetParam()();
    EXPECT_FALSE(settingsDialog()->isVisible());
    EXPECT_EQ(commentsWindow()->alpha(), 11);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, SettingsKeys,
    ::testing::Values(
        [] { QTest::keyClick(settingsDialog()->findChild<QSlider*>("TranspBar"), Qt::Key_Escape); },
        [] { QTest::keyClick(settingsDialog()->findChild<QLineEdit*>("edDelay"), Qt::Key_Return); },
        [] { EXPECT_FALSE(settingsDialog()->close()) << "hidden, not closed"; }));

TEST_F(SettingsInProgram, LanguageBoxNamesEveryLanguageAndShowsTheOneChosen)
{
    restart("[Settings]\nLanguage=" PV_BINARY_DIR "/lang/Deutsch.pvl\n");
    auto* box = control<QComboBox>("ComboLng");
    const auto items = [this] {
        const QComboBox* box = control<QComboBox>("ComboLng");
        QStringList all;
        for (int i = 0; i < box->count(); ++i)
            all << box->itemText(i);
        return all;
    };
    EXPECT_EQ(items(), (QStringList{"English", "Deutsch", "Русский", "Andere auswählen..."}));
    EXPECT_EQ(box->currentText(), "Deutsch");
    const auto choose = [box](int index) { emit box->activated(index); };
    choose(2);
    EXPECT_EQ(settingsStore().values().languageSetting, PV_BINARY_DIR "/lang/Russian.pvl");
    choose(3); // the file chooser cancelled: English, as the file will say
    EXPECT_EQ(box->currentText(), "English");
    EXPECT_EQ(languageToSave(settingsStore().values()), "English");
    const QString mine = dir.filePath(QStringLiteral("Mine.pvl"));
    writeFileAtomically(mine, "[Russian]\n208=Meine\n");
    fake.openAnswers << mine;
    choose(3);
    EXPECT_EQ(box->currentText(), "Meine");
    EXPECT_EQ(fake.infos.size(), 3) << "the restart message after every choice";
    restart();
    EXPECT_EQ(iniValue("Settings", "Language"), mine);
    EXPECT_EQ(items(), (QStringList{"English", "Deutsch", "Русский", "Meine", "Select Other..."}));
    EXPECT_EQ(control<QComboBox>("ComboLng")->currentText(), "Meine") << "named, not \"Select Other...\"";
}

TEST_F(SettingsInProgram, CodePagesAreCheckedAppliedSavedAndCleared)
{
    restart("[Settings]\nCodePage=klingon\nFont=DejaVu Sans\n");
    EXPECT_EQ(codePageOrLocale(session().codePage()), localeCodePage()) << "the viewer falls back to the locale's";
    mainWindow()->showSettings();
    settingsDialog()->applySettings(); // what the file held never locks the dialog
    EXPECT_FALSE(settingsDialog()->isVisible());
    mainWindow()->showSettings();
    auto* box = control<QComboBox>("ComboCodePage");
    box->setEditText(QStringLiteral("windows-9999"));
    settingsDialog()->applySettings();
    EXPECT_TRUE(settingsDialog()->isVisible());
    EXPECT_EQ(fake.errors, QStringList{"Unknown code page \"windows-9999\""});
    box->setEditText(QStringLiteral("windows-1257"));
    settingsDialog()->applySettings();
    EXPECT_FALSE(settingsDialog()->isVisible());
    // A collection that is not UTF-8 is read in it from now on.
    const QString baltic = dir.filePath(QStringLiteral("baltic.pvx"));
    writeFileAtomically(baltic, "/none.jpg^\xE0\xFE^\r\n");
    openPath(baltic);
    EXPECT_EQ(session().entry(1).comment, QStringLiteral("ąž"));
    restart();
    EXPECT_EQ(iniValue("Settings", "CodePage"), QStringLiteral("windows-1257"));
    ASSERT_EQ(session().codePage(), QByteArray("windows-1257"));
    mainWindow()->showSettings();
    control<QComboBox>("ComboCodePage")->setEditText(QString());
    settingsDialog()->applySettings();
    EXPECT_EQ(codePageOrLocale(session().codePage()), localeCodePage());
    restart();
    EXPECT_EQ(iniValue("Settings", "CodePage"), QStringLiteral("<none>"));
    EXPECT_EQ(iniValue("Settings", "Font"), QStringLiteral("DejaVu Sans")) << "every other line stays";
}

TEST_F(SettingsInProgram, AFailedSaveAtTheEndIsReportedNotThrown)
{
    end();
    QFile(dir.filePath(QStringLiteral("file"))).open(QIODevice::WriteOnly);
    const QString blocked = dir.filePath(QStringLiteral("file/pictavo.ini"));
    start(blocked);
    end();
    EXPECT_EQ(fake.errors, QStringList{"Unable to write to " + blocked});
    start();
}

} // namespace
