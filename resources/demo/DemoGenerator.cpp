// Draws the demo collection: pictures of our own making, JPEG and bitmap
// mixed, landscape and portrait, and Demo.pvx listing them with comments.
// Written through the program's own encoders and collection writer, so the
// demo also shows that they produce files the viewer reads.
#include "collection/CollectionFile.h"
#include "core/AtomicFile.h"
#include "graphics/Bitmap24.h"
#include "graphics/BmpCodec.h"
#include "core/Errors.h"
#include "graphics/JpegCodec.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Fixed seed: the demo comes out the same on every build.
class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : m_state(seed) {}
    std::uint32_t next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return m_state >> 8;
    }
    double unit() { return next() / double(1u << 24); }

private:
    std::uint32_t m_state;
};

QImage blank(int w, int h, QColor fill = Qt::black)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

template <typename F> QImage perPixel(int w, int h, F colourAt)
{
    QImage img = blank(w, h);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = colourAt(x, y);
    }
    return img;
}

QRgb palette(double t)
{
    // A smooth cosine palette: deep blue through gold to white.
    const auto c = [t](double phase) { return int(127.5 * (1.0 + std::cos(2 * kPi * (t + phase)))); };
    return qRgb(c(0.0), c(0.1), c(0.2));
}

QImage mandelbrot(int w, int h)
{
    const double scale = 3.0 / w;
    return perPixel(w, h, [&](int px, int py) {
        const double cx = -2.2 + px * scale;
        const double cy = (py - h / 2.0) * scale;
        double x = 0, y = 0;
        int i = 0;
        const int maxIter = 160;
        while (x * x + y * y < 256.0 && i < maxIter) {
            const double xt = x * x - y * y + cx;
            y = 2 * x * y + cy;
            x = xt;
            ++i;
        }
        if (i == maxIter)
            return qRgb(0, 0, 0);
        const double smooth = i + 1 - std::log2(std::log2(x * x + y * y) / 2.0);
        return palette(smooth / 40.0);
    });
}

QImage julia(int w, int h)
{
    const double scale = 3.2 / h;
    return perPixel(w, h, [&](int px, int py) {
        double x = (px - w / 2.0) * scale;
        double y = (py - h / 2.0) * scale;
        int i = 0;
        while (x * x + y * y < 4.0 && i < 200) {
            const double xt = x * x - y * y - 0.8;
            y = 2 * x * y + 0.156;
            x = xt;
            ++i;
        }
        const int v = std::min(255, i * 6);
        return qRgb(v / 3, v, std::min(255, 40 + v));
    });
}

QImage plasma(int w, int h)
{
    return perPixel(w, h, [&](int x, int y) {
        const double u = x / 90.0, v = y / 70.0;
        const double s = std::sin(u) + std::sin(v + u / 2) + std::sin(std::hypot(u - 6, v - 5)) +
                         std::sin(std::hypot(u + 2, v - 9) / 1.5);
        const double t = s / 8.0 + 0.5;
        return qRgb(int(128 + 127 * std::sin(kPi * t * 2)), int(128 + 127 * std::sin(kPi * t * 2 + 2.1)),
                    int(128 + 127 * std::sin(kPi * t * 2 + 4.2)));
    });
}

QImage colourWheel(int w, int h)
{
    const double cx = w / 2.0, cy = h / 2.0, r = std::min(w, h) / 2.0 - 4;
    return perPixel(w, h, [&](int x, int y) {
        const double dx = x - cx, dy = y - cy, d = std::hypot(dx, dy);
        if (d > r)
            return qRgb(32, 32, 32);
        const double hue = (std::atan2(dy, dx) + kPi) / (2 * kPi);
        return QColor::fromHsvF(std::min(hue, 0.9999), d / r, 1.0).rgb();
    });
}

QImage gradientOverview(int w, int h)
{
    // Four corner colours blended across the whole picture, with a grid of
    // fine lines that shows whether the viewer scales it faithfully.
    const QColor c00(200, 30, 60), c10(250, 200, 20), c01(20, 80, 200), c11(30, 200, 120);
    QImage img = perPixel(w, h, [&](int x, int y) {
        const double u = double(x) / (w - 1), v = double(y) / (h - 1);
        const auto mix = [&](int a, int b, int c, int d) {
            return int((1 - u) * (1 - v) * a + u * (1 - v) * b + (1 - u) * v * c + u * v * d);
        };
        return qRgb(mix(c00.red(), c10.red(), c01.red(), c11.red()),
                    mix(c00.green(), c10.green(), c01.green(), c11.green()),
                    mix(c00.blue(), c10.blue(), c01.blue(), c11.blue()));
    });
    QPainter p(&img);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    for (int x = 0; x < w; x += 100)
        p.drawLine(x, 0, x, h);
    for (int y = 0; y < h; y += 100)
        p.drawLine(0, y, w, y);
    return img;
}

QImage testChart(int w, int h)
{
    QImage img = blank(w, h, QColor(128, 128, 128));
    QPainter p(&img);
    const QColor bars[] = {Qt::white,   Qt::yellow, Qt::cyan, Qt::green,
                           Qt::magenta, Qt::red,    Qt::blue, Qt::black};
    const int barW = w / 8;
    for (int i = 0; i < 8; ++i)
        p.fillRect(i * barW, 0, barW, h / 2, bars[i]);
    for (int i = 0; i < 16; ++i)
        p.fillRect(i * w / 16, h / 2, w / 16 + 1, h / 6, QColor(i * 17, i * 17, i * 17));
    // Line pairs one, two and three pixels wide: blur and scaling show here.
    const int top = h / 2 + h / 6;
    for (int band = 0; band < 3; ++band) {
        const int step = band + 1;
        for (int x = band * w / 3; x < (band + 1) * w / 3; x += 2 * step)
            p.fillRect(x, top, step, h - top, Qt::black);
    }
    return img;
}

QImage checkerPerspective(int w, int h)
{
    // Floor plane seen from above the horizon, squares shrinking with depth.
    const double horizon = h * 0.3;
    return perPixel(w, h, [&](int x, int y) {
        if (y <= horizon) {
            const int sky = int(120 + 135 * y / horizon);
            return qRgb(sky / 3, sky / 2, sky);
        }
        const double depth = 200.0 / (y - horizon);
        const double u = (x - w / 2.0) * depth / 60.0, v = depth * 4;
        const bool dark = (int(std::floor(u)) + int(std::floor(v))) & 1;
        const int fade = int(255 * std::min(1.0, (y - horizon) / (h - horizon) * 2.5));
        return dark ? qRgb(fade / 5, fade / 5, fade / 4) : qRgb(fade, fade * 9 / 10, fade * 7 / 10);
    });
}

QImage moireRings(int w, int h)
{
    return perPixel(w, h, [&](int x, int y) {
        const double a = std::sin(std::hypot(x - w * 0.4, y - h * 0.45) / 3.0);
        const double b = std::sin(std::hypot(x - w * 0.6, y - h * 0.55) / 3.0);
        const int v = (a * b > 0) ? 230 : 25;
        return qRgb(v, v * 3 / 4, 255 - v);
    });
}

QImage sierpinski(int w, int h)
{
    return perPixel(w, h, [&](int x, int y) {
        const int row = y * 512 / h, col = x * 512 / w;
        if ((row & col) == 0)
            return qRgb(255 - row / 2, 60 + col / 3, 40 + row / 3);
        return qRgb(10, 10, 30);
    });
}

QImage truchet(int w, int h)
{
    QImage img = blank(w, h, QColor(245, 236, 210));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 70, 110), 6, Qt::SolidLine, Qt::RoundCap));
    Lcg rnd(7);
    const int s = 40;
    for (int y = 0; y < h; y += s) {
        for (int x = 0; x < w; x += s) {
            if (rnd.next() & 1) {
                p.drawArc(x - s / 2, y - s / 2, s, s, 270 * 16, 90 * 16);
                p.drawArc(x + s / 2, y + s / 2, s, s, 90 * 16, 90 * 16);
            } else {
                p.drawArc(x + s / 2, y - s / 2, s, s, 180 * 16, 90 * 16);
                p.drawArc(x - s / 2, y + s / 2, s, s, 0, 90 * 16);
            }
        }
    }
    return img;
}

QImage goldenSpiral(int w, int h)
{
    QImage img = blank(w, h, QColor(12, 16, 30));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const double golden = kPi * (3 - std::sqrt(5.0));
    const int n = 1400;
    const double maxR = std::min(w, h) * 0.48;
    for (int i = 0; i < n; ++i) {
        const double r = maxR * std::sqrt(double(i) / n), a = i * golden;
        p.setBrush(QColor::fromHsvF(std::fmod(i / 300.0, 1.0), 0.7, 1.0));
        const double dot = 2 + 6.0 * i / n;
        p.drawEllipse(QPointF(w / 2.0 + r * std::cos(a), h / 2.0 + r * std::sin(a)), dot, dot);
    }
    return img;
}

QImage voronoi(int w, int h)
{
    struct Seed {
        double x, y;
        QRgb colour;
    };
    std::vector<Seed> seeds;
    Lcg rnd(2006);
    for (int i = 0; i < 40; ++i)
        seeds.push_back({rnd.unit() * w, rnd.unit() * h, QColor::fromHsvF(rnd.unit(), 0.55, 0.95).rgb()});
    return perPixel(w, h, [&](int x, int y) {
        double best = 1e18, second = 1e18;
        QRgb colour = 0;
        for (const Seed& s : seeds) {
            const double d = (s.x - x) * (s.x - x) + (s.y - y) * (s.y - y);
            if (d < best) {
                second = best;
                best = d;
                colour = s.colour;
            } else if (d < second) {
                second = d;
            }
        }
        // Dark seams where two cells nearly tie.
        return std::sqrt(second) - std::sqrt(best) < 1.5 ? qRgb(30, 30, 30) : colour;
    });
}

QImage lissajous(int w, int h)
{
    QImage img = blank(w, h, QColor(8, 8, 8));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const struct {
        int a, b;
        QColor colour;
    } curves[] = {{3, 2, QColor(80, 255, 120)}, {5, 4, QColor(255, 120, 60)}, {1, 3, QColor(90, 160, 255)}};
    for (const auto& c : curves) {
        QPainterPath path;
        for (int i = 0; i <= 2000; ++i) {
            const double t = 2 * kPi * i / 2000;
            const QPointF pt(w / 2.0 + w * 0.42 * std::sin(c.a * t + kPi / 2),
                             h / 2.0 + h * 0.42 * std::sin(c.b * t));
            if (i == 0)
                path.moveTo(pt);
            else
                path.lineTo(pt);
        }
        p.setPen(QPen(c.colour, 2.5));
        p.drawPath(path);
    }
    return img;
}

QImage rainbowStripes(int w, int h)
{
    return perPixel(w, h, [&](int x, int y) {
        const double hue = std::fmod((y + 0.35 * x) / double(h) * 1.5, 1.0);
        const double shade = 0.75 + 0.25 * std::sin(x / 9.0);
        return QColor::fromHsvF(hue, 0.85, shade).rgb();
    });
}

struct DemoPicture {
    const char* fileName;
    const char* comment; // UTF-8
    int width, height;
    std::function<QImage(int, int)> draw;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    // Odd widths on purpose: bitmap rows then need padding.
    const DemoPicture pictures[] = {
        {"mandelbrot.jpg", "Mandelbrot set, smooth colouring", 1200, 800, mandelbrot},
        {"julia.jpeg", "Julia set for c = -0.8 + 0.156i", 720, 960, julia},
        {"plasma.jpg", "Plasma clouds from summed sine waves", 1024, 768, plasma},
        {"colour_wheel.bmp", "Colour wheel: hue around, saturation outwards", 601, 601, colourWheel},
        {"gradient_overview.jpg", "Farbverlauf – Übersicht", 2400, 1600, gradientOverview},
        {"test_chart.bmp", "Test chart: colour bars, grey steps, line pairs", 642, 482, testChart},
        {"checkerboard.bmp", "Checkerboard floor in perspective", 481, 720, checkerPerspective},
        {"moire.jpg", "Moiré of two ring sets", 900, 700, moireRings},
        {"sierpinski.bmp", "Sierpinski triangle from bit patterns", 727, 630, sierpinski},
        {"truchet.jpg", "Truchet tiles with quarter arcs", 960, 640, truchet},
        {"golden_spiral.jpeg", "Sunflower spiral at the golden angle", 600, 900, goldenSpiral},
        {"voronoi.bmp", "Voronoi cells of forty seeds", 640, 480, voronoi},
        {"lissajous.jpg", "Lissajous figures 3:2, 5:4 and 1:3", 800, 600, lissajous},
        {"rainbow_stripes.bmp", "Rainbow stripes, portrait", 450, 799, rainbowStripes},
    };

    try {
        QList<CollectionEntry> entries;
        for (const DemoPicture& pic : pictures) {
            const QString path = out.absoluteFilePath(QString::fromLatin1(pic.fileName));
            const Bitmap24 bitmap = Bitmap24::fromImage(pic.draw(pic.width, pic.height));
            const bool isBmp = path.endsWith(QLatin1String(".bmp"));
            writeFileAtomically(path, isBmp ? encodeBmp24(bitmap) : encodeJpeg(bitmap, 90));
            entries.append({path, QString::fromUtf8(pic.comment)});
        }
        writeCollection(out.absoluteFilePath(QStringLiteral("Demo.pvx")), entries);
    } catch (const AppError& e) {
        std::fprintf(stderr, "%s\n", e.text().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
