// Picture loading by file name: the first byte picks the extension, the rest
// is the file.
#include "fuzz/FuzzSupport.h"
#include "core/Errors.h"
#include "graphics/Picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const char* const extensions[] = {"bmp", "jpg", "jpeg", "ico", "BMP", "JPG", "gif", "bmp.jpg"};
    const QString ext = QString::fromLatin1(extensions[data[0] % 8]);
    const QString path = fuzzScratchFile(fuzzBytes(data + 1, size - 1), ext);
    try {
        // As a file is opened, but read here: fuzzing runs the decoders in this process.
        const QByteArray bytes = fuzzBytes(data + 1, size - 1);
        const Picture picture = Picture::readHere(bytes, pictureFormatOf(bytes.left(PictureFormatHeadBytes), path),
                                                  ExifOrientation::Apply, path);
        if (static_cast<long long>(picture.width()) * picture.height() <= FuzzMaxDecodePixels) {
            picture.thumbnail(QSize(60, 45), true);
            picture.toImage();
        }
    } catch (const AppError&) {
    }
    return 0;
}
