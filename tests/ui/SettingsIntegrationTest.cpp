// The settings dialog among the program's windows: what its creation pushes
// into them, what OK re-applies, the language, and the file at program end.
#include "tests/ui/AppFixture.h"

#include "ui/common/CommentsWindow.h"
#include "ui/editor/CollectionEditor.h"
#include "settings/IniFile.h"
#include "ui/settings/SettingsDialog.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QSlider>
#include <QTabBar>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

const QString GermanFile = QStringLiteral(PV_BINARY_DIR "/lang/Deutsch.pvl");

class FontDialogs : public FakeDialogs {
public:
    std::optional<QFont> font;
    std::optional<QColor> color;
    bool chooseFont(QWidget*, QFont& f, QColor& c) override
    {
        if (!font)
            return false;
        f = *font;
        if (color)
            c = *color;
        return true;
    }
};

QColor background(QWidget* w)
{
    return w->palette().color(QPalette::Window);
}

QString menuTitle(const char* name)
{
    return mainWindow()->findChild<QMenu*>(QString::fromLatin1(name))->title();
}

} // namespace

class SettingsInProgram : public AppFixture {
protected:
    QString iniPath() const { return dir.filePath(QStringLiteral("pictavo.ini")); }
    void writeIni(const QByteArray& bytes)
    {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // Ends the program's windows (writing the file) and starts them again,
    // with the file replaced in between when bytes are given.
    void restart(const QByteArray& replacement = {})
    {
        destroyWindows();
        if (!replacement.isEmpty())
            writeIni(replacement);
        createWindows({});
        mainWindow()->show();
    }
    template <class W> W* control(const char* name) const { return settingsDialog()->findChild<W*>(name); }
    QByteArray iniBytes() const
    {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(SettingsInProgram, WithoutAFileTheDefaultsReachTheWindowsAndTheEndWritesThem)
{
    ASSERT_NE(settingsDialog(), nullptr);
    EXPECT_FALSE(settingsDialog()->isVisible());
    EXPECT_FALSE(settingsDialog()->windowFlags() & Qt::WindowCloseButtonHint) << settingsDialog()->windowFlags();
    const QFont font = mainWindow()->LabelComent()->font();
    EXPECT_EQ(font.family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(font.pointSize(), 10);
    const QPalette app = QApplication::palette();
    EXPECT_EQ(mainWindow()->LabelComent()->palette().color(QPalette::WindowText), app.color(QPalette::Text));
    EXPECT_EQ(background(mainWindow()->Panel1()), app.color(QPalette::Base));
    EXPECT_EQ(background(mainWindow()->BordShape()->viewport()), app.color(QPalette::Base));
    EXPECT_FALSE(QFile::exists(iniPath()));

    destroyWindows();
    createWindows({}); // the fixture's tear-down ends these
    const IniFile ini(iniPath());
    EXPECT_EQ(ini.readString("Settings", "FontColor", ""), QStringLiteral("-16777208"));
    EXPECT_EQ(ini.readString("Settings", "PreviewsColor", ""), QStringLiteral("-16777211"));
    EXPECT_EQ(ini.readString("Settings", "MainColor", ""), QStringLiteral("-16777211"));
    EXPECT_EQ(ini.readString("Settings", "Alpha", ""), QStringLiteral("0"));
    EXPECT_EQ(ini.readString("SlideShow", "Delay", ""), QStringLiteral("5"));
    EXPECT_EQ(QString::fromUtf8(iniBytes()).count(QLatin1Char('=')), 12);
}

TEST_F(SettingsInProgram, AFileWrittenByTheProgramReadsBackToTheSameState)
{
    restart("[Settings]\nFont=DejaVu Sans Mono\nFontSize=16\nFontColor=$00FF00\nFontStyle=12\n"
            "PreviewsColor=8421376\nMainColor=-16777201\nAlpha=77\nLanguage=/nowhere/Old.pvl\n"
            "[SlideShow]\nDelay=7\nFullScreen=0\nSound=/music/a.wav\n");
    const SettingsValues loaded = settingsDialog()->currentValues();
    EXPECT_EQ(loaded.fontColor, 0x00FF00);
    EXPECT_EQ(loaded.mainColor, qint32(0xFF00000F));
    EXPECT_EQ(background(mainWindow()->Panel1()), QColor(0, 128, 128)) << "0x808000 is BGR: teal";
    EXPECT_TRUE(settingsDialog()->backgroundSound());
    EXPECT_EQ(commentsWindow()->alpha(), 78);

    restart(); // writes what it read, reads it again
    EXPECT_EQ(settingsDialog()->currentValues(), loaded);
    const QByteArray first = iniBytes();
    restart();
    EXPECT_EQ(iniBytes(), first) << "a second round changes no byte";
    const IniFile ini(iniPath());
    EXPECT_EQ(ini.readString("Settings", "FontColor", ""), QStringLiteral("65280"));
    EXPECT_EQ(ini.readString("Settings", "MainColor", ""), QStringLiteral("-16777201"));
    EXPECT_EQ(ini.readString("Settings", "Language", ""), QStringLiteral("/nowhere/Old.pvl"));
    EXPECT_EQ(ini.readString("SlideShow", "FullScreen", ""), QStringLiteral("0"));
    EXPECT_EQ(ini.readString("SlideShow", "Sound", ""), QStringLiteral("/music/a.wav"));
}

TEST_F(SettingsInProgram, SettingsCommandSetsThePreviewAndShowsTheDialogModeless)
{
    mainWindow()->showSettings();
    EXPECT_TRUE(settingsDialog()->isVisible());
    EXPECT_FALSE(settingsDialog()->isModal());
    EXPECT_EQ(control<QLabel>("lblCurFont")->text(), QStringLiteral("Font Preview"));
    settingsDialog()->applySettings();
    EXPECT_FALSE(settingsDialog()->isVisible());

    openPath(collectionOf(3));
    key(Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(settingsDialog()->isVisible());
    EXPECT_EQ(control<QLabel>("lblCurFont")->text(), QStringLiteral("comment 1"));
    EXPECT_TRUE(mainWindow()->isEnabled()) << "the main window keeps working";
    settingsDialog()->applySettings();
    mainWindow()->toolButton("btnSettings")->click();
    EXPECT_TRUE(settingsDialog()->isVisible());
}

TEST_F(SettingsInProgram, OkReappliesFontColoursAndTransparencyToBothWindows)
{
    FontDialogs fonts;
    QFont chosen(QStringLiteral("DejaVu Serif"));
    chosen.setPointSize(30);
    chosen.setUnderline(true);
    fonts.font = chosen;
    fonts.color = QColor(0, 0, 255);
    openPath(collectionOf(2));
    mainWindow()->showSettings();
    control<QToolButton>("SpeedButton2")->click();
    auto* prev = control<QComboBox>("ColorBoxPrev");
    auto* main = control<QComboBox>("ColorBoxMain");
    prev->setCurrentIndex(prev->findText(QStringLiteral("Yellow")));
    main->setCurrentIndex(main->findText(QStringLiteral("Black")));
    control<QSlider>("TranspBar")->setValue(200);
    // Nothing reaches the other windows before OK.
    EXPECT_NE(mainWindow()->LabelComent()->font().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(commentsWindow()->alpha(), 1);

    QTest::keyClick(settingsDialog(), Qt::Key_Return);
    EXPECT_FALSE(settingsDialog()->isVisible());
    for (QLabel* l : {mainWindow()->LabelComent(), commentsWindow()->LabelComments()}) {
        EXPECT_EQ(l->font().family(), QStringLiteral("DejaVu Serif"));
        EXPECT_EQ(l->font().pointSize(), 20) << "chosen sizes stop at 20";
        EXPECT_TRUE(l->font().underline());
        EXPECT_EQ(l->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    }
    EXPECT_EQ(background(mainWindow()->Panel1()), QColor(255, 255, 0));
    EXPECT_EQ(background(mainWindow()->BordShape()->viewport()), QColor(0, 0, 0));
    EXPECT_EQ(commentsWindow()->alpha(), 201);

    restart();
    EXPECT_EQ(commentsWindow()->LabelComments()->font().pointSize(), 20);
    EXPECT_EQ(background(mainWindow()->Panel1()), QColor(255, 255, 0));
    EXPECT_EQ(commentsWindow()->alpha(), 201);
}

TEST_F(SettingsInProgram, GermanFileTranslatesTheWindowsAndTheProgramTexts)
{
    ASSERT_TRUE(QFile::exists(GermanFile)) << "built by the language resources";
    restart("[Settings]\nLanguage=" + GermanFile.toUtf8() + "\n");
    EXPECT_EQ(menuTitle("mnuMain"), QStringLiteral("&Datei"));
    EXPECT_EQ(settingsDialog()->windowTitle(), QStringLiteral("Einstellungen"));
    EXPECT_EQ(control<QTabBar>("TabControl1")->tabText(0), QStringLiteral("Allgemein"));
    EXPECT_EQ(control<QComboBox>("ComboLng")->currentIndex(), 1);
    EXPECT_EQ(session().texts.ImagePrefix, QStringLiteral("Bild: "));
    EXPECT_EQ(session().texts.NewCollectionCaption, QStringLiteral("Neue Sammlung anlegen..."));
    EXPECT_EQ(session().texts.TitleText, QStringLiteral("Pictavo 2006")) << "the title is never translated";

    openPath(collectionOf(2));
    EXPECT_EQ(panel(1), QStringLiteral("Bild: 1 / 2"));
    mainWindow()->newCollection();
    EXPECT_EQ(collectionEditor()->windowTitle(), QStringLiteral("Neue Sammlung anlegen..."));
    collectionEditor()->hide();

    // Choosing English shows the German restart message and changes nothing yet.
    auto* combo = control<QComboBox>("ComboLng");
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_EQ(fake.infos.last(), QStringLiteral("Starten Sie das Programm neu, damit die neue Sprache gilt"));
    EXPECT_EQ(menuTitle("mnuMain"), QStringLiteral("&Datei"));
    restart();
    EXPECT_EQ(menuTitle("mnuMain"), QStringLiteral("&File"));
    EXPECT_EQ(session().texts.ImagePrefix, QStringLiteral("Image: "));
    EXPECT_EQ(IniFile(iniPath()).readString("Settings", "Language", ""), QStringLiteral("English"));
}

TEST_F(SettingsInProgram, LanguageChoiceFlows)
{
    auto* combo = control<QComboBox>("ComboLng");
    auto pick = [&](int item) {
        combo->setCurrentIndex(item);
        emit combo->activated(item);
    };
    const QString restartText = QStringLiteral("You need to restart program to apply language change");

    // "Select Other..." cancelled: back to English, message all the same.
    pick(1);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(fake.infos, QStringList{restartText});

    // Confirmed: the file is used from the next start on, not before.
    fake.openAnswers << GermanFile;
    pick(1);
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_EQ(fake.infos.size(), 2);
    EXPECT_EQ(settingsDialog()->languageSetting(), GermanFile);
    EXPECT_EQ(menuTitle("mnuMain"), QStringLiteral("&File"));
    restart();
    EXPECT_EQ(menuTitle("mnuMain"), QStringLiteral("&Datei"));

    // English after "Select Other...": message, and English is saved.
    combo = control<QComboBox>("ComboLng");
    fake.openAnswers << GermanFile;
    pick(1);
    pick(0);
    EXPECT_EQ(fake.infos.size(), 4);
    restart();
    EXPECT_EQ(menuTitle("mnuMain"), QStringLiteral("&File"));
}

TEST_F(SettingsInProgram, EnglishIsMatchedWithItsCase)
{
    restart("[Settings]\nLanguage=english\n");
    EXPECT_EQ(control<QComboBox>("ComboLng")->currentIndex(), 1);
    // Taken as a file that isn't there: the built-in table, not the design.
    EXPECT_EQ(menuTitle("mnuMain"), QStringLiteral("File"));
    EXPECT_EQ(session().texts.ImagePrefix, QStringLiteral("Image:"));
    EXPECT_EQ(settingsDialog()->windowTitle(), QStringLiteral("Settings"));
}
