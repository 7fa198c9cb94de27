#pragma once
// The preferences the settings dialog holds, as the settings file stores
// them, and the small rules the dialog applies to them.
#include "platform/SystemColors.h"

#include <QFont>
#include <QString>
#include <optional>

class IniFile;

inline const QString EnglishLanguage = QStringLiteral("English");

enum FontStyleBit { StyleBold = 1, StyleItalic = 2, StyleUnderline = 4, StyleStrikeOut = 8 };

struct SettingsValues {
    // The comment font.
    QString font = QStringLiteral("MS Sans Serif");
    qint32 fontSize = 10;
    qint32 fontColor = qint32(syscolor::WindowText);
    qint32 fontStyle = 0;

    qint32 previewsColor = qint32(syscolor::Window);
    qint32 mainColor = qint32(syscolor::Window);
    // Transparency slider position, 0..255; a fresh file starts opaque, as a
    // window at alpha 1 looks like no window at all.
    int alpha = 255;
    bool autoOrient = true;     // camera pictures turned upright by their EXIF tag
    bool colorManaged = true;   // colour profiles converted where pictures are drawn
    bool thumbnailCache = true; // decoded slot thumbnails written to the desktop's shared cache
    bool fitPictures = false;   // an open and a slot click show the picture fitted, not 1:1
    bool askBeforeTrash = true; // the first move to the trash of a run asks first

    // LanguageSetting: "English" or a language file's full path. The item
    // chosen decides what is saved: 0 (English) saves "English" whatever
    // this holds, 1 (a language file) this path.
    QString languageSetting = EnglishLanguage;
    int languageItem = 0;

    // "CodePage": the code page of 8-bit text files; empty for the locale's.
    QString codePage;

    QString delay = QStringLiteral("5");
    bool fullScreen = true;
    QString sound;
    bool soundOn = false;

    bool operator==(const SettingsValues&) const = default;
};

// Every key absent from the file takes its default; nothing is range-checked
// except the slider position, which the slider holds within 0..255.
SettingsValues loadSettings(const IniFile& ini);
// Writes exactly the fifteen keys of the two sections and [Window]
// "FitPictures" into the document, and "CodePage" when it is set; an empty
// code page removes that key.
void storeSettings(IniFile& ini, const SettingsValues& values);

// 0 ("English") only for exactly "English": the comparison is case-sensitive.
int languageItemFor(const QString& languageSetting);
QString languageToSave(const SettingsValues& values);

// Slider position p: 255 (or more) switches alpha blending off; below it the
// alpha value is p + 1, so even position 0 keeps the window faintly visible.
std::optional<int> alphaForSlider(int position);
double windowOpacityForSlider(int position);

// The delay box takes the digits of the main keyboard, Backspace and Delete;
// every other key that would type a character is refused, keypad digits too.
bool delayKeyAccepted(int qtKey, Qt::KeyboardModifiers modifiers);

// The slide-show timer's interval for the delay box's text, in ms; nullopt
// when the text is not an integer. A delay below one second counts as one,
// so the timer never spins with a zero interval.
std::optional<int> slideShowInterval(const QString& delayText);

// Sizes chosen in the font dialog stop at 20 points.
int limitChosenFontSize(int points);

int fontStyleBits(const QFont& font);
// The comment font as a QFont (its colour is kept apart).
QFont commentFont(const SettingsValues& values);
void setCommentFont(SettingsValues& values, const QFont& font);
