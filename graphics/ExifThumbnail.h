#pragma once
// The small picture an EXIF block carries, made again for written pixels:
// turned with them, or sampled from an effect's result row by row (so a
// streamed write makes the very thumbnail a whole-frame write makes).
#include "graphics/Bitmap24.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <cstdint>
#include <functional>
#include <vector>

// A baseline JPEG of `pixels`, without markers of its own, at most `budget`
// bytes (the quality drops until it fits); empty when it can't fit.
QByteArray encodeExifThumbnail(const Bitmap24& pixels, qsizetype budget);

// The maker of `exif`'s thumbnail turned by `orientation` (as orientBitmap
// turns pixels), for ExifChanges::thumbnail; null when there is none.
std::function<QByteArray(qsizetype)> turnedExifThumbnail(const QByteArray& exif, int orientation);

// The size of a thumbnail made anew for pixels of `size` that were turned
// upright by `orientation`: the old thumbnail's box, turned alike, with the
// new picture's proportions. Invalid when `exif` has no thumbnail.
QSize newThumbnailSize(const QByteArray& exif, QSize size, int orientation);

class Picture;
// The thumbnail the EXIF block of `jpeg` (whose bytes may end after its
// headers) carries, upright and in display colours, fitted to `box`; null
// unless it shows the whole picture (a letterboxed one would show bars)
// at least as large as the box needs, or when it can't be read.
QImage fittedExifThumbnail(const Picture& jpeg, QSize box, bool displayColors);

// Averages a picture given row by row, top to bottom, down to `thumbnail`:
// each thumbnail pixel from up to 4 x 4 evenly spread pixels of its area.
class ThumbnailSampler {
public:
    ThumbnailSampler(QSize picture, QSize thumbnail);
    bool isNull() const { return m_size.isEmpty(); }
    // Rows `y`.. `y + n - 1`, row i at `rows + i * stride`, blue-green-red.
    void addRows(int y, const std::uint8_t* rows, std::ptrdiff_t stride, int n);
    Bitmap24 result() const;

private:
    QSize m_size;
    std::vector<std::vector<int>> m_rowTargets; // for each picture row, the thumbnail rows it feeds
    std::vector<std::vector<int>> m_columns;    // for each thumbnail column, the picture columns
    std::vector<int> m_rowSamples;              // for each thumbnail row, how many picture rows
    std::vector<std::uint32_t> m_sums;
};
