#pragma once
// SVG through Qt SVG's image plugin, drawn at the size it is shown at, so
// that it stays sharp at any zoom. Never written.
#include <QByteArray>
#include <QImage>
#include <QSize>

// The size the drawing gives itself (its width and height, else its
// viewBox). Throws PictureError for a document Qt SVG can't draw.
QSize readSvgPictureSize(const QByteArray& data);
// The drawing at `size` (within the picture limit), transparent where it
// draws nothing. Throws as above.
QImage renderSvgPicture(const QByteArray& data, QSize size);
