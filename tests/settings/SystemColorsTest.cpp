#include "platform/SystemColors.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace syscolor;

namespace {

QPalette distinctPalette()
{
    QPalette p;
    int n = 1;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            if (role == QPalette::NoRole)
                continue;
            p.setColor(group, QPalette::ColorRole(role), QColor::fromRgb(n * 3 % 256, n * 7 % 256, n));
            ++n;
        }
    }
    return p;
}

} // namespace

TEST(SystemColors, StoredNumbersNameTheirPaletteRoles)
{
    const QPalette p = distinctPalette();
    // Written to the settings file as signed decimals.
    EXPECT_EQ(toQColor(quint32(-16777211), p), p.color(QPalette::Active, QPalette::Base));
    EXPECT_EQ(toQColor(quint32(-16777208), p), p.color(QPalette::Active, QPalette::Text));
    EXPECT_EQ(toQColor(systemColor(15), p), p.color(QPalette::Active, QPalette::Button));
    EXPECT_EQ(toQColor(systemColor(13), p), p.color(QPalette::Active, QPalette::Highlight));
    EXPECT_EQ(toQColor(systemColor(14), p), p.color(QPalette::Active, QPalette::HighlightedText));
    EXPECT_EQ(toQColor(systemColor(17), p), p.color(QPalette::Disabled, QPalette::Text));
    EXPECT_EQ(toQColor(systemColor(24), p), p.color(QPalette::Active, QPalette::ToolTipBase));
    EXPECT_EQ(toQColor(systemColor(23), p), p.color(QPalette::Active, QPalette::ToolTipText));
}

TEST(SystemColors, UnknownNumbersAreBlack)
{
    const QPalette p = distinctPalette();
    for (quint32 v : {systemColor(25), systemColor(31), systemColor(255), 0x800000FFu})
        EXPECT_EQ(toQColor(v, p), QColor(Qt::black)) << std::hex << v;
    EXPECT_EQ(toQColor(0x80000005u, p), p.color(QPalette::Active, QPalette::Base));
    EXPECT_EQ(systemColorInfo(31), nullptr);
    EXPECT_EQ(systemColorInfo(-1), nullptr);
}

TEST(SystemColors, EveryNumberHasAnEntryAndAReadableUniqueName)
{
    QSet<QString> names;
    for (int n = 0; n < Count; ++n) {
        const SystemColorInfo* info = systemColorInfo(n);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->number, n);
        EXPECT_FALSE(QString(info->name).isEmpty());
        names.insert(info->name);
        if (info->listed) {
            EXPECT_NE(info->role, QPalette::NoRole) << n;
        }
    }
    EXPECT_EQ(names.size(), Count);
    EXPECT_STREQ(systemColorInfo(5)->name, "Window");
    EXPECT_STREQ(systemColorInfo(8)->name, "Window Text");
    EXPECT_FALSE(systemColorInfo(25)->listed);
}

TEST(SystemColors, PlainColoursAreBlueGreenRedBytes)
{
    EXPECT_EQ(toQColor(0x00123456u, QPalette()), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(fromQColor(QColor(0x56, 0x34, 0x12)), 0x00123456u);
    EXPECT_EQ(fromQColor(QColor(255, 0, 0, 10)), 0x000000FFu); // alpha dropped
    EXPECT_EQ(fromQColor(QColor::fromHsv(120, 255, 255)), 0x0000FF00u);
    for (quint32 v : {0u, 0xFFFFFFu, 0x0000FFu, 0xABCDEFu})
        EXPECT_EQ(fromQColor(toQColor(v, QPalette())), v);
    EXPECT_FALSE(isSystemColor(0x00FFFFFFu));
    EXPECT_TRUE(isSystemColor(systemColor(5)));
    EXPECT_TRUE(isSystemColor(quint32(-16777211)));
}

TEST(SystemColors, ColourListsOfferNamedAndSystemColours)
{
    const QList<NamedColor> list = colorListEntries();
    QSet<quint32> values;
    for (const NamedColor& c : list)
        values.insert(c.value);
    EXPECT_EQ(values.size(), list.size()) << "each colour listed once";
    EXPECT_EQ(colorName(0xFFFFFF), "White");
    EXPECT_EQ(colorName(0x000080), "Maroon");
    EXPECT_EQ(colorName(Window), "Window");
    EXPECT_EQ(colorName(WindowText), "Window Text");
    EXPECT_FALSE(colorName(systemColor(25)).has_value());
    EXPECT_FALSE(colorName(0x123456).has_value());
    EXPECT_EQ(list.size(), 20 + Count - 1);
}
