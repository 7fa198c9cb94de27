#include "settings/SettingsModel.h"
#include "settings/IniFile.h"
#include "settings/SettingsPath.h"
#include "platform/DataFolder.h"

#include <QDir>

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

namespace {

QStringList keyLines(const IniFile& ini)
{
    QStringList lines = QString::fromUtf8(ini.toBytes()).split("\r\n", Qt::SkipEmptyParts);
    return lines;
}

} // namespace

TEST(SettingsLoad, NoFileGivesEveryDefault)
{
    QTemporaryDir dir;
    const IniFile ini(dir.filePath("missing.ini"));
    const SettingsValues v = loadSettings(ini);
    EXPECT_EQ(v.font, "MS Sans Serif");
    EXPECT_EQ(v.fontSize, 10);
    EXPECT_EQ(v.fontColor, qint32(0xFF000008));
    EXPECT_EQ(v.fontStyle, 0);
    EXPECT_EQ(v.previewsColor, qint32(0xFF000005));
    EXPECT_EQ(v.mainColor, qint32(0xFF000005));
    EXPECT_EQ(v.alpha, 0);
    EXPECT_EQ(v.languageSetting, "English");
    EXPECT_EQ(v.languageItem, 0);
    EXPECT_EQ(v.delay, "5");
    EXPECT_TRUE(v.fullScreen);
    EXPECT_EQ(v.sound, "");
    EXPECT_FALSE(v.soundOn);
    // The comments window starts nearly transparent.
    EXPECT_EQ(alphaForSlider(v.alpha), 1);
}

TEST(SettingsLoad, ValuesAreTakenAsTheyStand)
{
    const IniFile ini = IniFile::fromBytes("[settings]\n"
                                           "font=Verdana\nfontsize=36\nfontcolor=255\nfontstyle=5\n"
                                           "previewscolor=$00FF00\nmaincolor=bad\n"
                                           "language=english\n"
                                           "[SLIDESHOW]\ndelay=abc\nfullscreen=0\nsound= /tmp/a b.wav \n");
    const SettingsValues v = loadSettings(ini);
    EXPECT_EQ(v.font, "Verdana");
    EXPECT_EQ(v.fontSize, 36); // only the font dialog stops at 20
    EXPECT_EQ(v.fontColor, 255);
    EXPECT_EQ(v.fontStyle, 5);
    EXPECT_EQ(v.previewsColor, 0x00FF00);
    EXPECT_EQ(v.mainColor, qint32(0xFF000005));
    // Not exactly "English": treated as a language file path.
    EXPECT_EQ(v.languageSetting, "english");
    EXPECT_EQ(v.languageItem, 1);
    EXPECT_EQ(v.delay, "abc");
    EXPECT_FALSE(v.fullScreen);
    EXPECT_EQ(v.sound, "/tmp/a b.wav");
    EXPECT_TRUE(v.soundOn);
}

TEST(SettingsLoad, AlphaIsHeldWithinTheSlider)
{
    auto alphaOf = [](const char* value) {
        return loadSettings(IniFile::fromBytes(QByteArray("[Settings]\nAlpha=") + value)).alpha;
    };
    EXPECT_EQ(alphaOf("-7"), 0);
    EXPECT_EQ(alphaOf("128"), 128);
    EXPECT_EQ(alphaOf("1000"), 255);
    EXPECT_EQ(alphaOf("x"), 0);
}

TEST(SettingsLoad, EmptyTextKeysStayEmptyButEmptyNumbersTakeTheDefault)
{
    const SettingsValues v = loadSettings(
        IniFile::fromBytes("[Settings]\nFont=\nFontSize=\nLanguage=\n[SlideShow]\nDelay=\nFullScreen=\n"));
    EXPECT_EQ(v.font, "");
    EXPECT_EQ(v.fontSize, 10);
    EXPECT_EQ(v.languageSetting, "");
    EXPECT_EQ(v.languageItem, 1);
    EXPECT_EQ(v.delay, "");
    EXPECT_TRUE(v.fullScreen);
}

TEST(SettingsSave, DefaultsWriteExactlyTheElevenKeys)
{
    IniFile ini;
    storeSettings(ini, SettingsValues());
    EXPECT_EQ(keyLines(ini),
              QStringList({"[Settings]", "Font=MS Sans Serif", "FontSize=10", "FontColor=-16777208",
                           "FontStyle=0", "PreviewsColor=-16777211", "MainColor=-16777211", "Alpha=0",
                           "Language=English", "[SlideShow]", "Delay=5", "FullScreen=1", "Sound="}));
}

TEST(SettingsSave, RoundTripThroughTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("pictavo.ini");
    SettingsValues v;
    v.font = "DejaVu Sans";
    v.fontSize = 14;
    v.fontColor = 0x123456;
    v.fontStyle = StyleBold | StyleStrikeOut;
    v.previewsColor = qint32(0xFF00000F);
    v.mainColor = 0;
    v.alpha = 254;
    v.languageSetting = "/opt/lang/Deutsch.pvl";
    v.languageItem = 1;
    v.delay = "12";
    v.fullScreen = false;
    v.sound = "/home/u/a.wav";
    v.soundOn = true;
    {
        IniFile ini(path);
        storeSettings(ini, v);
        ini.save();
    }
    EXPECT_EQ(loadSettings(IniFile(path)), v);
}

TEST(SettingsSave, LanguageAndSoundFollowTheirControls)
{
    SettingsValues v;
    v.languageSetting = "/x/Russian.pvl";
    v.languageItem = 0; // "Select Other..." cancelled or "English" picked again
    v.sound = "/x/a.wav";
    v.soundOn = false;
    IniFile ini;
    storeSettings(ini, v);
    EXPECT_EQ(ini.readString("Settings", "Language", "x"), "English");
    EXPECT_EQ(ini.readString("SlideShow", "Sound", "x"), "");
    // Box checked without a file: empty sound, unchecked at the next start.
    v.sound.clear();
    v.soundOn = true;
    storeSettings(ini, v);
    EXPECT_FALSE(loadSettings(ini).soundOn);
}

TEST(SettingsSave, OtherLinesOfTheFileSurvive)
{
    IniFile ini = IniFile::fromBytes("; mine\n[Settings]\nFont=Arial\nCustom=1\n[Other]\nx=y\n");
    storeSettings(ini, SettingsValues());
    const QStringList lines = keyLines(ini);
    EXPECT_EQ(lines.first(), "; mine");
    EXPECT_TRUE(lines.contains("Custom=1"));
    EXPECT_TRUE(lines.contains("x=y"));
    EXPECT_EQ(lines.count("Font=MS Sans Serif"), 1);
}

TEST(SliderAlpha, PositionsMapToAlphaOrOff)
{
    EXPECT_EQ(alphaForSlider(0), 1);
    EXPECT_EQ(alphaForSlider(100), 101);
    EXPECT_EQ(alphaForSlider(254), 255);
    EXPECT_FALSE(alphaForSlider(255).has_value());
    EXPECT_DOUBLE_EQ(windowOpacityForSlider(254), 1.0);
    EXPECT_DOUBLE_EQ(windowOpacityForSlider(0), 1.0 / 255.0);
    EXPECT_DOUBLE_EQ(windowOpacityForSlider(255), 1.0);
}

TEST(DelayKeys, OnlyMainKeyboardDigitsBackspaceAndDelete)
{
    for (int k = Qt::Key_0; k <= Qt::Key_9; ++k) {
        EXPECT_TRUE(delayKeyAccepted(k, Qt::NoModifier)) << k;
        EXPECT_FALSE(delayKeyAccepted(k, Qt::KeypadModifier)) << k;
    }
    EXPECT_TRUE(delayKeyAccepted(Qt::Key_Backspace, Qt::NoModifier));
    EXPECT_TRUE(delayKeyAccepted(Qt::Key_Delete, Qt::NoModifier));
    for (int k : {Qt::Key_A, Qt::Key_Minus, Qt::Key_Plus, Qt::Key_Period, Qt::Key_Space, Qt::Key_Exclam,
                  Qt::Key_Slash, Qt::Key_ParenLeft})
        EXPECT_FALSE(delayKeyAccepted(k, Qt::NoModifier)) << k;
}

TEST(CommentFont, ChosenSizeStopsAt20AndStyleBitsRoundTrip)
{
    EXPECT_EQ(limitChosenFontSize(36), 20);
    EXPECT_EQ(limitChosenFontSize(21), 20);
    EXPECT_EQ(limitChosenFontSize(20), 20);
    EXPECT_EQ(limitChosenFontSize(8), 8);
    for (int bits = 0; bits <= 15; ++bits) {
        SettingsValues v;
        v.fontStyle = bits;
        EXPECT_EQ(fontStyleBits(commentFont(v)), bits);
    }
    SettingsValues v;
    v.fontSize = -3;
    EXPECT_EQ(commentFont(v).pointSize(), 10);
    QFont f("Verdana");
    f.setPointSize(13);
    f.setItalic(true);
    setCommentFont(v, f);
    EXPECT_EQ(v.font, "Verdana");
    EXPECT_EQ(v.fontSize, 13);
    EXPECT_EQ(v.fontStyle, StyleItalic);
}

TEST(SettingsPath, BesideTheExecutable)
{
    EXPECT_EQ(settingsPathBesideExecutable("/opt/pv/pictavo.exe"), "/opt/pv/pictavo.ini");
    EXPECT_EQ(settingsPathBesideExecutable("/opt/pv/PICTAVO.BIN"), "/opt/pv/PICTAVO.ini");
    EXPECT_EQ(settingsPathBesideExecutable("/opt/pv/pictavo"), "/opt/pv/pictavo.ini");
    EXPECT_EQ(settingsPathBesideExecutable("/opt/pv/pictavo.x86_64"), "/opt/pv/pictavo.x86_64.ini");
    EXPECT_EQ(settingsPathBesideExecutable("/opt/pv/pictavo.ab"), "/opt/pv/pictavo.ab.ini");
    EXPECT_EQ(settingsPathBesideExecutable("/opt/v1.0/pictavo"), "/opt/v1.0/pictavo.ini");
    EXPECT_EQ(settingsPathBesideExecutable("/opt/pv/.abc"), "/opt/pv/.abc.ini");
}

TEST(SettingsPath, FallsBackToTheConfigFolderWhenTheExecutablesFolderIsReadOnly)
{
    SettingsPathInputs in;
    in.executablePath = "/usr/bin/pictavo";
    in.home = "/home/ann";
    QStringList asked;
    in.folderWritable = [&](const QString& folder) {
        asked << folder;
        return folder != "/usr/bin";
    };
    EXPECT_EQ(settingsFilePath(in), "/home/ann/.config/pictavo/pictavo.ini");
    EXPECT_EQ(asked, QStringList{"/usr/bin"});
    in.xdgConfigHome = "/cfg/";
    EXPECT_EQ(settingsFilePath(in), "/cfg/pictavo/pictavo.ini");
    in.xdgConfigHome = "relative/cfg";
    EXPECT_EQ(settingsFilePath(in), "/home/ann/.config/pictavo/pictavo.ini");
    in.executablePath = "/opt/pv/pictavo";
    EXPECT_EQ(settingsFilePath(in), "/opt/pv/pictavo.ini");
    in.installed = true; // root can write /usr/bin: it must not matter
    EXPECT_EQ(settingsFilePath(in), "/home/ann/.config/pictavo/pictavo.ini");
}

// Folders below a temporary root; the program runs from <root>/bin.
struct LayoutCase {
    QStringList folders;
    QString dataDir;
    bool installed;
};

void PrintTo(const LayoutCase& c, std::ostream* os)
{
    *os << c.folders.join(',').toStdString() << " -> " << c.dataDir.toStdString();
}

class DataFolderLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(DataFolderLayout, BesideTheProgramFirstThenShare)
{
    QTemporaryDir root;
    QDir(root.path()).mkpath("bin");
    for (const QString& folder : GetParam().folders)
        QDir(root.path()).mkpath(folder);
    const DataFolder found = findDataFolder(root.filePath("bin"));
    EXPECT_EQ(found.path, root.filePath(GetParam().dataDir));
    EXPECT_EQ(found.installed, GetParam().installed);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, DataFolderLayout,
    ::testing::Values(LayoutCase{{"bin/help", "share/pictavo/help"}, "bin", false}, // build tree
                      LayoutCase{{"bin/lang"}, "bin", false},
                      LayoutCase{{"share/pictavo/help"}, "share/pictavo", true}, // make install
                      LayoutCase{{"share/other"}, "bin", false}));

TEST(SlideShowInterval, DelayTextBecomesMillisecondsAndNeverZero)
{
    EXPECT_EQ(slideShowInterval("5"), 5000);
    EXPECT_EQ(slideShowInterval("12"), 12000);
    EXPECT_EQ(slideShowInterval("$A"), 10000) << "integers are read as the settings file reads them";
    EXPECT_EQ(slideShowInterval("0"), 1000) << "a zero delay would spin the timer";
    EXPECT_EQ(slideShowInterval("-7"), 1000);
    EXPECT_EQ(slideShowInterval("99999999"), std::numeric_limits<int>::max() / 1000 * 1000)
        << "a huge delay from the file must not overflow";
    for (const char* bad : {"", "a", "1a", "5 s", "99999999999"})
        EXPECT_FALSE(slideShowInterval(bad).has_value()) << bad;
}
