#include "settings/SettingsModel.h"

#include "settings/IniFile.h"

#include <algorithm>
#include <limits>

namespace {
const QString Settings = QStringLiteral("Settings");
const QString SlideShow = QStringLiteral("SlideShow");
const QString Window = QStringLiteral("Window");
} // namespace

SettingsValues loadSettings(const IniFile& ini)
{
    const SettingsValues d;
    SettingsValues v;
    v.font = ini.readString(Settings, "Font", d.font);
    v.fontSize = ini.readInteger(Settings, "FontSize", d.fontSize);
    v.fontColor = ini.readInteger(Settings, "FontColor", d.fontColor);
    v.fontStyle = ini.readInteger(Settings, "FontStyle", d.fontStyle);
    v.previewsColor = ini.readInteger(Settings, "PreviewsColor", d.previewsColor);
    v.mainColor = ini.readInteger(Settings, "MainColor", d.mainColor);
    v.alpha = std::clamp(ini.readInteger(Settings, "Alpha", d.alpha), 0, 255);
    v.autoOrient = ini.readBool(Settings, "AutoOrient", d.autoOrient);
    v.colorManaged = ini.readBool(Settings, "ColorManaged", d.colorManaged);
    v.thumbnailCache = ini.readBool(Settings, "ThumbnailCache", d.thumbnailCache);
    v.askBeforeTrash = ini.readBool(Settings, "AskBeforeTrash", d.askBeforeTrash);
    v.languageSetting = ini.readString(Settings, "Language", d.languageSetting);
    v.languageItem = languageItemFor(v.languageSetting);
    v.codePage = ini.readString(Settings, "CodePage", d.codePage);
    v.delay = ini.readString(SlideShow, "Delay", d.delay);
    v.fullScreen = ini.readBool(SlideShow, "FullScreen", d.fullScreen);
    v.sound = ini.readString(SlideShow, "Sound", d.sound);
    v.soundOn = !v.sound.isEmpty();
    v.fitPictures = ini.readBool(Window, "FitPictures", d.fitPictures);
    return v;
}

void storeSettings(IniFile& ini, const SettingsValues& v)
{
    ini.writeString(Settings, "Font", v.font);
    ini.writeInteger(Settings, "FontSize", v.fontSize);
    ini.writeInteger(Settings, "FontColor", v.fontColor);
    ini.writeInteger(Settings, "FontStyle", v.fontStyle);
    ini.writeInteger(Settings, "PreviewsColor", v.previewsColor);
    ini.writeInteger(Settings, "MainColor", v.mainColor);
    ini.writeInteger(Settings, "Alpha", v.alpha);
    ini.writeString(Settings, "Language", languageToSave(v));
    ini.writeBool(Settings, "AutoOrient", v.autoOrient);
    ini.writeBool(Settings, "ColorManaged", v.colorManaged);
    ini.writeBool(Settings, "ThumbnailCache", v.thumbnailCache);
    ini.writeBool(Settings, "AskBeforeTrash", v.askBeforeTrash);
    // Absent means the locale's: a cleared code page takes the key out.
    if (v.codePage.isEmpty())
        ini.removeKey(Settings, "CodePage");
    else
        ini.writeString(Settings, "CodePage", v.codePage);
    ini.writeString(SlideShow, "Delay", v.delay);
    ini.writeBool(SlideShow, "FullScreen", v.fullScreen);
    ini.writeString(SlideShow, "Sound", v.soundOn ? v.sound : QString());
    ini.writeBool(Window, "FitPictures", v.fitPictures);
}

int languageItemFor(const QString& languageSetting)
{
    return languageSetting == EnglishLanguage ? 0 : 1;
}

QString languageToSave(const SettingsValues& v)
{
    return v.languageItem == 0 ? EnglishLanguage : v.languageSetting;
}

std::optional<int> alphaForSlider(int position)
{
    if (position >= 255)
        return std::nullopt;
    return std::max(position, 0) + 1;
}

double windowOpacityForSlider(int position)
{
    const auto alpha = alphaForSlider(position);
    return alpha ? *alpha / 255.0 : 1.0;
}

bool delayKeyAccepted(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (qtKey == Qt::Key_Backspace || qtKey == Qt::Key_Delete)
        return true;
    return qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9 && !(modifiers & Qt::KeypadModifier);
}

std::optional<int> slideShowInterval(const QString& delayText)
{
    const std::optional<qint32> seconds = parseIniInteger(delayText);
    if (!seconds)
        return std::nullopt;
    constexpr qint32 longest = std::numeric_limits<int>::max() / 1000;
    return std::clamp(*seconds, 1, longest) * 1000;
}

int limitChosenFontSize(int points)
{
    return std::min(points, 20);
}

int fontStyleBits(const QFont& font)
{
    int bits = 0;
    if (font.bold())
        bits |= StyleBold;
    if (font.italic())
        bits |= StyleItalic;
    if (font.underline())
        bits |= StyleUnderline;
    if (font.strikeOut())
        bits |= StyleStrikeOut;
    return bits;
}

QFont commentFont(const SettingsValues& v)
{
    QFont font(v.font);
    // A size the file got wrong must not leave the font without one.
    font.setPointSize(v.fontSize > 0 ? v.fontSize : SettingsValues().fontSize);
    font.setBold(v.fontStyle & StyleBold);
    font.setItalic(v.fontStyle & StyleItalic);
    font.setUnderline(v.fontStyle & StyleUnderline);
    font.setStrikeOut(v.fontStyle & StyleStrikeOut);
    return font;
}

void setCommentFont(SettingsValues& v, const QFont& font)
{
    v.font = font.family();
    v.fontSize = font.pointSize() > 0 ? font.pointSize() : qRound(font.pointSizeF());
    v.fontStyle = fontStyleBits(font);
}
