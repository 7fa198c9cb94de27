#include "ui/common/Icons.h"

#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace {
const QColor kInk(40, 52, 86);
const QColor kAccent(214, 120, 32);
const QColor kPaper(250, 250, 246);

QPen inkPen(qreal w = 1.4)
{
    return QPen(kInk, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void page(QPainter& p)
{
    QPainterPath path;
    path.moveTo(4, 2);
    path.lineTo(12, 2);
    path.lineTo(15, 5);
    path.lineTo(15, 18);
    path.lineTo(4, 18);
    path.closeSubpath();
    p.setBrush(kPaper);
    p.setPen(inkPen(1.2));
    p.drawPath(path);
}

void plus(QPainter& p, QPointF c, qreal r)
{
    p.setPen(QPen(kAccent, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-r, 0), c + QPointF(r, 0));
    p.drawLine(c + QPointF(0, -r), c + QPointF(0, r));
}

// A round arrow about the middle whose head, at the top, points on into
// the arc's gap: the way the picture turns.
void turnArrow(QPainter& p, bool anticlockwise)
{
    p.setPen(inkPen(2));
    p.setBrush(Qt::NoBrush);
    const QRectF r(4, 4, 12, 12);
    p.drawArc(r, anticlockwise ? 150 * 16 : 30 * 16, anticlockwise ? -250 * 16 : 250 * 16);
    QPointF tip = anticlockwise ? QPointF(4.8, 7) : QPointF(15.2, 7);
    QPolygonF head;
    if (anticlockwise)
        head << tip + QPointF(-2.5, -2.5) << tip + QPointF(2.8, -1) << tip + QPointF(-0.5, 3.2);
    else
        head << tip + QPointF(2.5, -2.5) << tip + QPointF(-2.8, -1) << tip + QPointF(0.5, 3.2);
    p.setBrush(kAccent);
    p.setPen(Qt::NoPen);
    p.drawPolygon(head);
}

void drawNew(QPainter& p)
{
    page(p);
    plus(p, QPointF(14, 14), 3.5);
}

void drawOpen(QPainter& p)
{
    p.setPen(inkPen(1.2));
    p.setBrush(QColor(236, 196, 92));
    p.drawRect(QRectF(2, 6, 15, 11));
    p.setBrush(QColor(250, 220, 120));
    QPolygonF lid;
    lid << QPointF(4, 9) << QPointF(19, 9) << QPointF(17, 17) << QPointF(2, 17);
    p.drawPolygon(lid);
}

void drawAdd(QPainter& p)
{
    p.setPen(inkPen(1.1));
    p.setBrush(kPaper);
    for (int i = 0; i < 3; ++i)
        p.drawRect(QRectF(3, 3 + i * 5, 10, 3.5));
    plus(p, QPointF(15.5, 8), 3);
    p.setPen(QPen(QColor(180, 40, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12.5, 15.5), QPointF(18.5, 15.5));
}

void drawSettings(QPainter& p)
{
    p.setPen(inkPen(1.2));
    p.setBrush(QColor(170, 180, 200));
    QPainterPath gear;
    for (int i = 0; i < 16; ++i) {
        const qreal a = i * M_PI / 8;
        const qreal r = (i % 2) ? 7.5 : 5.5;
        QPointF pt(10 + r * qCos(a), 10 + r * qSin(a));
        i ? gear.lineTo(pt) : gear.moveTo(pt);
    }
    gear.closeSubpath();
    p.drawPath(gear);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(10, 10), 2.3, 2.3);
}

void drawSlideShow(QPainter& p)
{
    p.setPen(inkPen(1.2));
    p.setBrush(QColor(90, 140, 210));
    p.drawRect(QRectF(2, 3, 16, 12));
    p.setBrush(kPaper);
    QPolygonF tri;
    tri << QPointF(8, 6) << QPointF(13.5, 9) << QPointF(8, 12);
    p.drawPolygon(tri);
    p.drawLine(QPointF(10, 15), QPointF(7, 19));
    p.drawLine(QPointF(10, 15), QPointF(13, 19));
}

void drawLeft(QPainter& p)
{
    turnArrow(p, true);
}

void drawRight(QPainter& p)
{
    turnArrow(p, false);
}

void drawEffects(QPainter& p)
{
    p.setPen(QPen(kInk, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3, 17), QPointF(12, 8));
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const qreal a = -M_PI / 2 + i * M_PI / 5;
        const qreal r = (i % 2) ? 2.2 : 5;
        star << QPointF(14 + r * qCos(a), 6 + r * qSin(a));
    }
    p.drawPolygon(star);
}

void drawUndo(QPainter& p)
{
    p.setPen(inkPen(2));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(5, 9);
    path.cubicTo(9, 3, 18, 5, 16, 13);
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    QPolygonF head;
    head << QPointF(2, 6) << QPointF(8, 5) << QPointF(5, 12);
    p.drawPolygon(head);
}

void drawFollow(QPainter& p)
{
    p.setPen(inkPen(1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(2, 2, 6, 6));
    p.drawRect(QRectF(2, 11, 6, 6));
    p.setBrush(QColor(90, 140, 210));
    p.drawRect(QRectF(10, 5, 8, 10));
    p.setPen(QPen(kAccent, 1.6));
    p.drawLine(QPointF(8, 14), QPointF(10, 10));
}

void drawView(QPainter& p)
{
    p.setPen(inkPen(1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(2, 4, 16, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(110, 170, 90));
    QPolygonF hill;
    hill << QPointF(3, 15) << QPointF(8, 9) << QPointF(12, 13) << QPointF(14, 11) << QPointF(17, 15);
    p.drawPolygon(hill);
    p.setBrush(kAccent);
    p.drawEllipse(QPointF(14, 7.5), 1.6, 1.6);
}

void drawHelp(QPainter& p)
{
    p.setPen(inkPen(1.2));
    p.setBrush(QColor(90, 140, 210));
    p.drawEllipse(QPointF(10, 10), 8, 8);
    p.setPen(kPaper);
    QFont f;
    f.setBold(true);
    f.setPixelSize(12);
    p.setFont(f);
    p.drawText(QRectF(2, 2, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
}

void stripArrow(QPainter& p, bool up)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    QPolygonF tri;
    if (up)
        tri << QPointF(5, 13) << QPointF(10, 7) << QPointF(15, 13);
    else
        tri << QPointF(5, 7) << QPointF(10, 13) << QPointF(15, 7);
    p.drawPolygon(tri);
}

void drawUp(QPainter& p)
{
    stripArrow(p, true);
}

void drawDown(QPainter& p)
{
    stripArrow(p, false);
}

void drawOk(QPainter& p)
{
    p.setPen(QPen(QColor(40, 140, 60), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPolygonF tick;
    tick << QPointF(4, 10) << QPointF(8, 14) << QPointF(16, 5);
    p.drawPolyline(tick);
}

struct Glyph {
    const char* name;
    void (*draw)(QPainter&);
};

const Glyph Glyphs[] = {
    {"new", drawNew},
    {"open", drawOpen},
    {"add", drawAdd},
    {"settings", drawSettings},
    {"slideshow", drawSlideShow},
    {"left", drawLeft},
    {"right", drawRight},
    {"effects", drawEffects},
    {"undo", drawUndo},
    {"follow", drawFollow},
    {"view", drawView},
    {"help", drawHelp},
    {"up", drawUp},
    {"down", drawDown},
    {"ok", drawOk},
};

void drawGlyph(QPainter& p, const QString& name)
{
    for (const Glyph& g : Glyphs) {
        if (name == QLatin1String(g.name)) {
            g.draw(p);
            return;
        }
    }
}
} // namespace

QIcon pvIcon(const QString& name)
{
    QIcon icon;
    for (int size : {20, 40}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 20.0, size / 20.0);
        drawGlyph(p, name);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon appIcon()
{
    // Read as PNG without asking the plugins: Qt would otherwise load every
    // image plugin at start to learn what the files are.
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImageReader reader(QStringLiteral(":/icons/%1x%1/apps/pictavo.png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}

QImage aboutPicture()
{
    QImage img(552, 331, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 331);
    sky.setColorAt(0, QColor(28, 40, 78));
    sky.setColorAt(0.6, QColor(90, 120, 180));
    sky.setColorAt(1, QColor(230, 170, 110));
    p.fillRect(img.rect(), sky);
    // Overlapping photo frames, fanned out.
    for (int i = 0; i < 5; ++i) {
        p.save();
        p.translate(120 + i * 26, 190);
        p.rotate(-24 + i * 12);
        p.setPen(QPen(QColor(30, 30, 30, 120), 1));
        p.setBrush(QColor(250, 250, 246));
        p.drawRect(QRectF(-50, -70, 100, 120));
        QLinearGradient pic(0, -62, 0, 30);
        pic.setColorAt(0, QColor::fromHsv((i * 50 + 180) % 360, 120, 230));
        pic.setColorAt(1, QColor::fromHsv((i * 50 + 40) % 360, 160, 150));
        p.setBrush(pic);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(-42, -62, 84, 92));
        p.restore();
    }
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(44);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(250, 250, 246));
    p.drawText(QRect(290, 60, 250, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Pictavo"));
    p.drawPixmap(214, 58, appIcon().pixmap(64, 64));
    return img;
}
