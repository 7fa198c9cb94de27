#include "ui/main/MainImage.h"

#include <QPainter>
#include <QPaintEvent>

QRect placePicture(QSize picture, QSize control, bool stretch, bool proportional, bool center)
{
    const int w = picture.width(), h = picture.height();
    const int cw = control.width(), ch = control.height();
    int dw = w, dh = h;
    if (stretch || (proportional && (w > cw || h > ch))) {
        if (proportional && w >= 1 && h >= 1) {
            const double a = double(w) / double(h);
            if (w > h) {
                dw = cw;
                dh = int(cw / a);
                if (dh > ch) {
                    dh = ch;
                    dw = int(ch * a);
                }
            } else {
                dh = ch;
                dw = int(ch * a);
                if (dw > cw) {
                    dw = cw;
                    dh = int(cw / a);
                }
            }
        } else {
            dw = cw;
            dh = ch;
        }
    }
    int x = 0, y = 0;
    if (center) {
        x = (cw - dw) / 2; // C++ division truncates toward zero, as required
        y = (ch - dh) / 2;
    }
    return QRect(x, y, dw, dh);
}

MainImage::MainImage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Image1"));
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void MainImage::setPicture(const Picture& picture)
{
    if (picture.sharesDataWith(m_picture))
        return;
    // The full decode waits until the picture is painted: opening and
    // stepping through a collection never pay for pictures not seen.
    m_picture = picture;
    m_image = QImage();
    m_decodeFailed = false;
    m_scaled = QImage();
    adjustToPicture();
    update();
}

const QImage& MainImage::decodedImage() const
{
    if (m_image.isNull() && !m_picture.isEmpty() && !m_decodeFailed) {
        try {
            m_image = m_picture.toImage();
        } catch (const std::exception&) {
            // The thumbnail already decoded this stream; a failure here
            // leaves the area empty rather than stopping a paint.
            m_decodeFailed = true;
        }
    }
    return m_image;
}

void MainImage::clearPicture()
{
    m_picture = Picture();
    m_image = QImage();
    m_decodeFailed = false;
    m_scaled = QImage();
    adjustToPicture();
    update();
}

void MainImage::setAutoSize(bool on)
{
    m_autoSize = on;
    adjustToPicture();
    update();
}

void MainImage::setStretch(bool on)
{
    m_stretch = on;
    update();
}

void MainImage::setProportional(bool on)
{
    m_proportional = on;
    update();
}

void MainImage::setCenter(bool on)
{
    m_center = on;
    update();
}

void MainImage::adjustToPicture()
{
    if (m_autoSize && !m_picture.isEmpty())
        resize(m_picture.size());
}

QRect MainImage::drawRect() const
{
    return placePicture(m_picture.size(), size(), m_stretch, m_proportional, m_center);
}

void MainImage::paintEvent(QPaintEvent* event)
{
    const QRect r = drawRect();
    if (m_picture.isEmpty() || r.width() <= 0 || r.height() <= 0)
        return;
    const QImage& image = decodedImage();
    if (image.isNull())
        return;
    QPainter p(this);
    if (r.size() == image.size()) {
        p.drawImage(event->rect(), image, event->rect().translated(-r.topLeft()));
        return;
    }
    // Scale once per drawn size; for sizes much larger than the screen draw
    // only the exposed part straight from the source instead.
    if (qint64(r.width()) * r.height() > 16'000'000) {
        p.setClipRect(event->rect());
        p.drawImage(r, image);
        return;
    }
    if (m_scaled.size() != r.size())
        m_scaled = image.scaled(r.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    p.drawImage(r.topLeft(), m_scaled);
}
