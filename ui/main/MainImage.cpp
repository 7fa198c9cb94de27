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

namespace {

QSize deviceSize(QSize logical, qreal dpr)
{
    return (QSizeF(logical) * dpr).toSize();
}

} // namespace

DrawTarget drawTarget(QSize picture, QSize control, bool stretch, bool proportional, bool center, qreal dpr,
                      QRect viewport)
{
    const QRect r = placePicture(picture, control, stretch, proportional, center);
    if (r.size() == picture)
        return {picture, viewport.translated(-r.topLeft()).intersected(QRect(QPoint(), picture))};
    return {deviceSize(r.size(), dpr), QRect()};
}

MainImage::MainImage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Image1"));
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void MainImage::setPicture(const Picture& picture, const QImage& standIn)
{
    if (picture.sharesDataWith(m_picture)) {
        if (m_standIn.isNull())
            m_standIn = standIn;
        return;
    }
    m_picture = picture;
    m_standIn = standIn;
    m_decoded.reset();
    adjustToPicture();
    changed();
}

void MainImage::clearPicture()
{
    m_picture = Picture();
    m_standIn = QImage();
    m_decoded.reset();
    adjustToPicture();
    update();
}

void MainImage::dropPixels(const QImage& standIn)
{
    m_standIn = standIn;
    m_decoded.reset();
    changed();
}

void MainImage::offer(const std::shared_ptr<const Decoded>& decoded)
{
    if (!decoded || !decoded->picture.sharesDataWith(m_picture) || decoded == m_decoded)
        return;
    m_decoded = decoded;
    update();
}

DrawRule MainImage::drawRule() const
{
    const QSize control = size();
    const bool autoSize = m_autoSize, stretch = m_stretch, proportional = m_proportional, center = m_center;
    const qreal dpr = devicePixelRatioF();
    // In a scroll area, the part of this control its viewport shows.
    const QRect viewport = parentWidget() ? QRect(-pos(), parentWidget()->size()) : rect();
    return [=](QSize picture) {
        return drawTarget(picture, autoSize ? picture : control, stretch, proportional, center, dpr,
                          viewport);
    };
}

bool MainImage::showsDecodedPixels() const
{
    return m_decoded && !m_decoded->image.isNull() &&
           m_decoded->target.drawn == drawRule()(m_picture.size()).drawn;
}

void MainImage::changed()
{
    update();
    if (!m_picture.isEmpty() && !drawRect().isEmpty() && !showsDecodedPixels())
        emit pixelsWanted();
}

void MainImage::setAutoSize(bool on)
{
    m_autoSize = on;
    adjustToPicture();
    changed();
}

void MainImage::setStretch(bool on)
{
    m_stretch = on;
    changed();
}

void MainImage::setProportional(bool on)
{
    m_proportional = on;
    changed();
}

void MainImage::setCenter(bool on)
{
    m_center = on;
    changed();
}

void MainImage::resizeEvent(QResizeEvent*)
{
    changed();
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
    QPainter p(this);
    const QImage* image = m_decoded && !m_decoded->image.isNull() ? &m_decoded->image : nullptr;
    if (image) {
        const bool whole = image->size() == m_picture.size();
        if (whole && r.size() == image->size()) {
            p.drawImage(event->rect(), *image, event->rect().translated(-r.topLeft()));
            return;
        }
        // Far larger than the screen: draw only the exposed part, straight
        // from the whole picture.
        if (whole && qint64(r.width()) * r.height() > 16'000'000) {
            p.setClipRect(event->rect());
            p.drawImage(r, *image);
            return;
        }
        if (image->size() == deviceSize(r.size(), devicePixelRatioF())) {
            p.drawImage(QRectF(r), *image);
            return;
        }
    }
    // Until pixels for this size arrive: whatever there is, stretched, and
    // the visible band on top when that is what came first.
    p.setClipRect(event->rect());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage& rough = image ? *image : m_standIn;
    if (!rough.isNull())
        p.drawImage(r, rough);
    if (!image && m_decoded && !m_decoded->band.isNull())
        p.drawImage(r.topLeft() + m_decoded->bandRect.topLeft(), m_decoded->band);
}
