#pragma once
// Pictures written back into their own files, in the format the file's
// lower-case extension names. Every write is atomic: on failure the file
// keeps its old content and AppError("Cannot create file "%s". %s") is
// thrown before anything else has changed.
#include "graphics/Picture.h"

#include <QStringList>

#include <functional>

class EffectRenderer;

// Throws "\"…\" is damaged (…); it was not changed." for a picture whose file
// decodes only in part (finding out by reading it, if no decode has yet).
// Every write refuses such pixels, so that the damage never becomes the
// file's content.
void refuseDamaged(const Picture& source, const QString& path);

enum class PictureFileKind { Bitmap, Jpeg, Png, Tiff, Other };
// What a file holds by its content (see pictureFormatOfFile); a file that
// is not there yet, or can't be read, by its extension. Other: a kind
// that is never written.
PictureFileKind pictureFileKind(const QString& path);
// By the name's extension alone, for a file to be made.
PictureFileKind pictureFileKindOfName(const QString& path);

// Writes an effect result: a 24-bit BMP, a JPEG at quality 90, or a PNG or
// TIFF, keeping the metadata of `source` (the picture the effect started
// from). Answers the picture the file now holds, as a fresh load would
// give it, or an empty picture when the file is of a kind never written.
Picture writeRenderedPicture(const QString& path, const Bitmap24& rendered, const Picture& source = Picture());

// `picture` in the form a file of this name holds: a bitmap for ".bmp",
// JPEG for ".jpg"/".jpeg" (re-encoded only when it is not one already);
// other names keep the picture as it is.
Picture pictureForFile(const Picture& picture, const QString& path);

// The Rotate command on one file: turns `picture` (the file's picture as
// loaded) by `angle`, writes it and answers the picture now held. A JPEG of
// whole MCUs, a PNG and a TIFF are turned without loss. A kind that is
// never written throws "Pictavo shows "%s" but does not change this kind
// of picture." and writes nothing.
Picture rotatePictureFile(const Picture& picture, const QString& path, int angle);

// One step of the all-pictures path: loads `path` into the engine, which
// renders it with its current settings, and writes the result back.
Picture applyEffectsToFile(EffectRenderer& engine, const QString& path,
                           ExifOrientation exif = ExifOrientation::Apply);

// The all-pictures path, for the effects dialog and `pictavo-fx apply`
// alike: each file in order, through the streamed tone pipeline where it
// gives the same bytes, else through applyEffectsToFile; two files at a
// time, written in order. `before(k)` may stop the run before file k starts
// (answer false), so each file is either done or untouched; it may come
// while file k - 1 is still under way. `after` hears of each file done, in
// order. A failure propagates once the file beside it is abandoned; no file
// after it is written. Both run on the caller's thread. Answers how many
// files were written.
struct ApplyProgress {
    std::function<bool(int k, int total, const QString& file)> before;
    std::function<void(int k, int total, const QString& file)> after;
};
int applyEffectsToFiles(EffectRenderer& engine, const QStringList& files, ExifOrientation exif,
                        const ApplyProgress& progress = {});
