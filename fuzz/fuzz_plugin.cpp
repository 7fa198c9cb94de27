// The kinds read through Qt's plugins, and the PNG and TIFF rewrites: the
// first byte picks the kind (0 PNG, 1 GIF, 2 WebP, 3 TIFF, 4 icon), the
// rest is the file. A picture that is rewritten must read again, turned.
#include "core/Errors.h"
#include "fuzz/FuzzSupport.h"
#include "graphics/Picture.h"
#include "graphics/PictureRewrite.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const PictureFormat formats[] = {PictureFormat::Png, PictureFormat::Gif, PictureFormat::WebP,
                                            PictureFormat::Tiff, PictureFormat::Icon};
    const PictureFormat format = formats[data[0] % 5];
    const ExifOrientation exif = data[0] & 0x80 ? ExifOrientation::Ignore : ExifOrientation::Apply;
    try {
        const Picture picture = Picture::readHere(fuzzBytes(data + 1, size - 1), format, exif);
        if (static_cast<long long>(picture.width()) * picture.height() > FuzzMaxDecodePixels)
            return 0;
        picture.thumbnail(QSize(40, 30), true);
        picture.decodedCovering(QSize(20, 20), true);
        if (!pictureRewritable(picture))
            return 0;
        const QByteArray turned = turnedPictureFile(picture, 90);
        const Picture again = Picture::readHere(turned, pictureFormatOf(turned), exif);
        if (again.size() != picture.size().transposed())
            std::abort();
        pictureFileWithPixels(picture, picture.toBitmap24());
    } catch (const AppError&) {
    }
    return 0;
}
