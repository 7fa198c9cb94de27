#pragma once
// A picture made smaller by a whole factor f, each block of f x f pixels
// averaged (those at the right and bottom edges of what is left), a row at
// a time so that the whole frame need never be held (a PNG's rows as
// libpng hands them over) nor converted (a frame decoded whole).
#include <QImage>
#include <QSize>

// The largest whole factor that still covers `atLeast` in both directions;
// below 2 a reduction gains nothing.
int blockFactorCovering(QSize size, QSize atLeast);
// The factor that reduces `size` to `reduced`; 0 where none does.
int blocksFactor(QSize size, QSize reduced);

// `image` reduced by the largest whole factor that still covers `atLeast`;
// null where no factor of 2 or more fits. Opaque pictures only (RGB888,
// RGB32), which is what a decode of a camera's photo gives.
QImage reducedByBlocks(const QImage& image, QSize atLeast);

// Red, green and blue apart, a byte a sample, each plane its own rows.
struct RgbPlanes {
    QSize size;
    const uchar* first[3];
    qsizetype stride[3];
};

// The same for a picture decoded as planes: its frame is never interleaved.
QImage reducedByBlocks(const RgbPlanes& planes, QSize atLeast);
