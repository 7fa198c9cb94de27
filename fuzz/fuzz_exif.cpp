// Camera metadata: the first byte picks what the rest is. 0: an EXIF block
// read for its orientation and edited in place, then carried by a small JPEG that
// is loaded, turned without loss and written back. 1: a whole JPEG file
// through the same load, turn and write.
#include "core/Errors.h"
#include "fuzz/FuzzSupport.h"
#include "graphics/ExifMetadata.h"
#include "graphics/ExifThumbnail.h"
#include "graphics/JpegCodec.h"
#include "graphics/JpegSegments.h"
#include "graphics/Picture.h"

#include <cstdlib>

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

// Load, turn and write back, checking what every write promises.
void roundTrip(const QByteArray& jpeg)
{
    const Picture picture = Picture::readHere(jpeg, PictureFormat::Jpeg);
    if (static_cast<long long>(picture.width()) * picture.height() > FuzzMaxDecodePixels)
        return;
    const Bitmap24 pixels = picture.toBitmap24();
    require(pixels.width() == picture.width() && pixels.height() == picture.height());
    picture.thumbnail(QSize(40, 30), true);
    const QByteArray turned = picture.turnedLosslessly(90);
    if (!turned.isEmpty()) {
        const Picture t = Picture::readHere(turned, PictureFormat::Jpeg);
        require(t.orientation() == 1 && t.size() == picture.size().transposed());
    }
    const Picture written = Picture::readHere(picture.encodeJpegReplacement(pixels), PictureFormat::Jpeg);
    require(written.orientation() == 1 && written.size() == picture.size());
}

Bitmap24 pixelsOf(const QByteArray& jpeg)
{
    return decodeJpeg(jpeg);
}

QByteArray carrier()
{
    Bitmap24 b(16, 8);
    b.fill(40, 120, 200);
    return encodeJpeg(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes = fuzzBytes(data + 1, size - 1);
    try {
        if (data[0] % 2 == 0) {
            const int orientation = exifOrientation(bytes);
            require(orientation >= 1 && orientation <= 8);
            ExifChanges changes;
            changes.resetOrientation = true;
            changes.size = QSize(8, 16);
            changes.thumbnail = turnedExifThumbnail(bytes, 6);
            const QByteArray edited = editExif(bytes, changes);
            require(edited.size() <= std::max<qsizetype>(bytes.size(), 65533));
            if (edited != bytes)
                require(exifOrientation(edited) == 1);
            if (bytes.size() <= 65533) {
                static const QByteArray plain = carrier();
                roundTrip(encodeJpeg(pixelsOf(plain), 90, JpegMetadata{false, {{0xE1, bytes}}}));
            }
        } else {
            roundTrip(bytes);
            readJpegSegments(bytes);
        }
    } catch (const AppError&) {
    }
    return 0;
}
