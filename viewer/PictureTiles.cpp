#include "viewer/PictureTiles.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

// The stand-in's box: enough to draw under tiles for a moment.
constexpr int StandInSide = 2048;

} // namespace

QImage inDrawingFormat(const QImage& image)
{
    const QImage::Format wanted =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    return image.isNull() || image.format() == wanted ? image : image.convertToFormat(wanted);
}

QRect TileGrid::tile(QPoint index) const
{
    return QRect(index * side, QSize(side, side)).intersected(QRect(QPoint(), level));
}

QList<QPoint> TileGrid::tilesFor(QRect view, int ring) const
{
    const QRect seen = view.intersected(QRect(QPoint(), level));
    if (seen.isEmpty() || side < 1)
        return {};
    const int columns = (level.width() + side - 1) / side, rows = (level.height() + side - 1) / side;
    const QRect touched(QPoint(seen.left() / side, seen.top() / side),
                        QPoint(seen.right() / side, seen.bottom() / side));
    const QRect around = touched.adjusted(-ring, -ring, ring, ring).intersected(QRect(0, 0, columns, rows));
    const QPointF centre = QRectF(seen).center();
    QList<QPoint> inside, outside;
    for (int y = around.top(); y <= around.bottom(); ++y)
        for (int x = around.left(); x <= around.right(); ++x)
            (touched.contains(x, y) ? inside : outside).append(QPoint(x, y));
    const auto nearer = [&](QPoint a, QPoint b) {
        const QPointF da = QRectF(tile(a)).center() - centre, db = QRectF(tile(b)).center() - centre;
        return QPointF::dotProduct(da, da) < QPointF::dotProduct(db, db);
    };
    std::stable_sort(inside.begin(), inside.end(), nearer);
    std::stable_sort(outside.begin(), outside.end(), nearer);
    return inside + outside;
}

PictureTiles::PictureTiles(QObject* parent) : QObject(parent) {}

void PictureTiles::clear()
{
    m_runner.cancelAll();
    m_standInRunner.cancelAll();
    m_picture = Picture();
    m_tiles.clear();
    m_asked.clear();
    m_standIn = QImage();
    m_standInAsked = false;
}

void PictureTiles::show(const Picture& picture, QSize drawn, QRect view, bool displayColors)
{
    if (!picture.sharesDataWith(m_picture) || drawn != m_drawn || displayColors != m_displayColors) {
        const QImage standIn =
            picture.sharesDataWith(m_picture) && displayColors == m_displayColors ? m_standIn : QImage();
        clear();
        m_standIn = standIn;
        m_standInAsked = !standIn.isNull();
        m_picture = picture;
        m_drawn = drawn;
        m_displayColors = displayColors;
        m_denom = jpegDenomCovering(picture.size(), drawn);
        m_grid.level =
            QSize((picture.width() + m_denom - 1) / m_denom, (picture.height() + m_denom - 1) / m_denom);
    }
    const double sx = double(m_grid.level.width()) / drawn.width(),
                 sy = double(m_grid.level.height()) / drawn.height();
    m_view = QRectF(view.x() * sx, view.y() * sy, view.width() * sx, view.height() * sy).toAlignedRect();
    ask();
}

QRectF PictureTiles::drawnRect(QPoint index) const
{
    const QRect t = m_grid.tile(index);
    const double sx = double(m_drawn.width()) / m_grid.level.width(),
                 sy = double(m_drawn.height()) / m_grid.level.height();
    return QRectF(t.x() * sx, t.y() * sy, t.width() * sx, t.height() * sy);
}

bool PictureTiles::coversView() const
{
    const QList<QPoint> seen = m_grid.tilesFor(m_view, 0);
    return !m_picture.isEmpty() && !seen.isEmpty() &&
           std::all_of(seen.begin(), seen.end(), [&](QPoint i) { return m_tiles.contains(i); });
}

void PictureTiles::ask()
{
    if (m_picture.isEmpty())
        return;
    const QList<QPoint> seen = m_grid.tilesFor(m_view, 0);
    const QList<QPoint> wanted = m_grid.tilesFor(m_view, 1);
    // Kept a ring further than asked, so panning back and forth decodes nothing again.
    const QList<QPoint> kept = m_grid.tilesFor(m_view, 2);
    const QSet<QPoint> keep(kept.begin(), kept.end()), want(wanted.begin(), wanted.end());
    m_tiles.removeIf([&](const auto& t) { return !keep.contains(t.key()); });
    // A row's job goes when none of its tiles is wanted any more.
    QHash<JobRunner::Ticket, bool> stillWanted;
    for (auto a = m_asked.cbegin(); a != m_asked.cend(); ++a)
        stillWanted[a.value()] |= want.contains(a.key());
    for (auto s = stillWanted.cbegin(); s != stillWanted.cend(); ++s)
        if (!s.value()) {
            m_runner.cancel(s.key());
            m_asked.removeIf([&](const auto& a) { return a.value() == s.key(); });
        }
    // One band per row of tiles: a row below skips the rows above it once.
    // A PNG is inflated from its start to a band's end whatever the band:
    // one band for all the rows asked reads it once rather than once a row.
    const bool oneBand = m_picture.format() == PictureFormat::Png;
    const auto askRows = [&](const QList<QPoint>& tiles) {
        QList<int> rows;
        QHash<int, QList<QPoint>> byRow;
        for (const QPoint i : tiles) {
            if (m_tiles.contains(i) || m_asked.contains(i))
                continue;
            const int row = oneBand ? 0 : i.y();
            if (!byRow.contains(row))
                rows.append(row);
            byRow[row].append(i);
        }
        for (const int row : rows) {
            const QList<QPoint> indices = byRow.value(row);
            QRect region;
            for (const QPoint i : indices)
                region |= m_grid.tile(i);
            const Picture picture = m_picture;
            const TileGrid grid = m_grid;
            const int denom = m_denom;
            const bool colors = m_displayColors;
            const JobRunner::Ticket ticket = m_runner.submit(
                [=, this](const JobRunner::StopFlag& stop) -> JobRunner::Delivery {
                    if (stop)
                        return {};
                    QRect got = region;
                    const QImage band = inDrawingFormat(picture.decodedBand(&got, colors, denom));
                    QHash<QPoint, QImage> pieces;
                    for (const QPoint i : indices)
                        if (got.contains(grid.tile(i)))
                            pieces.insert(i, band.copy(grid.tile(i).translated(-got.topLeft())));
                    return [this, picture, denom, pieces, indices] {
                        if (!picture.sharesDataWith(m_picture) || denom != m_denom)
                            return;
                        QRectF drawn;
                        for (const QPoint i : indices) {
                            m_asked.remove(i);
                            drawn |= drawnRect(i);
                        }
                        m_tiles.insert(pieces);
                        emit arrived(drawn.toAlignedRect());
                        ask();
                    };
                },
                [this, indices](const std::exception_ptr&) {
                    for (const QPoint i : indices)
                        m_asked.remove(i);
                });
            for (const QPoint i : indices)
                m_asked.insert(i, ticket);
        }
    };
    askRows(seen);
    // The stand-in once the view is whole: it reads the whole file.
    if (!m_standInAsked && coversView()) {
        m_standInAsked = true;
        const Picture picture = m_picture;
        const bool colors = m_displayColors;
        m_standInRunner.submit(
            [=, this](const JobRunner::StopFlag& stop) -> JobRunner::Delivery {
                const QSize box = picture.size().scaled(QSize(StandInSide, StandInSide), Qt::KeepAspectRatio);
                const QImage image = inDrawingFormat(picture.decodedCovering(box, colors, &stop));
                return [this, picture, image] {
                    if (picture.sharesDataWith(m_picture))
                        m_standIn = image;
                    emit arrived(QRect(QPoint(), m_drawn));
                };
            },
            [](const std::exception_ptr&) {});
    }
    askRows(wanted);
}
