#include "ui/main/MainImage.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>

MainImage::MainImage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Image1"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Only where pixels came: the rest of the view is drawn already.
    connect(&m_tiles, &PictureTiles::arrived, this, [this](const QRect& drawn) {
        update(drawn.translated(drawRect().topLeft()));
        emit drawingChanged();
    });
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
    m_frame = QImage();
    m_reason.clear();
    adjustToPicture();
    changed();
    emit pictureChanged();
}

void MainImage::clearPicture()
{
    const bool had = !m_picture.isEmpty();
    m_picture = Picture();
    m_standIn = QImage();
    m_decoded.reset();
    m_tiles.clear();
    m_frame = QImage();
    m_reason.clear();
    // Nothing to scroll over: no scroll bars left from the picture before.
    if (m_autoSize && parentWidget())
        resize(parentWidget()->size());
    update();
    emit drawingChanged();
    if (had)
        emit pictureChanged();
}

void MainImage::showReason(const QString& text)
{
    clearPicture();
    m_reason = text;
}

void MainImage::dropPixels(const QImage& standIn)
{
    m_standIn = standIn;
    m_decoded.reset();
    m_tiles.clear();
    changed();
}

void MainImage::offer(const std::shared_ptr<const Decoded>& decoded)
{
    if (!decoded || !decoded->picture.sharesDataWith(m_picture) || decoded == m_decoded)
        return;
    m_decoded = decoded;
    followView();
    update();
}

void MainImage::showFrame(const QImage& frame)
{
    if (m_picture.isEmpty())
        return;
    m_frame = frame;
    update(drawRect());
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
    if (m_decoded && m_decoded->image.isNull() && m_picture.decodesBands() &&
        PictureTiles::tiles(drawRect().size()))
        return m_tiles.coversView();
    return m_decoded && !m_decoded->image.isNull() &&
           m_decoded->target.drawn == drawRule()(m_picture.size()).drawn;
}

void MainImage::followView()
{
    const QRect r = drawRect();
    if (!m_decoded || !m_picture.decodesBands() || !PictureTiles::tiles(r.size())) {
        m_tiles.clear();
        return;
    }
    // The part of the drawn picture the scroll area's viewport shows.
    const QRect viewport = parentWidget() ? QRect(-pos(), parentWidget()->size()) : rect();
    m_tiles.show(m_picture, r.size(), viewport.intersected(r).translated(-r.topLeft()), m_decoded->displayColors);
}

void MainImage::moveEvent(QMoveEvent*)
{
    if (!m_tiles.picture().isEmpty())
        followView();
}

void MainImage::changed()
{
    followView();
    update();
    emit drawingChanged();
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
    // Opaque, so the viewport doesn't paint its colour beneath: around an
    // opaque picture each pixel of the window is written once per step.
    QPainter p(this);
    const QRect r = drawRect();
    const bool drawn = !m_picture.isEmpty() && r.width() > 0 && r.height() > 0;
    const QImage* image = !m_frame.isNull()                           ? &m_frame
                          : m_decoded && !m_decoded->image.isNull() ? &m_decoded->image
                                                                    : nullptr;
    const QImage& rough = image ? *image : m_standIn;
    QRegion background = event->region();
    if (drawn && !rough.isNull() && !rough.hasAlphaChannel())
        background -= r;
    for (const QRect& part : background)
        p.fillRect(part, palette().window());
    if (m_picture.isEmpty() && !m_reason.isEmpty()) {
        const QRect shown = visibleRegion().boundingRect().adjusted(8, 8, -8, -8);
        p.drawText(shown, Qt::AlignCenter | Qt::TextWordWrap, m_reason);
        return;
    }
    if (!drawn)
        return;
    if (tiles()) {
        p.setClipRect(event->rect());
        paintTiles(p, r);
        return;
    }
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
    if (!rough.isNull())
        p.drawImage(r, rough);
    if (!image && m_decoded && !m_decoded->band.isNull())
        p.drawImage(r.topLeft() + m_decoded->bandRect.topLeft(), m_decoded->band);
}

void MainImage::paintTiles(QPainter& p, const QRect& r)
{
    // The stand-in only where no tile has arrived: scaling it up is by far
    // the costliest drawing, and a pan finds the tiles around the view ready.
    const QRect exposed = p.clipBoundingRect().toAlignedRect();
    QRegion bare(exposed);
    QList<std::pair<QRectF, const QImage*>> shown;
    for (auto t = m_tiles.decoded().cbegin(); t != m_tiles.decoded().cend(); ++t) {
        const QRectF at = m_tiles.drawnRect(t.key()).translated(r.topLeft());
        if (!exposed.intersects(at.toAlignedRect()))
            continue;
        shown.append({at, &t.value()});
        // Whole pixels only: a tile's fractional edge shows what is under it.
        bare -= QRect(QPoint(int(std::ceil(at.left())), int(std::ceil(at.top()))),
                      QPoint(int(std::floor(at.right())) - 1, int(std::floor(at.bottom())) - 1));
    }
    if (!bare.isEmpty()) {
        p.save();
        p.setClipRegion(bare, Qt::IntersectClip);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const QImage& under = !m_tiles.standIn().isNull() ? m_tiles.standIn() : m_standIn;
        if (!under.isNull())
            p.drawImage(r, under);
        else
            p.fillRect(r, palette().window());
        p.restore();
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const auto& [at, tile] : shown) {
        if (at.size() == QSizeF(tile->size()))
            p.drawImage(at.topLeft(), *tile);
        else
            p.drawImage(at, *tile);
    }
}
