#pragma once
// Small picture files and collections made on the fly for tests.
#include "collection/CollectionFile.h"
#include "graphics/Bitmap24.h"

#include <QString>
#include <QTemporaryDir>

namespace testpics {
// A w x h bitmap whose pixels depend on (x, y, seed), so pictures differ.
Bitmap24 pattern(int w, int h, int seed);
QString writeBmp(const QString& path, int w, int h, int seed);
QString writeJpeg(const QString& path, int w, int h, int seed);
// n pictures (JPEG and BMP alternating) in dir, listed in a collection
// file "name" with comments "comment k".
QString makeCollection(const QString& dir, const QString& name, int n, int w = 64, int h = 48);
} // namespace testpics
