#pragma once
// A picture drawn far larger than a screenful, decoded tile by tile: the
// tiles the view shows first, row by row, then a scaled whole picture that
// stands in under the rest, then the tiles around the view. Tiles away from
// the view are dropped, so what is held stays bounded whatever the
// picture's size. No widgets: the main image asks what to draw.
#include "core/JobRunner.h"
#include "graphics/Picture.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>

// In the format the window's backing store holds, so a paint copies rows
// rather than converting every pixel each time it is drawn.
QImage inDrawingFormat(const QImage& image);

// The tiles of a picture decoded at 1/denom (`level` large), in its pixels.
struct TileGrid {
    QSize level;
    int side = 512;
    QRect tile(QPoint index) const;
    // The indices of the tiles `view` touches and of `ring` more around
    // them; those `view` touches first, each set nearest the view's centre
    // first.
    QList<QPoint> tilesFor(QRect view, int ring) const;
};

class PictureTiles : public QObject {
    Q_OBJECT
public:
    // Drawn larger than this many pixels, a picture is tiled rather than
    // decoded whole at the drawn size.
    static constexpr qint64 LeastTiledPixels = 16'000'000;
    static bool tiles(QSize drawn) { return qint64(drawn.width()) * drawn.height() > LeastTiledPixels; }

    explicit PictureTiles(QObject* parent = nullptr);

    // Shows `picture` drawn `drawn` large, of which `view` (drawn
    // coordinates) is seen: asks for what is missing, drops what is far.
    void show(const Picture& picture, QSize drawn, QRect view, bool displayColors);
    void clear();

    const Picture& picture() const { return m_picture; }
    // Drawn coordinates of a level tile, and what stands in under them.
    QRectF drawnRect(QPoint index) const;
    const QHash<QPoint, QImage>& decoded() const { return m_tiles; }
    const QImage& standIn() const { return m_standIn; }
    // Every tile the view touches has arrived.
    bool coversView() const;
    // The decode scale's denominator (1, 2, 4 or 8).
    int denom() const { return m_denom; }

signals:
    // Pixels arrived for `drawn` (drawn coordinates).
    void arrived(const QRect& drawn);

private:
    void ask();

    Picture m_picture;
    QSize m_drawn;
    QRect m_view; // level coordinates
    bool m_displayColors = false;
    int m_denom = 1;
    TileGrid m_grid;
    QHash<QPoint, QImage> m_tiles;
    QHash<QPoint, JobRunner::Ticket> m_asked;
    QImage m_standIn;
    bool m_standInAsked = false;
    JobRunner m_standInRunner; // apart, so tiles never wait behind it
    JobRunner m_runner;
};
