#pragma once
// Camera RAW files, shown by what they hold ready to show: the largest
// whole JPEG preview the camera embedded (a preview that ends early, as in
// a file cut short, does not count), or through LibRaw a bitmap thumbnail
// or a half-size development of the raw data. Never written.
#include <QByteArray>
#include <QImage>
#include <QSize>

struct RawPictureInfo {
    QSize stored;        // of the rendition shown, before its orientation
    int orientation = 1; // the RAW's own, as EXIF numbers it
};

// Which rendition shows: the largest whole preview, unless it is only a
// thumbnail (under a quarter of the picture's width) and the raw data is
// there to develop. Throws PictureError (NoPreview) where nothing can be
// shown, or a size past the picture limit.
RawPictureInfo readRawPictureInfo(const QByteArray& data);
// That rendition's pixels as stored (not yet upright), in sRGB.
QImage decodeRawPicture(const QByteArray& data);
// The smallest whole embedded preview of the shape `shown` (as stored)
// whose size covers `atLeast`; null when none does.
QImage decodeRawPreviewCovering(const QByteArray& data, QSize shown, QSize atLeast);
// Loads LibRaw now (a confined loader can't load it later); false when
// it is missing.
bool loadCameraRawLibrary();
