#pragma once
// What kind of picture a file holds, told by its first bytes rather than
// its name, so a misnamed picture still shows; and the kinds the program
// reads, for file choosers and drop targets.
#include "core/LoaderRequest.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

enum class PictureFormat { Unknown, Jpeg, Bitmap, Png, Gif, WebP, Tiff, Heif, Avif, Icon, CameraRaw, JpegXl, Svg };

// Enough of a file's start to tell every kind apart.
inline constexpr int PictureFormatHeadBytes = 64;

// The kind `head` (a file's first bytes) starts like; Unknown when none.
PictureFormat pictureFormatOf(const QByteArray& head);
// The kind a file holds by its content `head` or, when its bytes are no
// kind at all, the kind its name `path` says (whose reader then tells what
// is wrong). Throws AppError("Unknown picture file extension (.%s)") for a
// file neither places.
PictureFormat pictureFormatOf(const QByteArray& head, const QString& path);
// The same, reading the file's head. Throws also "Cannot open file "%s".
// %s" for a file that can't be read or is no regular file.
PictureFormat pictureFormatOfFile(const QString& path);

// The kinds a rotation or an effect writes back into their own file.
bool pictureFormatWritable(PictureFormat format);
// Whether a lean loader answers `task` about a picture of `format`: it
// reads the kinds whose libraries every loader links, Qt's own plugins for
// GIF and icons included. The others' libraries only a full loader loads,
// or a lean one started to read one more kind, `alsoRead`, as well.
bool leanLoadersAnswer(LoaderTask task, PictureFormat format,
                       PictureFormat alsoRead = PictureFormat::Unknown);
// The name QImageReader knows the kind by ("png", "tiff"...); empty for
// the kinds read by other means.
QByteArray qtFormatName(PictureFormat format);

struct PictureKind {
    PictureFormat format;
    const char* name;     // shown in a file chooser: "PNG"
    QStringList suffixes; // lower case, without the dot
};
// Every kind read, JPEG and bitmaps first.
const std::vector<PictureKind>& pictureKinds();
// The open dialog's filter in the "Text|*.a;*.b|..." form: `allPictures`
// with every kind's names first, then one entry per kind. (Qt's file
// dialog matches them in any letter case.)
QString pictureOpenFilter(const QString& allPictures);
// Whether the name's extension is one of a kind read (any letter case).
bool hasPictureSuffix(const QString& path);
