#include "ui/main/ThumbSlot.h"

#include "core/Errors.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>

ThumbSlot::ThumbSlot(int number, QWidget* parent) : QWidget(parent), m_number(number)
{
    setObjectName(QStringLiteral("Img%1").arg(number));
    setFixedSize(Size, Size);
    setAttribute(Qt::WA_TranslucentBackground, false);
    connect(&m_sign, &LoadingSign::changed, this, qOverload<>(&QWidget::update));
}

void ThumbSlot::followLoading()
{
    m_sign.follow(m_thumb.isNull() && m_failure.isEmpty() ? m_path : QString());
}

void ThumbSlot::setFile(const QString& path)
{
    if (path == m_path)
        return;
    clearPicture();
    m_path = path;
    followLoading();
}

void ThumbSlot::setRendition(const QImage& rendition, const QString& failure)
{
    m_thumb = rendition;
    m_failure = failure;
    setToolTip(m_failure.isEmpty() ? m_hint : m_failure);
    followLoading();
    update();
}

void ThumbSlot::takeThumbnail(const ThumbSlot& other)
{
    m_path = other.m_path;
    setRendition(other.m_thumb, other.m_failure);
}

void ThumbSlot::clearPicture()
{
    m_path.clear();
    setRendition(QImage(), QString());
}

void ThumbSlot::setHint(const QString& hint)
{
    m_hint = hint;
    setToolTip(m_failure.isEmpty() ? hint : m_failure);
    setStatusTip(hint);
}

QRect ThumbSlot::drawRect() const
{
    const QSize s = m_thumb.size();
    if (s.width() < 1 || s.height() < 1)
        return {};
    // Fit the whole picture into the cell, enlarging small ones too.
    const QSize fitted = s.scaled(Size, Size, Qt::KeepAspectRatio);
    return QRect(QPoint(0, 0), fitted);
}

void ThumbSlot::paintFailure(QPainter& p)
{
    // A torn picture: a frame with a hill and a sun, a jagged tear through it.
    const QRectF frame(Size / 2.0 - 30, 30, 60, 48);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(110, 110, 110), 2));
    p.setBrush(QColor(235, 235, 235));
    p.drawRect(frame);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 170, 150));
    p.drawPolygon(QPolygonF({frame.bottomLeft(), frame.bottomLeft() + QPointF(22, -24),
                             frame.bottomLeft() + QPointF(40, -8), frame.bottomRight()}));
    p.setBrush(QColor(230, 190, 80));
    p.drawEllipse(frame.topRight() + QPointF(-16, 12), 6, 6);
    p.setPen(QPen(QColor(190, 40, 40), 3));
    p.drawPolyline(QPolygonF({frame.topLeft() + QPointF(26, -6), frame.topLeft() + QPointF(34, 14),
                              frame.topLeft() + QPointF(24, 28), frame.topLeft() + QPointF(36, 54)}));
    p.setPen(palette().color(QPalette::WindowText));
    const QRect nameRect(4, 88, Size - 8, Size - 92);
    const QString name = QFileInfo(m_path).fileName();
    p.drawText(nameRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWrapAnywhere, name);
}

void ThumbSlot::paintEvent(QPaintEvent*)
{
    if (!m_failure.isEmpty()) {
        QPainter p(this);
        paintFailure(p);
        return;
    }
    if (m_thumb.isNull()) {
        // Waiting long: a light frame, never the picture the slot had.
        if (m_sign.isShown()) {
            QPainter p(this);
            p.setPen(QPen(QColor(200, 200, 200), 2));
            p.drawRect(QRectF(rect()).adjusted(5, 5, -5, -5));
        }
        return;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(drawRect(), m_thumb);
}

void ThumbSlot::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint()))
        emit clicked(m_number);
}
