#pragma once
// Helpers shared by the graphics tests: corpus paths, scratch files and
// small hand-made pictures.
#include "graphics/Bitmap24.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <ostream>

QString corpusPath(const QString& relative);
QByteArray corpusBytes(const QString& relative);
// Writes `data` to `dir`/`name` and returns the full path.
QString writeScratch(const QTemporaryDir& dir, const QString& name, const QByteArray& data);
// Names of the files in `dir`, hidden ones included.
QStringList filesIn(const QString& dir);
// A smooth gradient (JPEG-friendly): blue grows to the right, green downwards.
Bitmap24 gradientBitmap(int width, int height);
// Every byte random (a stern BMP test).
Bitmap24 noiseBitmap(int width, int height, unsigned seed);

// Readable QString values in assertion failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
