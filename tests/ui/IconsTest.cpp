// The tool bar's glyphs read the way their commands go.
#include "ui/common/Icons.h"

#include <QImage>
#include <QPixmap>
#include <QtMath>
#include <gtest/gtest.h>

#include <array>

namespace {

// Which way a round arrow turns, as seen on the screen: from its head (the
// accent colour) on into the gap of its arc (the ink). +1 anticlockwise,
// -1 clockwise.
int turnOf(const QImage& icon)
{
    const QPointF centre(icon.width() / 2.0, icon.height() / 2.0);
    std::array<bool, 360> inked{};
    QPointF head;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            const QColor c = icon.pixelColor(x, y);
            if (c.alpha() < 200)
                continue;
            const QPointF d(x + 0.5 - centre.x(), centre.y() - (y + 0.5)); // y up
            if (c.red() > c.blue())
                head += d;
            else
                inked[int(qRadiansToDegrees(std::atan2(d.y(), d.x())) + 360) % 360] = true;
        }
    }
    // The gap is the longest run of degrees without ink, round the circle.
    int best = 0, bestEnd = 0, run = 0;
    for (int i = 0; i < 720; ++i) {
        run = inked[i % 360] ? 0 : run + 1;
        if (run > best && run <= 360) {
            best = run;
            bestEnd = i;
        }
    }
    const double gap = bestEnd - (best - 1) / 2.0;
    const double from = qRadiansToDegrees(std::atan2(head.y(), head.x()));
    const double turn = std::remainder(gap - from, 360.0);
    return turn > 0 ? 1 : -1;
}

TEST(ToolIcons, RotateLeftTurnsAnticlockwiseAndRotateRightClockwise)
{
    EXPECT_EQ(turnOf(pvIcon(QStringLiteral("left")).pixmap(40).toImage()), 1);
    EXPECT_EQ(turnOf(pvIcon(QStringLiteral("right")).pixmap(40).toImage()), -1);
}

} // namespace
