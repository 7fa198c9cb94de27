#include "ui/effects/EffectPreview.h"

#include "graphics/DisplayColors.h"

#include <QPainter>

EffectPreview::EffectPreview(QWidget* owner) : QWidget(owner)
{
    resize(105, 105);
    m_engine.setRepaintCallback([this] { PictureChanged(); });
}

void EffectPreview::setAutoSize(bool v)
{
    if (v == m_autoSize)
        return;
    m_autoSize = v;
    PictureChanged();
}

void EffectPreview::setColorSpace(const QColorSpace& space)
{
    m_colorSpace = space;
    update();
}

void EffectPreview::showScaled(const QImage& image)
{
    m_scaled = image;
    m_scaled.setDevicePixelRatio(devicePixelRatioF());
    update();
}

void EffectPreview::PictureChanged()
{
    m_scaled = QImage();
    const Bitmap24& pic = m_engine.Picture();
    if (m_autoSize && pic.width() > 0 && pic.height() > 0)
        resize(pic.width(), pic.height());
    // Opaque when the picture covers the whole control: the parent need not
    // paint behind it.
    const bool covers = !pic.isEmpty() && !m_engine.Transparent() &&
                        (m_engine.Stretch() || (pic.width() >= width() && pic.height() >= height()));
    setAttribute(Qt::WA_OpaquePaintEvent, covers);
    if (!m_drawing)
        update();
}

void EffectPreview::paintEvent(QPaintEvent*)
{
    const bool wasDrawing = m_drawing;
    m_drawing = true;
    struct Restore {
        bool& flag;
        bool value;
        ~Restore() { flag = value; }
    } restore{m_drawing, wasDrawing};

    const Bitmap24& pic = m_engine.Picture();
    if (!m_scaled.isNull()) {
        QPainter(this).drawImage(QPoint(0, 0), m_scaled);
        return;
    }
    if (pic.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, m_engine.Stretch());
    const QRect target = m_engine.DestRect(size());
    QImage image = pic.wrap();
    if (m_engine.Transparent()) {
        // The bottom-left pixel's colour is see-through.
        image = pic.toImage().convertToFormat(QImage::Format_ARGB32);
        const QRgb key = image.pixel(0, image.height() - 1);
        for (int y = 0; y < image.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if (line[x] == key)
                    line[x] = 0;
        }
    }
    if (colorManagedDisplay() && needsConversion(m_colorSpace)) {
        // Fitted first, so that only the pixels drawn are converted.
        const QSize drawn = (QSizeF(target.size()) * devicePixelRatioF()).toSize();
        if (drawn.width() < image.width() && drawn.height() < image.height())
            image = image.scaled(drawn, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        image = displayColors(image, m_colorSpace);
    }
    painter.drawImage(target, image);
}

void EffectPreview::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    emit OnMouseEnter();
}

void EffectPreview::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    emit OnMouseExit();
}
