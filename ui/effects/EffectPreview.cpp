#include "ui/effects/EffectPreview.h"

#include "graphics/DisplayColors.h"

#include <QPainter>

EffectPreview::EffectPreview(QWidget* owner) : QWidget(owner)
{
    resize(105, 105);
    m_engine.setRepaintCallback([this] { renderingChanged(); });
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

void EffectPreview::renderingChanged()
{
    m_scaled = QImage();
    // A picture covers the whole control: the parent need not paint behind it.
    setAttribute(Qt::WA_OpaquePaintEvent, !m_engine.rendered().isEmpty());
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

    const Bitmap24& pic = m_engine.rendered();
    if (!m_scaled.isNull()) {
        QPainter(this).drawImage(QPoint(0, 0), m_scaled);
        return;
    }
    if (pic.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QImage image = pic.wrap();
    if (needsConversion(m_colorSpace)) {
        // Fitted first, so that only the pixels drawn are converted.
        const QSize drawn = (QSizeF(size()) * devicePixelRatioF()).toSize();
        if (drawn.width() < image.width() && drawn.height() < image.height())
            image = image.scaled(drawn, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        image = displayColors(std::move(image), m_colorSpace);
    }
    painter.drawImage(rect(), image);
}
