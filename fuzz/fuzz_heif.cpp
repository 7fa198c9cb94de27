// HEIC/HEIF and AVIF through libheif, with the boxes read around it: the
// first byte says whether the rotation and mirror properties apply.
#include "core/Errors.h"
#include "fuzz/FuzzSupport.h"
#include "graphics/Picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const ExifOrientation exif = data[0] & 1 ? ExifOrientation::Ignore : ExifOrientation::Apply;
    try {
        const Picture picture = Picture::readHere(fuzzBytes(data + 1, size - 1), PictureFormat::Heif, exif);
        picture.withExifOrientation(exif == ExifOrientation::Apply ? ExifOrientation::Ignore
                                                                   : ExifOrientation::Apply);
        if (static_cast<long long>(picture.width()) * picture.height() > FuzzMaxDecodePixels)
            return 0;
        picture.thumbnail(QSize(40, 30), true);
        picture.toBitmap24();
    } catch (const AppError&) {
    }
    return 0;
}
