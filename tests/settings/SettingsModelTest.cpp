// The settings' defaults, limits and rules live here once; the dialog tests
// check only what the dialog adds.
#include "settings/SettingsModel.h"
#include "graphics/PictureFormat.h"
#include "settings/IniFile.h"
#include "settings/SettingsPath.h"
#include "settings/WindowSettings.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Printers.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

namespace {

QStringList lines(const IniFile& ini)
{
    return QString::fromUtf8(ini.toBytes()).split("\r\n", Qt::SkipEmptyParts);
}

// The window's place and state read back as stored, and the defaults stored
// over them leave none of the keys they no longer need.
TEST(SettingsLoad, NoFileGivesEveryDefaultAndTheDefaultsWriteExactlyTheirKeys)
{
    QTemporaryDir dir;
    const IniFile missing(dir.filePath("missing.ini"));
    const SettingsValues v = loadSettings(missing);
    EXPECT_EQ(v, SettingsValues());
    EXPECT_EQ(loadWindowSettings(missing), WindowSettings());
    IniFile ini;
    storeSettings(ini, v);
    const WindowSettings w{QRect(-20, 30, 700, 500), true, true, QStringLiteral("/p/c.pvx"), 7};
    storeWindowSettings(ini, w);
    EXPECT_EQ(loadWindowSettings(ini), w);
    storeWindowSettings(ini, WindowSettings());
    EXPECT_EQ(loadWindowSettings(ini), WindowSettings());
    EXPECT_EQ(lines(ini).join(' '),
              "[Settings] Font=MS Sans Serif FontSize=10 FontColor=-16777208 FontStyle=0 "
              "PreviewsColor=-16777211 MainColor=-16777211 Alpha=255 Language=English AutoOrient=1 "
              "ColorManaged=1 ThumbnailCache=1 AskBeforeTrash=1 [SlideShow] Delay=5 FullScreen=1 Sound= "
              "[Window] FitPictures=0 Maximized=0 FollowMode=0");
}

QString documentText(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(f.readAll()).replace(QLatin1String("\\-"), QLatin1String("-"));
}

// What a user reads says the same: README, the manual pages and the help
// pages name every key the program remembers, and they and `pictavo --help`
// every kind of picture it reads.
TEST(Documents, NameEveryRememberedKeyAndEveryKindOfPicture)
{
    SettingsValues v;
    v.codePage = QStringLiteral("windows-1251"); // written only when set
    IniFile ini;
    storeSettings(ini, v);
    storeWindowSettings(ini, WindowSettings{QRect(1, 2, 3, 4), true, true, QStringLiteral("/c.pvx"), 2});
    QStringList keys;
    for (const QString& line : lines(ini)) {
        if (!line.startsWith(u'['))
            keys << line.section(u'=', 0, 0);
    }
    ASSERT_TRUE(keys.contains("CodePage") && keys.contains("Collection") && keys.contains("Left"));
    QString helpPages;
    for (const QFileInfo& page :
         QDir(QStringLiteral(PV_SOURCE_DIR "/resources/help/pages")).entryInfoList({"*.htm"}))
        helpPages += documentText(page.filePath());
    QProcess pictavo;
    pictavo.start(QStringLiteral(PV_BINARY_DIR "/pictavo"), {QStringLiteral("--help")});
    ASSERT_TRUE(pictavo.waitForFinished(30000));
    const std::pair<const char*, QString> documents[] = {
        {"README.md", documentText(QStringLiteral(PV_SOURCE_DIR "/README.md"))},
        {"pictavo.1", documentText(QStringLiteral(PV_SOURCE_DIR "/resources/man/pictavo.1"))},
        {"help pages", helpPages},
        {"pictavo-fx.1", documentText(QStringLiteral(PV_SOURCE_DIR "/resources/man/pictavo-fx.1"))},
        {"pictavo --help", QString::fromUtf8(pictavo.readAllStandardOutput())}};
    for (const auto& [name, text] : documents) {
        for (const PictureKind& kind : pictureKinds()) {
            // "Bitmaps" and "Icons" go by their files' names, BMP and ICO.
            const QString word = QString::fromLatin1(kind.name).endsWith(u's')
                                     ? kind.suffixes.first().toUpper()
                                     : QString::fromLatin1(kind.name);
            EXPECT_TRUE(text.contains(word)) << name << " names no " << word.toStdString();
        }
        if (QByteArray(name).startsWith("pictavo-fx") || QByteArray(name).startsWith("pictavo --"))
            continue; // they name where the settings are, not each key
        for (const QString& key : keys)
            EXPECT_TRUE(text.contains(key)) << name << " names no " << key.toStdString();
    }
}

// A window wanted at `wanted` (inside a frame of 4 around and 30 on top)
// on a screen whose free area is 0,0 640x400, with a minimum of 300x200.
struct Placement {
    const char* name;
    QRect wanted, placed;
};
class PlaceWithin : public ::testing::TestWithParam<Placement> {};

TEST_P(PlaceWithin, KeepsTheFramedWindowOnTheScreen)
{
    const QRect placed =
        placeWithin(GetParam().wanted, QMargins(4, 30, 4, 4), QRect(0, 0, 640, 400), QSize(300, 200));
    EXPECT_EQ(placed, GetParam().placed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlaceWithin,
    ::testing::Values(Placement{"FittingStaysPut", QRect(50, 60, 400, 300), QRect(50, 60, 400, 300)},
                      Placement{"TooLargeShrinksToTheScreen", QRect(4, 30, 616, 560), QRect(4, 30, 616, 366)},
                      Placement{"OffTheBottomRightMovesIn", QRect(500, 300, 400, 300),
                                QRect(236, 96, 400, 300)},
                      Placement{"OffTheTopLeftMovesIn", QRect(-900, -50, 400, 300), QRect(4, 30, 400, 300)},
                      Placement{"NeverBelowTheMinimum", QRect(10, 40, 100, 100), QRect(10, 40, 300, 200)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsLoad, ValuesAreTakenAsTheyStandAndRoundTripThroughTheFileKeepingItsOtherLines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("pictavo.ini");
    ASSERT_TRUE(putBytes(
        path, "; mine\n[settings]\nfont=Verdana\nfontsize=36\nfontcolor=255\nfontstyle=5\n"
              "previewscolor=$00FF00\nmaincolor=bad\nCustom=1\nlanguage=english\nautoorient=0\n"
              "colormanaged=0\nthumbnailcache=0\naskbeforetrash=0\n[SLIDESHOW]\ndelay=abc\nfullscreen=0\n"
              "sound= /tmp/a b.wav \n[Other]\nx=y\n"));
    IniFile ini(path);
    const SettingsValues v = loadSettings(ini);
    EXPECT_EQ(v.font, "Verdana");
    EXPECT_EQ(v.fontSize, 36); // only the font dialog stops at 20
    EXPECT_EQ(v.fontColor, 255);
    EXPECT_EQ(v.fontStyle, 5);
    EXPECT_EQ(v.previewsColor, 0x00FF00);
    EXPECT_EQ(v.mainColor, qint32(0xFF000005));
    EXPECT_EQ(v.languageSetting, "english"); // not exactly "English": a language file's path
    EXPECT_EQ(v.languageItem, 1);
    EXPECT_FALSE(v.autoOrient || v.colorManaged || v.thumbnailCache || v.askBeforeTrash || v.fullScreen);
    EXPECT_EQ(v.delay, "abc");
    EXPECT_EQ(v.sound, "/tmp/a b.wav");
    EXPECT_TRUE(v.soundOn);
    storeSettings(ini, v);
    ini.save();
    const IniFile again(path);
    EXPECT_EQ(loadSettings(again), v);
    const QStringList kept = lines(again);
    EXPECT_TRUE(kept.first() == "; mine" && kept.contains("Custom=1") && kept.contains("x=y"));

    // An empty language is English's item.
    EXPECT_EQ(loadSettings(IniFile::fromBytes("[Settings]\nLanguage=\n")).languageItem, 1);
}

TEST(SettingsLoad, AlphaIsHeldWithinTheSlider)
{
    // A value that says 0 keeps meaning 0; one that says nothing is opaque.
    for (auto [text, alpha] :
         {std::pair{"-7", 0}, {"0", 0}, {"128", 128}, {"255", 255}, {"1000", 255}, {"x", 255}})
        EXPECT_EQ(loadSettings(IniFile::fromBytes(QByteArray("[Settings]\nAlpha=") + text)).alpha, alpha)
            << text;
    // Slider positions map to alpha, the last one to no transparency at all.
    EXPECT_EQ(alphaForSlider(100), 101);
    EXPECT_EQ(alphaForSlider(254), 255);
    EXPECT_FALSE(alphaForSlider(255).has_value());
    EXPECT_DOUBLE_EQ(windowOpacityForSlider(0), 1.0 / 255.0);
    EXPECT_DOUBLE_EQ(windowOpacityForSlider(255), 1.0);
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

TEST(SlideShowInterval, DelayTextBecomesMillisecondsAndNeverZero)
{
    EXPECT_EQ(slideShowInterval("5"), 5000);
    EXPECT_EQ(slideShowInterval("$A"), 10000) << "integers are read as the settings file reads them";
    EXPECT_EQ(slideShowInterval("0"), 1000) << "a zero delay would spin the timer";
    EXPECT_EQ(slideShowInterval("-7"), 1000);
    EXPECT_EQ(slideShowInterval("99999999"), std::numeric_limits<int>::max() / 1000 * 1000) << "no overflow";
    for (const char* bad : {"", "a", "1a", "5 s", "99999999999"})
        EXPECT_FALSE(slideShowInterval(bad).has_value()) << bad;
    // Its box takes digits of the main keyboard, Backspace and Delete only.
    for (int k : {Qt::Key_0, Qt::Key_9, Qt::Key_Backspace, Qt::Key_Delete})
        EXPECT_TRUE(delayKeyAccepted(k, Qt::NoModifier)) << k;
    EXPECT_FALSE(delayKeyAccepted(Qt::Key_9, Qt::KeypadModifier) ||
                 delayKeyAccepted(Qt::Key_Slash, Qt::NoModifier) ||
                 delayKeyAccepted(Qt::Key_Colon, Qt::NoModifier)); // either side of the digits
}

TEST(CommentFont, ChosenSizeStopsAt20AndStyleBitsRoundTrip)
{
    for (auto [chosen, kept] : {std::pair{36, 20}, {21, 20}, {20, 20}, {8, 8}})
        EXPECT_EQ(limitChosenFontSize(chosen), kept) << chosen;
    SettingsValues v;
    for (v.fontStyle = 0; v.fontStyle <= 15; ++v.fontStyle)
        EXPECT_EQ(fontStyleBits(commentFont(v)), v.fontStyle);
    v.fontSize = -3;
    EXPECT_EQ(commentFont(v).pointSize(), 10);
}

TEST(SettingsPath, BesideTheExecutableUnlessItsFolderIsReadOnlyOrInstalled)
{
    for (auto [exe, ini] : {std::pair{"/opt/pv/PICTAVO.BIN", "/opt/pv/PICTAVO.ini"},
                            {"/opt/pv/pictavo.x86_64", "/opt/pv/pictavo.x86_64.ini"},
                            {"/opt/v1.0/pictavo", "/opt/v1.0/pictavo.ini"},
                            {"/opt/pv/.abc", "/opt/pv/.abc.ini"}})
        EXPECT_EQ(settingsPathBesideExecutable(exe), ini);
    SettingsPathInputs in;
    in.executablePath = "/usr/bin/pictavo";
    in.home = "/home/ann";
    in.folderWritable = [](const QString& folder) { return folder != "/usr/bin"; };
    EXPECT_EQ(settingsFilePath(in), "/home/ann/.config/pictavo/pictavo.ini");
    in.xdgConfigHome = "/cfg/";
    EXPECT_EQ(settingsFilePath(in), "/cfg/pictavo/pictavo.ini");
    in.xdgConfigHome = "relative/cfg";
    EXPECT_EQ(settingsFilePath(in), "/home/ann/.config/pictavo/pictavo.ini");
    in.executablePath = "/opt/pv/pictavo";
    EXPECT_EQ(settingsFilePath(in), "/opt/pv/pictavo.ini");
    in.installed = true; // root can write /usr/bin: it must not matter
    EXPECT_EQ(settingsFilePath(in), "/home/ann/.config/pictavo/pictavo.ini");
}

} // namespace
