#include "ui/main/ThumbSlot.h"

#include <QMouseEvent>
#include <QPainter>

ThumbSlot::ThumbSlot(int number, QWidget* parent) : QWidget(parent), m_number(number)
{
    setObjectName(QStringLiteral("Img%1").arg(number));
    setFixedSize(Size, Size);
    setAttribute(Qt::WA_TranslucentBackground, false);
}

void ThumbSlot::loadPicture(const QString& path, ExifOrientation exif)
{
    const FileStamp stamp = FileStamp::of(path);
    if (path == m_path && stamp.isValid() && stamp == m_stamp &&
        m_picture.withExifOrientation(exif).sharesDataWith(m_picture))
        return;
    clearPicture();
    setPicture(Picture::loadFromFile(path, exif));
    m_path = path;
    m_stamp = stamp;
}

void ThumbSlot::setPrepared(const QString& path, const FileStamp& stamp, const Picture& picture,
                            const QImage& thumb, const QImage& decoded)
{
    m_picture = picture;
    m_thumb = thumb;
    m_decoded = decoded;
    m_path = path;
    m_stamp = stamp;
    update();
}

void ThumbSlot::setPicture(const Picture& picture)
{
    QImage decoded;
    QImage thumb = picture.thumbnail(QSize(Size, Size), &decoded);
    m_picture = picture;
    m_thumb = std::move(thumb);
    m_decoded = std::move(decoded);
    m_stamp = FileStamp();
    update();
}

void ThumbSlot::takePicture(const ThumbSlot& other)
{
    m_picture = other.m_picture;
    m_thumb = other.m_thumb;
    m_decoded = other.m_decoded;
    m_path = other.m_path;
    m_stamp = other.m_stamp;
    update();
}

void ThumbSlot::remakeRendition()
{
    if (m_picture.isEmpty())
        return;
    m_thumb = m_picture.thumbnail(QSize(Size, Size), &m_decoded);
    update();
}

void ThumbSlot::clearPicture()
{
    m_picture = Picture();
    m_thumb = QImage();
    m_decoded = QImage();
    m_stamp = FileStamp();
    update();
}

void ThumbSlot::setHint(const QString& hint)
{
    m_hint = hint;
    setToolTip(hint);
    setStatusTip(hint);
}

QRect ThumbSlot::drawRect() const
{
    const QSize s = m_picture.size();
    if (s.width() < 1 || s.height() < 1)
        return {};
    // Fit the whole picture into the cell, enlarging small ones too.
    const QSize fitted = s.scaled(Size, Size, Qt::KeepAspectRatio);
    return QRect(QPoint(0, 0), fitted);
}

void ThumbSlot::paintEvent(QPaintEvent*)
{
    if (m_thumb.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(drawRect(), m_thumb);
}

void ThumbSlot::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint()))
        emit clicked(m_number);
}
