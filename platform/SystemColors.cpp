#include "platform/SystemColors.h"

#include <QGuiApplication>
#include <array>

namespace syscolor {

namespace {

using G = QPalette::ColorGroup;
using R = QPalette::ColorRole;

// Each desktop colour number mapped to the palette role that plays its part.
const std::array<SystemColorInfo, Count> Table = {{
    {0, "Scroll Bar", G::Active, R::Button, true},
    {1, "Background", G::Active, R::Dark, true},
    {2, "Active Caption", G::Active, R::Highlight, true},
    {3, "Inactive Caption", G::Inactive, R::Mid, true},
    {4, "Menu", G::Active, R::Window, true},
    {5, "Window", G::Active, R::Base, true},
    {6, "Window Frame", G::Active, R::Shadow, true},
    {7, "Menu Text", G::Active, R::WindowText, true},
    {8, "Window Text", G::Active, R::Text, true},
    {9, "Caption Text", G::Active, R::HighlightedText, true},
    {10, "Active Border", G::Active, R::Button, true},
    {11, "Inactive Border", G::Inactive, R::Button, true},
    {12, "Application Workspace", G::Active, R::Mid, true},
    {13, "Highlight", G::Active, R::Highlight, true},
    {14, "Highlight Text", G::Active, R::HighlightedText, true},
    {15, "Button Face", G::Active, R::Button, true},
    {16, "Button Shadow", G::Active, R::Dark, true},
    {17, "Gray Text", G::Disabled, R::Text, true},
    {18, "Button Text", G::Active, R::ButtonText, true},
    {19, "Inactive Caption Text", G::Inactive, R::WindowText, true},
    {20, "Button Highlight", G::Active, R::Light, true},
    {21, "3D Dark Shadow", G::Active, R::Shadow, true},
    {22, "3D Light", G::Active, R::Midlight, true},
    {23, "Info Text", G::Active, R::ToolTipText, true},
    {24, "Info Background", G::Active, R::ToolTipBase, true},
    {25, "Unused", G::Active, R::NoRole, false},
    {26, "Hot Light", G::Active, R::Link, true},
    {27, "Gradient Active Caption", G::Active, R::Highlight, true},
    {28, "Gradient Inactive Caption", G::Inactive, R::Mid, true},
    {29, "Menu Highlight", G::Active, R::Highlight, true},
    {30, "Menu Bar", G::Active, R::Window, true},
}};

struct Plain {
    const char* name;
    quint32 value; // 0x00BBGGRR
};

const Plain PlainColors[] = {
    {"Black", 0x000000},       {"Maroon", 0x000080},   {"Green", 0x008000}, {"Olive", 0x008080},
    {"Navy", 0x800000},        {"Purple", 0x800080},   {"Teal", 0x808000},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},      {"Red", 0x0000FF},      {"Lime", 0x00FF00},  {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},        {"Fuchsia", 0xFF00FF},  {"Aqua", 0xFFFF00},  {"White", 0xFFFFFF},
    {"Money Green", 0xC0DCC0}, {"Sky Blue", 0xF0CAA6}, {"Cream", 0xF0FBFF}, {"Medium Gray", 0xA4A0A0},
};

} // namespace

const SystemColorInfo* systemColorInfo(int number)
{
    if (number < 0 || number >= Count)
        return nullptr;
    return &Table[number];
}

QColor toQColor(quint32 value, const QPalette& palette)
{
    if (isSystemColor(value)) {
        const SystemColorInfo* info = systemColorInfo(int(value & 0xFF));
        if (!info || info->role == R::NoRole)
            return QColor(Qt::black);
        return palette.color(info->group, info->role);
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QColor toQColor(quint32 value)
{
    return toQColor(value, QGuiApplication::palette());
}

quint32 fromQColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return quint32(rgb.red()) | quint32(rgb.green()) << 8 | quint32(rgb.blue()) << 16;
}

QList<NamedColor> colorListEntries()
{
    QList<NamedColor> out;
    for (const Plain& p : PlainColors)
        out.append({QString::fromLatin1(p.name), p.value});
    for (const SystemColorInfo& s : Table) {
        if (s.listed)
            out.append({QString::fromLatin1(s.name), systemColor(s.number)});
    }
    return out;
}

std::optional<QString> colorName(quint32 value)
{
    for (const NamedColor& c : colorListEntries()) {
        if (c.value == value)
            return c.name;
    }
    return std::nullopt;
}

} // namespace syscolor
