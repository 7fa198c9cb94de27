#include "settings/WindowSettings.h"

#include "settings/IniFile.h"

#include <algorithm>

namespace {
const QString Window = QStringLiteral("Window");
} // namespace

WindowSettings loadWindowSettings(const IniFile& ini)
{
    WindowSettings w;
    const int width = ini.readInteger(Window, "Width", 0);
    const int height = ini.readInteger(Window, "Height", 0);
    if (width > 0 && height > 0)
        w.geometry =
            QRect(ini.readInteger(Window, "Left", 0), ini.readInteger(Window, "Top", 0), width, height);
    w.maximized = ini.readBool(Window, "Maximized", false);
    w.followMode = ini.readBool(Window, "FollowMode", false);
    w.collection = ini.readString(Window, "Collection", QString());
    w.entry = std::max(ini.readInteger(Window, "Entry", 0), 0);
    return w;
}

void storeWindowSettings(IniFile& ini, const WindowSettings& w)
{
    const char* place[] = {"Left", "Top", "Width", "Height"};
    if (w.geometry) {
        const int values[] = {w.geometry->x(), w.geometry->y(), w.geometry->width(), w.geometry->height()};
        for (int i = 0; i < 4; ++i)
            ini.writeInteger(Window, place[i], values[i]);
    } else {
        for (const char* key : place)
            ini.removeKey(Window, key);
    }
    ini.writeBool(Window, "Maximized", w.maximized);
    ini.writeBool(Window, "FollowMode", w.followMode);
    if (w.collection.isEmpty()) {
        ini.removeKey(Window, "Collection");
        ini.removeKey(Window, "Entry");
    } else {
        ini.writeString(Window, "Collection", w.collection);
        ini.writeInteger(Window, "Entry", w.entry);
    }
}

QRect placeWithin(const QRect& wanted, const QMargins& frame, const QRect& available, const QSize& minimum)
{
    const QSize room = available.marginsRemoved(frame).size();
    const QSize size(std::max(std::min(wanted.width(), room.width()), minimum.width()),
                     std::max(std::min(wanted.height(), room.height()), minimum.height()));
    // The frame's top left goes no further right or down than leaves it
    // all on the screen, and never above or left of the screen.
    const QSize outer = size.grownBy(frame);
    const int left = std::max(std::min(wanted.x() - frame.left(), available.right() + 1 - outer.width()),
                              available.left());
    const int top = std::max(std::min(wanted.y() - frame.top(), available.bottom() + 1 - outer.height()),
                             available.top());
    return QRect(QPoint(left + frame.left(), top + frame.top()), size);
}
