#pragma once
// The harness body for a kind read only to be shown: read as `format`,
// then every rendition the viewer asks of it.
#include "core/Errors.h"
#include "fuzz/FuzzSupport.h"
#include "graphics/Picture.h"

inline int fuzzShownKind(const std::uint8_t* data, std::size_t size, PictureFormat format)
{
    try {
        const Picture picture = Picture::readHere(fuzzBytes(data, size), format);
        if (static_cast<long long>(picture.width()) * picture.height() > FuzzMaxDecodePixels)
            return 0;
        picture.thumbnail(QSize(40, 30), true);
        picture.decodedCovering(QSize(300, 200), true);
        picture.toBitmap24();
    } catch (const AppError&) {
    }
    return 0;
}
