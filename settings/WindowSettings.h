#pragma once
// What the main window remembers between runs, in the settings file's
// [Window] section. An absent key leaves its part as a first start has it:
// the window's own size and place, follow mode off, nothing reopened.
#include <QMargins>
#include <QRect>
#include <QString>

#include <optional>

class IniFile;

struct WindowSettings {
    std::optional<QRect> geometry; // the window's area inside its frame, not maximised
    bool maximized = false;
    bool followMode = false;
    QString collection; // the collection open at the end, and its entry shown
    int entry = 0;

    bool operator==(const WindowSettings&) const = default;
};

WindowSettings loadWindowSettings(const IniFile& ini);
// Writes the keys of what is known; an unknown geometry or collection
// takes its keys out.
void storeWindowSettings(IniFile& ini, const WindowSettings& window);

// Where a window whose area inside its frame would be `wanted` goes so that
// it lies, frame included, within `available`: made smaller where it must
// (never below `minimum`), then moved in.
QRect placeWithin(const QRect& wanted, const QMargins& frame, const QRect& available, const QSize& minimum);
