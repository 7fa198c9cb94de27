#pragma once
// A PNG file as its list of chunks, for what Qt's PNG reader and writer
// leave out: the EXIF chunk, and every chunk of a file that is rewritten
// with new pixels.
#include <QByteArray>
#include <QList>

struct PngChunk {
    QByteArray type; // four letters
    QByteArray data;
};

// The chunks in file order; empty when the bytes are no PNG or a chunk
// runs past the end (what comes after IEND is ignored). Without `pixels`,
// the IDAT chunks come empty: a giant file's facts copy none of its data.
QList<PngChunk> pngChunks(const QByteArray& file, bool pixels = true);
// A PNG file of these chunks (signature and checksums added).
QByteArray pngFile(const QList<PngChunk>& chunks);
// The payload of the first chunk of `type`, or empty.
QByteArray pngChunkData(const QList<PngChunk>& chunks, const char* type);

// Whether the colour chunks only say "sRGB": an sRGB chunk, or the gamma
// 1/2.2 (with the sRGB primaries, if any) that tools write for it, and no
// ICC profile. Qt reads that gamma as a colour space of its own.
bool pngColourIsSrgb(const QList<PngChunk>& chunks);
// An animated PNG (APNG): rewriting it would keep only its first frame.
bool pngIsAnimated(const QList<PngChunk>& chunks);
// The same told by walking the file's chunk headers, copying nothing.
bool pngIsAnimated(const QByteArray& file);
