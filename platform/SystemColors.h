#pragma once
// Colours as the settings file stores them: 0x00BBGGRR for a plain colour,
// 0xFF0000nn for system colour nn, which follows the desktop's palette.
#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>
#include <optional>

namespace syscolor {

inline constexpr quint32 SystemFlag = 0xFF000000u;
inline constexpr int Count = 31; // numbers 0..30

constexpr quint32 systemColor(int number)
{
    return SystemFlag | quint32(number);
}
// The two the program's defaults use (the comment text and the backgrounds).
inline constexpr quint32 Window = systemColor(5);
inline constexpr quint32 WindowText = systemColor(8);
// Any negative value names a system colour by its low byte.
constexpr bool isSystemColor(quint32 value)
{
    return (value & 0x80000000u) != 0;
}

struct SystemColorInfo {
    int number;
    const char* name; // readable, for the colour lists
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
    bool listed; // offered in colour lists (25 is an unused number)
};

// Entries for 0..30, or nullptr for any other number.
const SystemColorInfo* systemColorInfo(int number);

// System colours are looked up in the palette (the application's by
// default); unknown system numbers are black, as the desktop gives them.
QColor toQColor(quint32 value, const QPalette& palette);
QColor toQColor(quint32 value);
// A plain colour value; alpha is dropped.
quint32 fromQColor(const QColor& color);

struct NamedColor {
    QString name;
    quint32 value;
};
// The standard and extended named colours, then the listed system colours.
QList<NamedColor> colorListEntries();
// The readable name of a value, or std::nullopt for an unnamed colour.
std::optional<QString> colorName(quint32 value);

} // namespace syscolor
