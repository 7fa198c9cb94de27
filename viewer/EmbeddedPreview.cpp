#include "viewer/EmbeddedPreview.h"

#include "core/Errors.h"
#include "core/RegularFile.h"
#include "core/SealedBuffer.h"
#include "graphics/PictureFormat.h"
#include "graphics/PictureLoaders.h"

#include <cstring>

namespace {
// A JPEG's markers up to its pixels, the EXIF block among them.
constexpr qint64 JpegHeadBytes = 256 * 1024;
} // namespace

QImage embeddedPreview(const QString& path, QSize box, ExifOrientation exif, bool displayColors)
{
    try {
        RegularFile file(path);
        const QByteArray head = file.readHead(JpegHeadBytes);
        const PictureFormat format = pictureFormatOf(head.left(PictureFormatHeadBytes));
        if (format != PictureFormat::Jpeg && format != PictureFormat::Heif && format != PictureFormat::Avif)
            return QImage();
        LoaderRequest request;
        request.task = LoaderTask::Decode;
        request.format = quint8(format);
        request.applyOrientation = exif == ExifOrientation::Apply;
        request.displayColors = displayColors;
        request.shape = DecodeShape::ExifThumbnail;
        request.size = box;
        if (format != PictureFormat::Jpeg)
            return PictureLoaders::shared().ask(path, request).image;
        // The head alone holds a JPEG's thumbnail.
        SealedBuffer copy(head.size());
        std::memcpy(copy.data(), head.constData(), size_t(head.size()));
        const UniqueFd sealed = copy.seal();
        return sealed.isValid() ? PictureLoaders::shared().ask(sealed.get(), head.size(), request).image : QImage();
    } catch (const AppError&) {
        return QImage();
    }
}
