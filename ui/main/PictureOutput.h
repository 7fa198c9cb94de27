#pragma once
// The picture shown, given out of the program: printed on a page (fitted
// to its printable area and centred, the page turned the picture's way,
// the comment as a caption if wanted), and copied to the clipboard as an
// image together with its file's path and URL.
#include <QImage>
#include <QPageLayout>
#include <QRect>
#include <QString>

class QMimeData;
class QPainter;
class QPrinter;

// Landscape for a picture wider than high, else portrait.
QPageLayout::Orientation pageOrientationFor(QSize picture);
// Where a picture of `picture` pixels goes in `area`: as large as fits
// with its shape kept, centred.
QRect fittedCentred(QSize picture, const QRect& area);
// Draws the page: `image` fitted into `page` above the caption's lines
// (none when `caption` is empty), the caption centred under it.
void paintPrintedPage(QPainter& painter, const QRect& page, const QImage& image, const QString& caption);
// One page on `printer`, within its printable area.
void printPicture(QPrinter& printer, const QImage& image, const QString& caption);
// The image, the path as text and the file's URL (text/uri-list), in one.
QMimeData* pictureMimeData(const QImage& image, const QString& path);
