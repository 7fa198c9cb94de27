#include "platform/SystemColors.h"

#include <gtest/gtest.h>

using namespace syscolor;

TEST(SystemColors, PlainColoursAreBlueGreenRedBytesAndSystemNumbersNameRoles)
{
    EXPECT_EQ(toQColor(0x00123456u, QPalette()), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(fromQColor(QColor(0x56, 0x34, 0x12)), 0x00123456u);
    EXPECT_EQ(fromQColor(QColor(255, 0, 0, 10)), 0x000000FFu); // alpha dropped
    EXPECT_FALSE(isSystemColor(0x00FFFFFFu));
    // The settings file holds system colours as signed decimals.
    QPalette p;
    p.setColor(QPalette::Active, QPalette::Base, QColor(1, 2, 3));
    EXPECT_TRUE(isSystemColor(quint32(-16777211)));
    EXPECT_EQ(toQColor(quint32(-16777211), p), QColor(1, 2, 3));
    EXPECT_EQ(toQColor(systemColor(31), p), QColor(Qt::black)) << "an unknown number";
}
