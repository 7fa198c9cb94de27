#include "ui/main/PictureOutput.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QUrl>

QPageLayout::Orientation pageOrientationFor(QSize picture)
{
    return picture.width() > picture.height() ? QPageLayout::Landscape : QPageLayout::Portrait;
}

QRect fittedCentred(QSize picture, const QRect& area)
{
    if (picture.isEmpty() || area.isEmpty())
        return QRect();
    const QSize size = picture.scaled(area.size(), Qt::KeepAspectRatio);
    return QRect(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2,
                 size.width(), size.height());
}

void paintPrintedPage(QPainter& painter, const QRect& page, const QImage& image, const QString& caption)
{
    QRect pictureArea = page;
    QRect captionArea;
    if (!caption.trimmed().isEmpty()) {
        // Up to three lines of the comment, a line's height apart from the picture.
        const QFontMetrics metrics(painter.font(), painter.device());
        const QRect needed = metrics.boundingRect(page, Qt::AlignHCenter | Qt::TextWordWrap, caption);
        const int height = std::min(needed.height(), 3 * metrics.lineSpacing());
        captionArea = QRect(page.left(), page.bottom() - height + 1, page.width(), height);
        pictureArea.setBottom(captionArea.top() - metrics.lineSpacing());
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(fittedCentred(image.size(), pictureArea), image);
    if (!captionArea.isEmpty())
        painter.drawText(captionArea, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, caption);
}

void printPicture(QPrinter& printer, const QImage& image, const QString& caption)
{
    QPainter painter(&printer);
    if (!painter.isActive())
        return;
    QFont font = painter.font();
    font.setPointSize(12);
    painter.setFont(font);
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    // The painter's origin is the printable area's corner.
    paintPrintedPage(painter, QRect(QPoint(0, 0), page.size()), image, caption);
}

QMimeData* pictureMimeData(const QImage& image, const QString& path)
{
    auto* data = new QMimeData;
    data->setImageData(image);
    const QString absolute = QFileInfo(path).absoluteFilePath();
    // Text after the URLs: setUrls fills the plain text too.
    data->setUrls({QUrl::fromLocalFile(absolute)});
    data->setText(absolute);
    return data;
}
