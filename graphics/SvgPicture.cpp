#include "graphics/SvgPicture.h"

#include "graphics/DecoderMessages.h"
#include "graphics/PictureError.h"
#include "graphics/PictureLimits.h"

#include <QBuffer>
#include <QImageReader>

namespace {

struct SvgReader {
    QuietDecoding quiet;
    QBuffer buffer;
    QImageReader reader;
    explicit SvgReader(const QByteArray& data)
    {
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        reader.setFormat("svg");
        reader.setAutoDetectImageFormat(false);
        reader.setAllocationLimit(int(std::max<std::uint64_t>(pictureByteLimit() >> 20, 1)));
    }
    QSize size()
    {
        const QSize s = reader.size();
        if (!s.isValid() || s.isEmpty())
            throw PictureError::corrupt(QStringLiteral("its drawing can't be read"));
        return s;
    }
};

} // namespace

QSize readSvgPictureSize(const QByteArray& data)
{
    const QSize size = SvgReader(data).size();
    checkPictureSize(size.width(), size.height());
    return size;
}

QImage renderSvgPicture(const QByteArray& data, QSize size)
{
    SvgReader r(data);
    r.size();
    // A zoom far in draws no larger than a picture may be.
    while (!pictureSizeAllowed(size.width(), size.height()) && size.width() > 1 && size.height() > 1)
        size /= 2;
    r.reader.setScaledSize(size);
    const QImage image = r.reader.read();
    if (image.isNull())
        throw PictureError::corrupt(QStringLiteral("its drawing can't be read"));
    return image;
}
