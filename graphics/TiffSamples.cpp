#include "graphics/TiffSamples.h"

#include "core/SealedMapping.h"
#include "graphics/ContainerDamage.h"
#include "graphics/DecoderMessages.h"
#include "graphics/PictureError.h"
#include "graphics/PictureLimits.h"
#include "graphics/PictureBands.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <memory>

#include <tiffio.h>

namespace {

// A file in memory for libtiff: read from `data`, or written into `out`.
struct MemoryFile {
    const QByteArray* data = nullptr;
    QByteArray* out = nullptr;
    toff_t at = 0;

    qint64 size() const { return out ? out->size() : data->size(); }
    const char* bytes() const { return out ? out->constData() : data->constData(); }
};

tmsize_t readProc(thandle_t h, void* buffer, tmsize_t n)
{
    auto* f = static_cast<MemoryFile*>(h);
    const qint64 left = std::max<qint64>(0, f->size() - qint64(f->at));
    const qint64 count = std::min<qint64>(left, n);
    if (count > 0)
        std::memcpy(buffer, f->bytes() + f->at, std::size_t(count));
    f->at += toff_t(count);
    return tmsize_t(count);
}

tmsize_t writeProc(thandle_t h, void* buffer, tmsize_t n)
{
    auto* f = static_cast<MemoryFile*>(h);
    if (!f->out)
        return -1;
    const qint64 end = qint64(f->at) + n;
    if (end > f->out->size())
        f->out->resize(end, '\0');
    std::memcpy(f->out->data() + f->at, buffer, std::size_t(n));
    f->at = toff_t(end);
    return n;
}

toff_t seekProc(thandle_t h, toff_t offset, int whence)
{
    auto* f = static_cast<MemoryFile*>(h);
    const qint64 base = whence == SEEK_CUR ? qint64(f->at) : whence == SEEK_END ? f->size() : 0;
    const qint64 to = base + qint64(offset);
    if (to < 0)
        return toff_t(-1);
    f->at = toff_t(to);
    return f->at;
}

int closeProc(thandle_t)
{
    return 0;
}

toff_t sizeProc(thandle_t h)
{
    return toff_t(static_cast<MemoryFile*>(h)->size());
}

int mapProc(thandle_t, void**, toff_t*)
{
    return 0;
}

void unmapProc(thandle_t, void*, toff_t) {}

// The bytes themselves as libtiff's mapping: strips are read in place,
// never copied, and only those read are touched.
int inPlaceProc(thandle_t h, void** base, toff_t* size)
{
    auto* f = static_cast<MemoryFile*>(h);
    if (f->out)
        return 0;
    *base = const_cast<char*>(f->data->constData());
    *size = toff_t(f->data->size());
    return 1;
}

int quietHandler(TIFF*, void*, const char*, const char*, va_list)
{
    return 1; // handled: nothing printed
}

struct Closer {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using Tiff = std::unique_ptr<TIFF, Closer>;

Tiff open(MemoryFile& file, const char* mode, bool inPlace = false)
{
    std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)> options(TIFFOpenOptionsAlloc(),
                                                                           TIFFOpenOptionsFree);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(pictureByteLimit()));
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), quietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), quietHandler, nullptr);
    return Tiff(TIFFClientOpenExt("picture", mode, &file, readProc, writeProc, seekProc, closeProc, sizeProc,
                                  inPlace ? inPlaceProc : mapProc, unmapProc, options.get()));
}

[[noreturn]] void cantKeep(const QString& what)
{
    throw PictureError(PictureError::Problem::Unwritable, what);
}

[[noreturn]] void damaged(const QByteArray& data)
{
    const ContainerDamage c = containerDamage(data, PictureFormat::Tiff);
    throw c.damage == PictureDamage::None ? PictureError::corrupt() : PictureError::corrupt(c.reason);
}

// What will be written: the same compression where libtiff can write it
// for these samples, else LZW, which loses nothing.
int writtenCompression(int compression, int bits, int photometric)
{
    switch (compression) {
    case COMPRESSION_NONE:
    case COMPRESSION_LZW:
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_PACKBITS:
        return compression;
    case COMPRESSION_DEFLATE:
        return COMPRESSION_ADOBE_DEFLATE;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
        return bits == 1 && photometric <= PHOTOMETRIC_MINISBLACK ? compression : COMPRESSION_LZW;
    default:
        return COMPRESSION_LZW;
    }
}

void checkLayout(TIFF* t, TiffLayout& l)
{
    uint16_t format = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &format);
    if (format == SAMPLEFORMAT_IEEEFP)
        cantKeep(QStringLiteral("floating-point samples"));
    if (format != SAMPLEFORMAT_UINT)
        cantKeep(QStringLiteral("signed samples"));
    if (l.bitsPerSample != 1 && l.bitsPerSample != 2 && l.bitsPerSample != 4 && l.bitsPerSample != 8 &&
        l.bitsPerSample != 16)
        cantKeep(QStringLiteral("%1-bit samples").arg(l.bitsPerSample));
    switch (l.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_PALETTE:
    case PHOTOMETRIC_SEPARATED:
        break;
    case PHOTOMETRIC_YCBCR:
        cantKeep(QStringLiteral("YCbCr samples"));
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB:
        cantKeep(QStringLiteral("Lab colours"));
    default:
        cantKeep(QStringLiteral("photometric interpretation %1").arg(l.photometric));
    }
    const int colours = l.colourSamples();
    const int needed = l.photometric == PHOTOMETRIC_RGB ? 3 : l.photometric == PHOTOMETRIC_SEPARATED ? colours : 1;
    if (colours < 1 || colours != needed)
        cantKeep(QStringLiteral("%1 colour samples a pixel").arg(colours));
}

void readLayout(TIFF* t, TiffLayout& l)
{
    uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISBLACK, compression = COMPRESSION_NONE,
             predictor = PREDICTOR_NONE, inkSet = INKSET_CMYK, planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(t, TIFFTAG_PREDICTOR, &predictor);
    TIFFGetFieldDefaulted(t, TIFFTAG_INKSET, &inkSet);
    TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
    uint16_t extraCount = 0;
    uint16_t* extras = nullptr;
    if (TIFFGetField(t, TIFFTAG_EXTRASAMPLES, &extraCount, &extras) && extras)
        l.extraSamples.assign(extras, extras + extraCount);
    if ((compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG) && photometric == PHOTOMETRIC_YCBCR) {
        // libjpeg turns them into RGB; the samples written are those.
        TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        photometric = PHOTOMETRIC_RGB;
    }
    l.bitsPerSample = bits;
    l.samplesPerPixel = samples;
    l.photometric = photometric;
    l.inkSet = inkSet;
    l.bigEndian = TIFFIsBigEndian(t) != 0;
    checkLayout(t, l);
    if (planar == PLANARCONFIG_SEPARATE && bits < 8)
        cantKeep(QStringLiteral("separate planes of %1-bit samples").arg(bits));
    l.compression = writtenCompression(compression, bits, photometric);
    const bool differencing = l.compression == COMPRESSION_LZW || l.compression == COMPRESSION_ADOBE_DEFLATE;
    l.predictor = predictor == PREDICTOR_HORIZONTAL && differencing && bits >= 8 ? PREDICTOR_HORIZONTAL
                                                                               : PREDICTOR_NONE;
    if (photometric == PHOTOMETRIC_PALETTE) {
        uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!TIFFGetField(t, TIFFTAG_COLORMAP, &r, &g, &b) || !r || !g || !b)
            throw PictureError::corrupt(QStringLiteral("its palette is missing"));
        const std::size_t n = std::size_t(1) << bits;
        for (const uint16_t* channel : {r, g, b})
            l.colourMap.insert(l.colourMap.end(), channel, channel + n);
    }
}

// One block of decoded bytes (a strip or a tile) of `sample` (or all,
// contiguous) into the raster at (x, y), `width` x `rows` pixels of it.
void place(SampleRaster& r, const TiffLayout& l, const std::uint8_t* block, std::size_t blockStride, int x, int y,
           int width, int rows, int sample, bool separate)
{
    const int bpp = l.bitsPerPixel();
    for (int i = 0; i < rows && y + i < r.height(); ++i) {
        const std::uint8_t* in = block + std::size_t(i) * blockStride;
        std::uint8_t* out = r.row(y + i);
        if (!separate) {
            const std::size_t bytes = (std::size_t(width) * std::size_t(bpp) + 7) / 8;
            std::memcpy(out + std::size_t(x) * std::size_t(bpp) / 8, in, bytes);
            continue;
        }
        const int bytesPerSample = l.bitsPerSample / 8;
        for (int px = 0; px < width; ++px)
            std::memcpy(out + (std::size_t(x + px) * std::size_t(l.samplesPerPixel) + std::size_t(sample)) *
                                  std::size_t(bytesPerSample),
                        in + std::size_t(px) * std::size_t(bytesPerSample), std::size_t(bytesPerSample));
    }
}

void readPixels(TIFF* t, const QByteArray& data, SampleRaster& r, const TiffLayout& l)
{
    uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
    const bool separate = planar == PLANARCONFIG_SEPARATE && l.samplesPerPixel > 1;
    const int planes = separate ? l.samplesPerPixel : 1;
    const int width = r.width(), height = r.height();
    if (TIFFIsTiled(t)) {
        uint32_t tw = 0, th = 0;
        TIFFGetField(t, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(t, TIFFTAG_TILELENGTH, &th);
        const tmsize_t size = TIFFTileSize(t);
        if (tw == 0 || th == 0 || size <= 0)
            damaged(data);
        std::vector<std::uint8_t> tile(std::size_t(size), 0);
        const std::size_t stride = std::size_t(TIFFTileRowSize(t));
        for (int s = 0; s < planes; ++s)
            for (uint32_t y = 0; y < uint32_t(height); y += th)
                for (uint32_t x = 0; x < uint32_t(width); x += tw) {
                    if (TIFFReadTile(t, tile.data(), x, y, 0, uint16_t(s)) < 0)
                        damaged(data);
                    place(r, l, tile.data(), stride, int(x), int(y), int(std::min<uint32_t>(tw, uint32_t(width) - x)),
                          int(th), s, separate);
                }
        return;
    }
    uint32_t rowsPerStrip = uint32_t(height);
    TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, uint32_t(height));
    const tmsize_t size = TIFFStripSize(t);
    if (size <= 0)
        damaged(data);
    std::vector<std::uint8_t> strip(std::size_t(size), 0);
    const std::size_t stride = std::size_t(TIFFScanlineSize(t));
    const uint32_t perPlane = (uint32_t(height) + rowsPerStrip - 1) / rowsPerStrip;
    for (int s = 0; s < planes; ++s)
        for (uint32_t i = 0; i < perPlane; ++i) {
            if (TIFFReadEncodedStrip(t, uint32_t(s) * perPlane + i, strip.data(), size) < 0)
                damaged(data);
            place(r, l, strip.data(), stride, 0, int(i * rowsPerStrip), width, int(rowsPerStrip), s, separate);
        }
}

// 16-bit samples between the machine's order, which libtiff speaks, and
// big-endian, which SampleRaster keeps.
void swapSixteen(std::uint8_t* row, std::size_t bytes)
{
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        for (std::size_t i = 0; i + 1 < bytes; i += 2)
            std::swap(row[i], row[i + 1]);
    }
}

} // namespace

int TiffLayout::alphaIndex() const
{
    for (std::size_t i = 0; i < extraSamples.size(); ++i) {
        if (extraSamples[i] == EXTRASAMPLE_ASSOCALPHA || extraSamples[i] == EXTRASAMPLE_UNASSALPHA)
            return int(i);
    }
    return -1;
}

bool TiffLayout::alphaAssociated() const
{
    const int i = alphaIndex();
    return i >= 0 && extraSamples[std::size_t(i)] == EXTRASAMPLE_ASSOCALPHA;
}

SampleRaster readTiffSamples(const QByteArray& data, TiffLayout* layout)
{
    const QuietDecoding quiet;
    MemoryFile file{&data, nullptr, 0};
    const Tiff t = open(file, "rm");
    if (!t)
        damaged(data);
    uint32_t width = 0, height = 0;
    TIFFGetField(t.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t.get(), TIFFTAG_IMAGELENGTH, &height);
    checkPictureSize(width, height);
    readLayout(t.get(), *layout);
    SampleRaster r(int(width), int(height), layout->bitsPerPixel());
    readPixels(t.get(), data, r, *layout);
    if (layout->bitsPerSample == 16) {
        for (int y = 0; y < r.height(); ++y)
            swapSixteen(r.row(y), r.stride());
    }
    return r;
}

QImage cmykTiffImage(const QByteArray& data)
{
    TiffLayout l;
    const SampleRaster r = readTiffSamples(data, &l);
    if (l.photometric != PHOTOMETRIC_SEPARATED || l.inkSet != INKSET_CMYK || l.colourSamples() != 4)
        return QImage();
    const int alpha = l.alphaIndex() < 0 ? -1 : 4 + l.alphaIndex();
    const unsigned full = (1u << l.bitsPerSample) - 1;
    QImage out(r.size(), alpha < 0 ? QImage::Format_RGB32 : (l.alphaAssociated() ? QImage::Format_ARGB32_Premultiplied
                                                                                  : QImage::Format_ARGB32));
    if (out.isNull())
        throw std::bad_alloc();
    const auto eight = [full](unsigned v) { return (v * 255 + full / 2) / full; };
    for (int y = 0; y < r.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < r.width(); ++x) {
            const unsigned black = full - r.sample(x, y, 3, l.bitsPerSample);
            unsigned rgb[3];
            for (int i = 0; i < 3; ++i)
                rgb[i] = eight((full - r.sample(x, y, i, l.bitsPerSample)) * black / full);
            const unsigned a = alpha < 0 ? 255 : eight(r.sample(x, y, alpha, l.bitsPerSample));
            line[x] = qRgba(int(rgb[0]), int(rgb[1]), int(rgb[2]), int(a));
        }
    }
    return out;
}

QByteArray encodeTiffSamples(const SampleRaster& samples, const TiffLayout& l)
{
    const QuietDecoding quiet;
    QByteArray out;
    MemoryFile file{nullptr, &out, 0};
    {
        const Tiff t = open(file, l.bigEndian ? "wbm" : "wlm");
        if (!t)
            throw std::bad_alloc();
        TIFF* w = t.get();
        TIFFSetField(w, TIFFTAG_IMAGEWIDTH, uint32_t(samples.width()));
        TIFFSetField(w, TIFFTAG_IMAGELENGTH, uint32_t(samples.height()));
        TIFFSetField(w, TIFFTAG_BITSPERSAMPLE, uint16_t(l.bitsPerSample));
        TIFFSetField(w, TIFFTAG_SAMPLESPERPIXEL, uint16_t(l.samplesPerPixel));
        TIFFSetField(w, TIFFTAG_PHOTOMETRIC, uint16_t(l.photometric));
        TIFFSetField(w, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
        TIFFSetField(w, TIFFTAG_COMPRESSION, uint16_t(l.compression));
        if (l.predictor != PREDICTOR_NONE)
            TIFFSetField(w, TIFFTAG_PREDICTOR, uint16_t(l.predictor));
        if (!l.extraSamples.empty())
            TIFFSetField(w, TIFFTAG_EXTRASAMPLES, uint16_t(l.extraSamples.size()), l.extraSamples.data());
        if (l.photometric == PHOTOMETRIC_SEPARATED)
            TIFFSetField(w, TIFFTAG_INKSET, uint16_t(l.inkSet));
        if (l.photometric == PHOTOMETRIC_PALETTE) {
            const std::size_t n = l.colourMap.size() / 3;
            TIFFSetField(w, TIFFTAG_COLORMAP, l.colourMap.data(), l.colourMap.data() + n, l.colourMap.data() + 2 * n);
        }
        TIFFSetField(w, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(w, 0));
        std::vector<std::uint8_t> row(samples.stride());
        for (int y = 0; y < samples.height(); ++y) {
            std::memcpy(row.data(), samples.row(y), row.size());
            if (l.bitsPerSample == 16)
                swapSixteen(row.data(), row.size());
            if (TIFFWriteScanline(w, row.data(), uint32_t(y), 0) < 0)
                throw PictureError(PictureError::Problem::Unwritable, QStringLiteral("its TIFF layout"));
        }
    }
    return out;
}

QImage decodeTiffBand(const QByteArray& data, QRect* band, int denom)
{
    const auto none = [band] {
        *band = QRect();
        return QImage();
    };
    MemoryFile file{&data};
    const Tiff t = open(file, "r", true);
    char why[1024];
    if (!t || !TIFFRGBAImageOK(t.get(), why))
        return none();
    TIFFRGBAImage img{};
    if (!TIFFRGBAImageBegin(&img, t.get(), 0, why))
        return none();
    const std::unique_ptr<TIFFRGBAImage, decltype(&TIFFRGBAImageEnd)> ending(&img, TIFFRGBAImageEnd);
    const QSize stored(int(img.width), int(img.height));
    if (!pictureSizeAllowed(stored.width(), stored.height()))
        return none();
    // As stored: the picture turns the band upright as it does the whole.
    img.req_orientation = img.orientation;
    BlockMeans means(stored, band, denom, img.alpha != 0, true);
    if (means.image.isNull())
        return none();
    // Whole strips or tiles at a time, never more than a few megabytes.
    std::uint32_t along = 0;
    if (!TIFFGetField(t.get(), TIFFIsTiled(t.get()) ? TIFFTAG_TILELENGTH : TIFFTAG_ROWSPERSTRIP, &along))
        along = std::uint32_t(stored.height()); // one strip
    const int left = band->left() * denom;
    const int width = std::min((band->right() + 1) * denom, stored.width()) - left;
    const int most = std::max(1, (8 << 20) / (4 * width));
    const int rows = std::clamp(int(std::min<std::uint32_t>(along, std::uint32_t(stored.height()))), 1, most);
    std::vector<std::uint32_t> raster(std::size_t(width) * std::size_t(rows));
    for (int y = means.firstRow(); y < means.endRow(); y += rows) {
        const int n = std::min(rows, means.endRow() - y);
        img.row_offset = y;
        img.col_offset = left;
        if (!TIFFRGBAImageGet(&img, raster.data(), std::uint32_t(width), std::uint32_t(n)))
            return none();
        for (int r = 0; r < n; ++r)
            means.take(y + r, reinterpret_cast<const std::uint8_t*>(raster.data() + std::size_t(r) * width), left);
        // The strips passed need not stay resident where the file is mapped.
        SealedMapping::letGo(data.constData(), data.constData() + data.size());
    }
    return means.image;
}
