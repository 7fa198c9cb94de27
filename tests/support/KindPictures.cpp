#include "tests/support/KindPictures.h"

#include "graphics/PngChunks.h"
#include "graphics/PngCodec.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QtEndian>

#include <QTemporaryDir>
#include <libheif/heif.h>
#include <tiffio.h>

#include <cstring>
#include <memory>

namespace kinds {

QImage quadrants(int w, int h, QImage::Format format)
{
    QImage image(w, h, QImage::Format_RGB32);
    const QRgb colours[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, colours[(y >= h / 2) * 2 + (x >= w / 2)]);
    return image.convertToFormat(format);
}

QString corners(const QImage& image)
{
    const auto letter = [&](int x, int y) {
        const QColor c = image.pixelColor(x, y);
        if (c.alpha() < 16)
            return QLatin1Char('T');
        const auto on = [](int v) { return v > 160; };
        const auto off = [](int v) { return v < 96; };
        if (on(c.red()) && off(c.green()) && off(c.blue()))
            return QLatin1Char('R');
        if (off(c.red()) && on(c.green()) && off(c.blue()))
            return QLatin1Char('G');
        if (off(c.red()) && off(c.green()) && on(c.blue()))
            return QLatin1Char('B');
        if (on(c.red()) && on(c.green()) && on(c.blue()))
            return QLatin1Char('W');
        return QLatin1Char('?');
    };
    const int r = image.width() - 2, b = image.height() - 2;
    return QString() + letter(1, 1) + letter(r, 1) + letter(1, b) + letter(r, b);
}

QByteArray encoded(const QImage& image, const char* format, int quality)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return out;
}

QByteArray interlacedPng(const QImage& image)
{
    PngLayout layout;
    const SampleRaster rows = readPngSamples(encoded(image, "png"), &layout);
    layout.interlaced = true;
    return encodePngSamples(rows, layout);
}

QByteArray tiff(const QImage& image, int orientation, bool compressed)
{
    static const QImageIOHandler::Transformations byTag[9] = {
        QImageIOHandler::TransformationNone,     QImageIOHandler::TransformationNone,
        QImageIOHandler::TransformationMirror,   QImageIOHandler::TransformationRotate180,
        QImageIOHandler::TransformationFlip,     QImageIOHandler::TransformationFlipAndRotate90,
        QImageIOHandler::TransformationRotate90, QImageIOHandler::TransformationMirrorAndRotate90,
        QImageIOHandler::TransformationRotate270};
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    writer.setCompression(compressed ? 1 : 0);
    writer.setTransformation(byTag[orientation]);
    writer.write(image);
    return out;
}

QByteArray heif(const QImage& image, bool avif, int orientation, const QByteArray& icc,
                const QImage& thumbnail)
{
    std::unique_ptr<heif_context, decltype(&heif_context_free)> ctx(heif_context_alloc(), &heif_context_free);
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(ctx.get(), avif ? heif_compression_AV1 : heif_compression_HEVC,
                                        &encoder);
    if (!encoder)
        return QByteArray();
    heif_encoder_set_lossy_quality(encoder, 95);
    heif_encoder_set_parameter(encoder, "chroma", "444");
    const auto toHeif = [](const QImage& source) {
        const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
        heif_image* h = nullptr;
        heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &h);
        heif_image_add_plane(h, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
        int stride = 0;
        uint8_t* p = heif_image_get_plane(h, heif_channel_interleaved, &stride);
        for (int y = 0; y < rgb.height(); ++y)
            std::memcpy(p + y * stride, rgb.constScanLine(y), std::size_t(rgb.width()) * 3);
        return h;
    };
    heif_image* main = toHeif(image);
    if (!icc.isEmpty())
        heif_image_set_raw_color_profile(main, "prof", icc.constData(), std::size_t(icc.size()));
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(orientation);
    heif_image_handle* handle = nullptr;
    heif_context_encode_image(ctx.get(), main, encoder, options, &handle);
    if (!thumbnail.isNull() && handle) {
        heif_image* small = toHeif(thumbnail);
        heif_image_handle* thumb = nullptr;
        heif_context_encode_thumbnail(ctx.get(), small, handle, encoder, options,
                                      std::max(thumbnail.width(), thumbnail.height()) / 2, &thumb);
        heif_image_handle_release(thumb);
        heif_image_release(small);
    }
    heif_image_handle_release(handle);
    heif_encoding_options_free(options);
    heif_image_release(main);
    heif_encoder_release(encoder);

    QByteArray out;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* userdata) {
                           static_cast<QByteArray*>(userdata)->append(static_cast<const char*>(data),
                                                                      qsizetype(size));
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    heif_context_write(ctx.get(), &writer, &out);
    return out;
}

QByteArray exifBlock(bool bigEndian, int orientation, bool adobeRgb)
{
    QByteArray b(86, '\0');
    const auto p16 = [&](int at, quint16 v) {
        bigEndian ? qToBigEndian(v, b.data() + at) : qToLittleEndian(v, b.data() + at);
    };
    const auto p32 = [&](int at, quint32 v) {
        bigEndian ? qToBigEndian(v, b.data() + at) : qToLittleEndian(v, b.data() + at);
    };
    const auto entry = [&](int at, quint16 tag, quint16 type, quint32 count) {
        p16(at, tag);
        p16(at + 2, type);
        p32(at + 4, count);
    };
    b.replace(0, 2, bigEndian ? "MM" : "II");
    p16(2, 42);
    p32(4, 8);
    p16(8, 2); // IFD0 at 8: orientation, EXIF pointer
    entry(10, 274, 3, 1);
    p16(18, quint16(orientation));
    entry(22, 34665, 4, 1);
    p32(30, 38);
    p16(38, 2); // EXIF at 38: colour space, interoperability pointer
    entry(40, 0xA001, 3, 1);
    p16(48, adobeRgb ? 0xFFFF : 1);
    entry(52, 0xA005, 4, 1);
    p32(60, 68);
    p16(68, 1); // interoperability at 68: its index
    entry(70, 0x0001, 2, 4);
    b.replace(78, 4, adobeRgb ? QByteArray("R03", 4) : QByteArray("R98", 4));
    return b;
}

QByteArray withPngChunk(const QByteArray& png, const char* type, const QByteArray& data)
{
    QList<PngChunk> chunks = pngChunks(png);
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        if (chunks[i].type == "IDAT") {
            chunks.insert(i, PngChunk{type, data});
            break;
        }
    }
    return pngFile(chunks);
}

QByteArray webp(const QImage& image, const QByteArray& exif, const QByteArray& icc)
{
    QImage plain = image;
    plain.setColorSpace(QColorSpace());                    // else Qt writes the extended layout itself
    const QByteArray simple = encoded(plain, "webp", 100); // RIFF, size, WEBP, one image chunk
    const auto chunk = [](const char* type, const QByteArray& data) {
        QByteArray c(type, 4);
        char size[4];
        qToLittleEndian(quint32(data.size()), size);
        c.append(size, 4).append(data);
        if (data.size() % 2)
            c.append('\0');
        return c;
    };
    QByteArray vp8x(12, '\0');
    vp8x[0] =
        char((exif.isEmpty() ? 0 : 0x08) | (icc.isEmpty() ? 0 : 0x20) | (image.hasAlphaChannel() ? 0x10 : 0));
    qToLittleEndian(quint32(image.width() - 1), vp8x.data() + 4);  // 24 bits: the fourth byte
    qToLittleEndian(quint32(image.height() - 1), vp8x.data() + 7); // is overwritten or spare
    vp8x.truncate(10);
    QByteArray body = QByteArray("WEBP") + chunk("VP8X", vp8x);
    if (!icc.isEmpty())
        body += chunk("ICCP", icc);
    body += simple.mid(12);
    if (!exif.isEmpty())
        body += chunk("EXIF", exif);
    QByteArray out("RIFF");
    char size[4];
    qToLittleEndian(quint32(body.size()), size);
    return out.append(size, 4).append(body);
}

QByteArray tiffOf(const TiffLayout& layout, const QByteArray& rows)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("made.tif"));
    TIFF* t = TIFFOpen(path.constData(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(layout.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(layout.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(layout.bits));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(layout.samples));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, uint16_t(layout.photometric));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(t, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_LZW));
    TIFFSetField(t, TIFFTAG_XRESOLUTION, layout.xResolution);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, layout.yResolution);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, uint16_t(RESUNIT_INCH));
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, uint16_t(layout.sampleFormat));
    if (!layout.extraSamples.empty())
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(layout.extraSamples.size()), layout.extraSamples.data());
    if (!layout.icc.isEmpty())
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(layout.icc.size()), layout.icc.constData());
    const qsizetype stride = rows.size() / layout.height;
    QByteArray row(stride, '\0');
    for (int y = 0; y < layout.height; ++y) {
        row = rows.mid(y * stride, stride);
        TIFFWriteScanline(t, row.data(), uint32_t(y), 0);
    }
    TIFFClose(t);
    QFile f(dir.filePath("made.tif"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QRgb inSrgb(QRgb stored, const QColorSpace& space)
{
    return space.transformationToColorSpace(QColorSpace::SRgb).map(stored);
}

} // namespace kinds
