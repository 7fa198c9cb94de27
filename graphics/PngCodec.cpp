#include "graphics/PngCodec.h"

#include "core/SealedMapping.h"
#include "graphics/PictureError.h"
#include "graphics/PictureLimits.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace png {

namespace {

void quiet(png_structp, png_const_charp) {}

void failed(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// Chunks PngChunks reads, or nobody: libpng need neither inflate nor keep them.
const png_byte Unread[] = "tEXt\0zTXt\0iTXt\0iCCP\0eXIf\0sPLT\0hIST\0tIME\0pCAL\0sCAL\0sTER\0";

// Pushed a block at a time: after the last row at most one block more is
// inflated, however much data follows it.
constexpr qsizetype BlockBytes = 64 * 1024;
constexpr qsizetype LetGoBytes = 4 << 20;

struct Read {
    Progressive& p;
    PngHeader header;
    bool haveHeader = false, wantsRows = true, badHeader = false;
    int lastPass = 0;
    png_uint_32 lastPassRows = 0; // how many rows the last pass hands over
    png_uint_32 rowsOfLastPass = 0;
    bool allRows() const { return haveHeader && rowsOfLastPass >= lastPassRows; }
};

void onInfo(png_structp png, png_infop info)
{
    auto* r = static_cast<Read*>(png_get_progressive_ptr(png));
    PngHeader& h = r->header;
    h.width = int(png_get_image_width(png, info));
    h.height = int(png_get_image_height(png, info));
    h.bitDepth = png_get_bit_depth(png, info);
    h.colourType = png_get_color_type(png, info);
    h.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    r->haveHeader = true;
    r->lastPass = h.interlaced ? PNG_INTERLACE_ADAM7_PASSES - 1 : 0;
    r->lastPassRows = png_uint_32(h.height);
    if (h.interlaced && !r->p.passes) {
        png_set_interlace_handling(png);
    } else if (h.interlaced) {
        // The last pass with pixels: a picture a pixel high or wide has no
        // pixels in some passes, which libpng skips.
        for (int pass = PNG_INTERLACE_ADAM7_PASSES - 1; pass >= 0; --pass) {
            const QPoint first = adam7Pixel(pass, 0, 0), step = adam7Pixel(pass, 1, 1) - first;
            if (first.x() < h.width && first.y() < h.height) {
                r->lastPass = pass;
                r->lastPassRows = png_uint_32((h.height - first.y() + step.y() - 1) / step.y());
                break;
            }
        }
    }
    r->wantsRows = r->p.prepare && r->p.prepare(png, info, h);
    if (!r->wantsRows)
        png_longjmp(png, 2);
    png_start_read_image(png);
}

void onRow(png_structp png, png_bytep row, png_uint_32 y, int pass)
{
    auto* r = static_cast<Read*>(png_get_progressive_ptr(png));
    if (r->p.row)
        r->p.row(png, row, y, pass);
    if (pass == r->lastPass)
        r->rowsOfLastPass = std::max(r->rowsOfLastPass, y + 1);
}

void onEnd(png_structp, png_infop) {}

// Pushes blocks until every row came (or the data ends). Nothing with a
// destructor lives between here and libpng's longjmp.
int push(png_structp png, png_infop info, const QByteArray& data, Read& r)
{
    if (const int jumped = setjmp(png_jmpbuf(png)))
        return jumped;
    for (qsizetype at = 0; at < data.size() && !r.allRows(); at += BlockBytes) {
        if (r.p.stop && r.p.stop->load(std::memory_order_relaxed))
            return 3;
        const qsizetype n = std::min(BlockBytes, data.size() - at);
        png_process_data(png, info, reinterpret_cast<png_bytep>(const_cast<char*>(data.constData() + at)),
                         std::size_t(n));
        // Read once through: a mapped file's pages passed need not stay resident.
        if ((at + n) % LetGoBytes == 0)
            SealedMapping::letGo(data.constData() + at + n - LetGoBytes, data.constData() + at + n);
    }
    return 0;
}

} // namespace

Outcome readProgressively(const QByteArray& data, Progressive& p, PngHeader* header)
{
    if (!data.startsWith("\x89PNG\r\n\x1A\n"))
        return Outcome::NotPng;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failed, quiet);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        throw std::bad_alloc();
    }
    png_set_user_limits(png, 1000000, 1000000);
    png_set_chunk_malloc_max(png, MaxPngChunkBytes);
    png_set_chunk_cache_max(png, MaxPngChunks);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, Unread, int(sizeof Unread / 5));
    png_set_benign_errors(png, 1);
    Read r{p, {}};
    png_set_progressive_read_fn(png, &r, onInfo, onRow, onEnd);
    const int jumped = push(png, info, data, r);
    png_destroy_read_struct(&png, &info, nullptr);
    if (r.haveHeader)
        *header = r.header;
    if (jumped == 2)
        return Outcome::Stopped;
    if (jumped == 3)
        return Outcome::Stopped;
    if (!r.haveHeader)
        return jumped ? Outcome::BadHeader : Outcome::EndsEarly;
    if (jumped)
        return Outcome::Corrupt;
    return r.allRows() ? Outcome::Complete : Outcome::EndsEarly;
}

bool expandToRgba(png_structp png, png_infop info, const PngHeader& header)
{
    const bool alpha = (header.colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    return alpha;
}

} // namespace png

namespace {

using png::Outcome;

PictureError failure(Outcome o)
{
    switch (o) {
    case Outcome::NotPng:
        return PictureError::notKind(PictureFormat::Png);
    case Outcome::BadHeader:
        return PictureError::corrupt(QStringLiteral("its header is corrupt"));
    case Outcome::EndsEarly:
        return PictureError::endsEarly();
    default:
        return PictureError::corrupt();
    }
}

// The header checked against the limits before any pixel memory.
bool withinLimits(const PngHeader& h)
{
    return pictureSizeAllowed(h.width, h.height);
}

// A read that made nothing: no header, a size past the limits, or no
// memory for the pixels.
[[noreturn]] void throwRefusal(Outcome o, const PngHeader& h)
{
    if (h.width == 0)
        throw failure(o == Outcome::Stopped ? Outcome::Corrupt : o);
    checkPictureSize(h.width, h.height);
    if (o == Outcome::Stopped)
        throw std::bad_alloc();
    throw failure(o);
}

// The transformations to the image's format; answers that format.
QImage::Format setTransforms(png_structp png, png_infop info, const PngHeader& h)
{
    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    const bool grey = !(h.colourType & PNG_COLOR_MASK_COLOR) && h.colourType != PNG_COLOR_TYPE_PALETTE;
    const bool alpha = (h.colourType & PNG_COLOR_MASK_ALPHA) || trns;
    png_set_expand(png);
    if (h.bitDepth == 16) {
        png_set_swap(png); // QImage's 16-bit samples are in the machine's order
        if (grey && !alpha)
            return QImage::Format_Grayscale16;
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
        return alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64;
    }
    if (grey && !alpha)
        return QImage::Format_Grayscale8;
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    return alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
}

} // namespace

int PngLayout::channels() const
{
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 1;
    }
}

PngHeader readPngHeader(const QByteArray& data)
{
    png::Progressive p;
    PngHeader h;
    const Outcome o = png::readProgressively(data, p, &h);
    if (o != Outcome::Stopped || h.width == 0)
        throw failure(o);
    checkPictureSize(h.width, h.height);
    return h;
}

QImage decodePng(const QByteArray& data, PictureDamage* damage)
{
    QImage image;
    png::Progressive p;
    p.prepare = [&](png_structp png, png_infop info, const PngHeader& h) {
        if (!withinLimits(h))
            return false;
        image = QImage(h.width, h.height, setTransforms(png, info, h));
        if (image.isNull())
            return false;
        image.fill(Qt::transparent);
        return true;
    };
    p.row = [&](png_structp png, png_bytep row, png_uint_32 y, int) {
        png_progressive_combine_row(png, image.scanLine(int(y)), row);
    };
    PngHeader h;
    const Outcome o = png::readProgressively(data, p, &h);
    if (image.isNull())
        throwRefusal(o, h);
    if (o != Outcome::Complete) {
        if (!damage)
            throw failure(o);
        *damage = o == Outcome::EndsEarly ? PictureDamage::EndsEarly : PictureDamage::Corrupt;
    } else if (damage) {
        *damage = PictureDamage::None;
    }
    return image;
}

SampleRaster readPngSamples(const QByteArray& data, PngLayout* layout)
{
    SampleRaster samples;
    png::Progressive p;
    p.prepare = [&](png_structp png, png_infop info, const PngHeader& h) {
        if (!withinLimits(h))
            return false;
        layout->bitDepth = h.bitDepth;
        layout->colourType = h.colourType;
        layout->interlaced = h.interlaced;
        png_colorp palette = nullptr;
        int entries = 0;
        if (png_get_PLTE(png, info, &palette, &entries) && palette)
            layout->palette = QByteArray(reinterpret_cast<const char*>(palette), qsizetype(entries) * 3);
        png_bytep alphas = nullptr;
        int count = 0;
        png_color_16p key = nullptr;
        if (png_get_tRNS(png, info, &alphas, &count, &key)) {
            if (h.colourType == PNG_COLOR_TYPE_PALETTE && alphas) {
                layout->transparency = QByteArray(reinterpret_cast<const char*>(alphas), count);
            } else if (key) {
                // As stored: two big-endian bytes a sample.
                const std::vector<png_uint_16> values =
                    h.colourType == PNG_COLOR_TYPE_GRAY ? std::vector<png_uint_16>{key->gray}
                                                        : std::vector<png_uint_16>{key->red, key->green, key->blue};
                for (const png_uint_16 v : values)
                    layout->transparency.append(char(v >> 8)).append(char(v & 0xFF));
            }
        }
        samples = SampleRaster(h.width, h.height, layout->bitsPerPixel());
        return true;
    };
    p.row = [&](png_structp png, png_bytep row, png_uint_32 y, int) {
        png_progressive_combine_row(png, samples.row(int(y)), row);
    };
    PngHeader h;
    const Outcome o = png::readProgressively(data, p, &h);
    if (samples.isEmpty())
        throwRefusal(o, h);
    if (o != Outcome::Complete)
        throw failure(o);
    return samples;
}

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

void flushNothing(png_structp) {}

void quietWrite(png_structp, png_const_charp) {}

void failedWrite(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

png_uint_16 keyAt(const QByteArray& trns, int i)
{
    return png_uint_16(uchar(trns[2 * i]) << 8 | uchar(trns[2 * i + 1]));
}

bool writeAll(png_structp png, png_infop info, const SampleRaster& samples, const PngLayout& layout,
              png_bytep* rows, QByteArray* out)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, out, appendBytes, flushNothing);
    png_set_IHDR(png, info, png_uint_32(samples.width()), png_uint_32(samples.height()), layout.bitDepth,
                 layout.colourType, layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.isEmpty())
        png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(layout.palette.constData()),
                     int(layout.palette.size() / 3));
    const QByteArray& trns = layout.transparency;
    if (layout.colourType == PNG_COLOR_TYPE_PALETTE && !trns.isEmpty()) {
        png_set_tRNS(png, info, reinterpret_cast<png_const_bytep>(trns.constData()), int(trns.size()), nullptr);
    } else if (layout.colourType == PNG_COLOR_TYPE_GRAY && trns.size() == 2) {
        png_color_16 key{};
        key.gray = keyAt(trns, 0);
        png_set_tRNS(png, info, nullptr, 0, &key);
    } else if (layout.colourType == PNG_COLOR_TYPE_RGB && trns.size() == 6) {
        png_color_16 key{};
        key.red = keyAt(trns, 0);
        key.green = keyAt(trns, 1);
        key.blue = keyAt(trns, 2);
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    if (layout.interlaced)
        png_set_interlace_handling(png);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

} // namespace

QByteArray encodePngSamples(const SampleRaster& samples, const PngLayout& layout)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, failedWrite, quietWrite);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw std::bad_alloc();
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(samples.height()));
    for (int y = 0; y < samples.height(); ++y)
        rows[std::size_t(y)] = const_cast<png_bytep>(samples.row(y)); // libpng only reads them
    QByteArray out;
    const bool written = writeAll(png, info, samples, layout, rows.data(), &out);
    png_destroy_write_struct(&png, &info);
    if (!written)
        throw PictureError(PictureError::Problem::Unwritable, QStringLiteral("its PNG layout"));
    return out;
}
