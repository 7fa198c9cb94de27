#pragma once
// What a JPEG written anew as a stream keeps of its source (see
// jpegReplacement), as a loader answers it for a picture it reads: the
// viewer copies the segments into the new file as they are, unread, and
// the loader puts the new thumbnail in once the pixels are written.
#include "graphics/JpegStream.h"
#include "graphics/Picture.h"

#include <optional>

// For a replacement of `source` by pixels of `size`.
JpegReplacement keptForReplacement(const Picture& source, QSize size);
// `jpeg`, written here for `source`, with its EXIF thumbnail made of
// `thumbnail` (see withExifThumbnail).
QByteArray withNewThumbnail(const Picture& source, const QByteArray& jpeg, const Bitmap24& thumbnail);

// The wire form, in a Rewrite reply's new file.
QByteArray encodedReplacement(const JpegReplacement& kept);
// Empty for bytes that are no well-formed replacement, or hold values out
// of range for the encoder.
std::optional<JpegReplacement> decodedReplacement(QByteArrayView bytes);
