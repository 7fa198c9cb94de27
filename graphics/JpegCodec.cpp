#include "graphics/JpegCodec.h"

#include "core/RegularFile.h"
#include "graphics/JpegErrorManager.h"
#include "graphics/PictureError.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <cstring>
#include <vector>

#include <unistd.h>

#include <jerror.h>
#include <jpeglib.h>

namespace {

using jpegerr::ErrorManager;
using jpegerr::installErrorManager;

// A file read through its descriptor a buffer at a time, as libjpeg's
// memory source reads its bytes: past the end it warns and makes up an end
// marker, so a truncated file decodes and is marked as it would be.
struct FileSource {
    jpeg_source_mgr pub{};
    JpegFile file;
    qint64 at = 0;
    std::vector<JOCTET> buffer = std::vector<JOCTET>(64 * 1024);

    static void nothing(j_decompress_ptr) {}
    static boolean fill(j_decompress_ptr cinfo)
    {
        auto* s = reinterpret_cast<FileSource*>(cinfo->src);
        const qint64 want = std::min<qint64>(qint64(s->buffer.size()), s->file.size - s->at);
        ssize_t n = 0;
        do
            n = want > 0 ? ::pread(s->file.fd, s->buffer.data(), std::size_t(want), off_t(s->at)) : 0;
        while (n < 0 && errno == EINTR);
        if (n <= 0) {
            WARNMS(cinfo, JWRN_JPEG_EOF);
            s->buffer[0] = 0xFF;
            s->buffer[1] = JPEG_EOI;
            n = 2;
        } else {
            s->at += n;
        }
        s->pub.next_input_byte = s->buffer.data();
        s->pub.bytes_in_buffer = std::size_t(n);
        return TRUE;
    }
    static void skip(j_decompress_ptr cinfo, long count)
    {
        auto* s = reinterpret_cast<FileSource*>(cinfo->src);
        if (count <= 0)
            return;
        if (std::size_t(count) <= s->pub.bytes_in_buffer) {
            s->pub.next_input_byte += count;
            s->pub.bytes_in_buffer -= std::size_t(count);
            return;
        }
        s->at = std::min(s->file.size, s->at + qint64(std::size_t(count) - s->pub.bytes_in_buffer));
        s->pub.bytes_in_buffer = 0;
    }
    void install(j_decompress_ptr cinfo)
    {
        pub.init_source = pub.term_source = nothing;
        pub.fill_input_buffer = fill;
        pub.skip_input_data = skip;
        pub.resync_to_restart = jpeg_resync_to_restart;
        cinfo->src = &pub;
    }
};

// What a decode reads: bytes in memory, or a file read as it goes.
struct Input {
    const QByteArray* bytes = nullptr;
    JpegFile file;
};

struct Decoder {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_progress_mgr progress{};
    FileSource source;
    bool created = false;

    Decoder() { cinfo.err = &err.pub; }
    ~Decoder()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    PictureError error() const { return jpegFailure(err.pub.msg_code); }
};

bool cmykLike(J_COLOR_SPACE space)
{
    return space == JCS_CMYK || space == JCS_YCCK;
}

enum class Markers { None, Exif, All };

// Reads the header and, for a decode (scaleDenom > 0), chooses the output
// colour space and computes the output size.
bool headerStep(Decoder& d, const Input& in, int scaleDenom, Markers markers = Markers::None)
{
    installErrorManager(d.err);
    if (setjmp(d.err.jump))
        return false;
    d.created = true;
    jpeg_create_decompress(&d.cinfo);
    jpegerr::limitDecoder(d.cinfo, d.progress);
    if (in.bytes) {
        jpeg_mem_src(&d.cinfo, reinterpret_cast<const unsigned char*>(in.bytes->constData()),
                     static_cast<unsigned long>(in.bytes->size()));
    } else {
        d.source.file = in.file;
        d.source.install(&d.cinfo);
    }
    if (markers != Markers::None)
        jpeg_save_markers(&d.cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (markers == Markers::All) {
        jpeg_save_markers(&d.cinfo, JPEG_COM, 0xFFFF);
        for (int app = 0; app < 16; ++app)
            jpeg_save_markers(&d.cinfo, JPEG_APP0 + app, 0xFFFF);
    }
    jpeg_read_header(&d.cinfo, TRUE);
    if (scaleDenom > 0) {
        d.cinfo.out_color_space = cmykLike(d.cinfo.jpeg_color_space) ? JCS_CMYK : JCS_EXT_BGR;
        d.cinfo.scale_num = 1;
        d.cinfo.scale_denom = static_cast<unsigned int>(scaleDenom);
        jpeg_calc_output_dimensions(&d.cinfo);
    }
    return true;
}

void cmykToBgr(const std::uint8_t* src, std::uint8_t* dst, unsigned width, bool inverted)
{
    // Adobe writes CMYK inverted: the stored values are already 255 - ink.
    for (unsigned x = 0; x < width; ++x, src += 4, dst += 3) {
        const unsigned c = inverted ? src[0] : 255 - src[0];
        const unsigned m = inverted ? src[1] : 255 - src[1];
        const unsigned y = inverted ? src[2] : 255 - src[2];
        const unsigned k = inverted ? src[3] : 255 - src[3];
        dst[0] = std::uint8_t((y * k + 127) / 255);
        dst[1] = std::uint8_t((m * k + 127) / 255);
        dst[2] = std::uint8_t((c * k + 127) / 255);
    }
}

// Reads `rows` scanlines into `bits`; with `cmykRow` set, rows land there
// first and are converted to blue, green, red. Answers false when `stop`
// asked it to give up.
bool readRows(Decoder& d, std::uint8_t* bits, int stride, std::uint8_t* cmykRow, JDIMENSION rows,
              const std::atomic<bool>* stop)
{
    for (JDIMENSION y = 0; y < rows; ++y) {
        if (stop && (y & 63) == 0 && stop->load(std::memory_order_relaxed))
            return false;
        std::uint8_t* target = bits + std::size_t(y) * std::size_t(stride);
        JSAMPROW row = cmykRow ? cmykRow : target;
        if (jpeg_read_scanlines(&d.cinfo, &row, 1) != 1)
            break;
        if (cmykRow)
            cmykToBgr(cmykRow, target, d.cinfo.output_width, d.cinfo.saw_Adobe_marker);
    }
    return true;
}

bool pixelStep(Decoder& d, std::uint8_t* bits, int stride, std::uint8_t* cmykRow,
               const std::atomic<bool>* stop)
{
    if (setjmp(d.err.jump))
        return false;
    jpeg_start_decompress(&d.cinfo);
    if (readRows(d, bits, stride, cmykRow, d.cinfo.output_height, stop))
        jpeg_finish_decompress(&d.cinfo);
    else
        jpeg_abort_decompress(&d.cinfo);
    return true;
}

// Reads the whole file, which is all the decoder's checks need, at an
// eighth of the size: every block is still decoded, but only its average
// becomes a pixel, and a sequential file needs no frame of memory.
bool scanStep(Decoder& d, JSAMPLE* row)
{
    if (setjmp(d.err.jump))
        return false;
    d.cinfo.scale_num = 1;
    d.cinfo.scale_denom = 8;
    d.cinfo.do_fancy_upsampling = FALSE;
    d.cinfo.out_color_space = cmykLike(d.cinfo.jpeg_color_space) ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(&d.cinfo);
    JSAMPROW rows[1] = {row};
    while (d.cinfo.output_scanline < d.cinfo.output_height)
        jpeg_read_scanlines(&d.cinfo, rows, 1);
    jpeg_finish_decompress(&d.cinfo);
    return true;
}

// Starts a full-scale decode cropped to columns [x, x + width), which
// libjpeg widens to whole blocks.
bool cropStep(Decoder& d, JDIMENSION* x, JDIMENSION* width)
{
    if (setjmp(d.err.jump))
        return false;
    jpeg_start_decompress(&d.cinfo);
    jpeg_crop_scanline(&d.cinfo, x, width);
    return true;
}

// Skips to row `top` and reads `rows` rows; the rest is never decoded.
bool bandStep(Decoder& d, JDIMENSION top, JDIMENSION rows, std::uint8_t* bits, int stride,
              std::uint8_t* cmykRow)
{
    if (setjmp(d.err.jump))
        return false;
    if (top > 0)
        jpeg_skip_scanlines(&d.cinfo, top);
    readRows(d, bits, stride, cmykRow, rows, nullptr);
    jpeg_abort_decompress(&d.cinfo);
    return true;
}

JpegEncoding encodingOf(const jpeg_decompress_struct& cinfo)
{
    JpegEncoding e;
    e.colourSpace = cinfo.jpeg_color_space;
    e.components = cinfo.num_components;
    for (int i = 0; i < cinfo.num_components && i < 4; ++i) {
        e.h[std::size_t(i)] = cinfo.comp_info[i].h_samp_factor;
        e.v[std::size_t(i)] = cinfo.comp_info[i].v_samp_factor;
    }
    e.adobe = cinfo.saw_Adobe_marker;
    return e;
}

struct Encoder {
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    bool created = false;

    Encoder() { cinfo.err = &err.pub; }
    ~Encoder()
    {
        if (created)
            jpeg_destroy_compress(&cinfo);
        std::free(out);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};

bool startsWith(const jpeg_saved_marker_ptr m, const char* tag, std::size_t length)
{
    return m->data_length >= length && std::memcmp(m->data, tag, length) == 0;
}

constexpr char ExifTag[] = "Exif\0"; // with its terminator: "Exif\0\0"

QByteArray firstExif(const jpeg_decompress_struct& cinfo)
{
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && startsWith(m, ExifTag, sizeof ExifTag))
            return QByteArray(reinterpret_cast<const char*>(m->data), qsizetype(m->data_length));
    }
    return QByteArray();
}

void writeMarker(jpeg_compress_struct& cinfo, int marker, const QByteArray& payload)
{
    jpeg_write_marker(&cinfo, marker, reinterpret_cast<const JOCTET*>(payload.constData()),
                      unsigned(payload.size()));
}

// The encoder set up for its input: the file's encoding, quality, markers,
// then the rows `rowAt` gives. Called inside the caller's setjmp frame.
template <typename RowAt>
void compressRows(Encoder& e, int quality, const JpegMetadata& metadata, RowAt rowAt)
{
    jpeg_set_defaults(&e.cinfo);
    if (metadata.encoding)
        jpegerr::applyEncoding(e.cinfo, *metadata.encoding);
    jpeg_set_quality(&e.cinfo, quality, TRUE);
    e.cinfo.write_JFIF_header = metadata.ownJfif ? TRUE : FALSE;
    jpeg_start_compress(&e.cinfo, TRUE);
    for (const JpegSegment& s : metadata.segments)
        writeMarker(e.cinfo, s.marker, s.payload);
    while (e.cinfo.next_scanline < e.cinfo.image_height) {
        // libjpeg only reads the rows it is given.
        JSAMPROW row = const_cast<std::uint8_t*>(rowAt(int(e.cinfo.next_scanline)));
        jpeg_write_scanlines(&e.cinfo, &row, 1);
    }
    jpeg_finish_compress(&e.cinfo);
}

bool encodeStep(Encoder& e, const Bitmap24& bitmap, int quality, const JpegMetadata& metadata)
{
    installErrorManager(e.err);
    if (setjmp(e.err.jump))
        return false;
    e.created = true;
    jpeg_create_compress(&e.cinfo);
    jpeg_mem_dest(&e.cinfo, &e.out, &e.outSize);
    e.cinfo.image_width = JDIMENSION(bitmap.width());
    e.cinfo.image_height = JDIMENSION(bitmap.height());
    e.cinfo.input_components = 3;
    // The bitmap's own byte order: its rows go in as they are.
    e.cinfo.in_color_space = JCS_EXT_BGR;
    compressRows(e, quality, metadata, [&](int y) { return bitmap.scanLine(y); });
    return true;
}

bool encodeSamplesStep(Encoder& e, const SampleRaster& samples, int quality, const JpegMetadata& metadata)
{
    installErrorManager(e.err);
    if (setjmp(e.err.jump))
        return false;
    e.created = true;
    jpeg_create_compress(&e.cinfo);
    jpeg_mem_dest(&e.cinfo, &e.out, &e.outSize);
    e.cinfo.image_width = JDIMENSION(samples.width());
    e.cinfo.image_height = JDIMENSION(samples.height());
    e.cinfo.input_components = metadata.encoding->components;
    e.cinfo.in_color_space = e.cinfo.input_components == 1 ? JCS_GRAYSCALE
                             : e.cinfo.input_components == 4 ? JCS_CMYK
                                                             : JCS_RGB;
    compressRows(e, quality, metadata, [&](int y) { return samples.row(y); });
    return true;
}

// Every row into `samples`, in the file's own colour space (CMYK as stored).
bool samplesStep(Decoder& d, SampleRaster& samples)
{
    if (setjmp(d.err.jump))
        return false;
    jpeg_start_decompress(&d.cinfo);
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        JSAMPROW row = samples.row(int(d.cinfo.output_scanline));
        if (jpeg_read_scanlines(&d.cinfo, &row, 1) != 1)
            break;
    }
    jpeg_finish_decompress(&d.cinfo);
    return true;
}

// The decoder's coefficients and saved markers written again by `out`, which
// shares the decoder's error manager.
bool recodeStep(Decoder& d, Encoder& out)
{
    if (setjmp(d.err.jump))
        return false;
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&d.cinfo);
    out.cinfo.err = &d.err.pub;
    out.created = true;
    jpeg_create_compress(&out.cinfo);
    jpeg_mem_dest(&out.cinfo, &out.out, &out.outSize);
    jpeg_copy_critical_parameters(&d.cinfo, &out.cinfo);
    out.cinfo.optimize_coding = TRUE;
    // The source's own JFIF and Adobe markers come with the others below.
    out.cinfo.write_JFIF_header = FALSE;
    out.cinfo.write_Adobe_marker = FALSE;
    jpeg_write_coefficients(&out.cinfo, coefficients);
    for (jpeg_saved_marker_ptr m = d.cinfo.marker_list; m; m = m->next)
        jpeg_write_marker(&out.cinfo, m->marker, m->data, m->data_length);
    jpeg_finish_compress(&out.cinfo);
    jpeg_finish_decompress(&d.cinfo);
    return true;
}

bool sameTable(const JHUFF_TBL* a, const JHUFF_TBL* b)
{
    if (!a || !b || std::memcmp(a->bits, b->bits, sizeof a->bits) != 0)
        return false;
    int symbols = 0;
    for (int i = 1; i <= 16; ++i)
        symbols += a->bits[i];
    return symbols <= 256 && std::memcmp(a->huffval, b->huffval, std::size_t(symbols)) == 0;
}

// Whether each Huffman table the decoder read is the standard one in its
// slot, as jpeg_set_defaults installs them in `standard`.
bool standardTablesStep(Decoder& d, Encoder& standard, bool* result)
{
    if (setjmp(d.err.jump))
        return false;
    standard.cinfo.err = &d.err.pub;
    standard.created = true;
    jpeg_create_compress(&standard.cinfo);
    standard.cinfo.in_color_space = JCS_RGB;
    standard.cinfo.input_components = 3;
    jpeg_set_defaults(&standard.cinfo);
    *result = !d.cinfo.progressive_mode && !d.cinfo.arith_code;
    for (int i = 0; i < NUM_HUFF_TBLS; ++i) {
        if (d.cinfo.dc_huff_tbl_ptrs[i] &&
            !sameTable(d.cinfo.dc_huff_tbl_ptrs[i], standard.cinfo.dc_huff_tbl_ptrs[i]))
            *result = false;
        if (d.cinfo.ac_huff_tbl_ptrs[i] &&
            !sameTable(d.cinfo.ac_huff_tbl_ptrs[i], standard.cinfo.ac_huff_tbl_ptrs[i]))
            *result = false;
    }
    return true;
}

int supportedDenom(int scaleDenom)
{
    if (scaleDenom >= 8)
        return 8;
    if (scaleDenom >= 4)
        return 4;
    return scaleDenom >= 2 ? 2 : 1;
}

// A JPEG whose full-size pixels would pass the limit is refused even for a
// scaled decode: progressive decoding buffers the whole image anyway.
void checkFullSize(const jpeg_decompress_struct& cinfo)
{
    checkPictureSize(cinfo.image_width, cinfo.image_height);
}

// The header read, and the scans counted where there can be more than one:
// more than libjpeg will take is refused before it spends a pass on any of
// them. A sequential file whose first scan holds every component is one
// pass (libjpeg stops at a scan after it), and counting would read all of
// a giant file's bytes once more before its decode.
void open(Decoder& d, const Input& in, int scaleDenom, Markers markers = Markers::None)
{
    if (!headerStep(d, in, scaleDenom, markers))
        throw d.error();
    const bool onePass = !d.cinfo.progressive_mode && d.cinfo.comps_in_scan == d.cinfo.num_components;
    // A file's scans are counted in a copy of it: such a decode holds a
    // frame of coefficients anyway.
    if (!onePass && jpegScanCount(in.bytes ? *in.bytes : readJpegFile(in.file), MaxJpegScans + 1) > MaxJpegScans)
        throw jpegFailure(jpegerr::TooManyScans);
    checkFullSize(d.cinfo);
}

void open(Decoder& d, const QByteArray& data, int scaleDenom, Markers markers = Markers::None)
{
    open(d, Input{&data, {}}, scaleDenom, markers);
}

} // namespace

JpegInfo readJpegHeader(const QByteArray& data)
{
    Decoder d;
    open(d, data, 0, Markers::Exif);
    if (d.cinfo.num_components != 1 && d.cinfo.num_components != 3 && d.cinfo.num_components != 4)
        throw PictureError(PictureError::Problem::Unreadable,
                           QStringLiteral("%1 colour components").arg(d.cinfo.num_components));
    return {int(d.cinfo.image_width), int(d.cinfo.image_height), d.cinfo.num_components, firstExif(d.cinfo),
            encodingOf(d.cinfo)};
}

namespace {

Bitmap24 decodeWhole(const Input& in, int scaleDenom, const std::atomic<bool>* stop, PictureDamage* damage)
{
    Decoder d;
    open(d, in, supportedDenom(scaleDenom));

    Bitmap24 out(int(d.cinfo.output_width), int(d.cinfo.output_height));
    std::vector<std::uint8_t> cmykRow;
    if (d.cinfo.out_color_space == JCS_CMYK)
        cmykRow.resize(std::size_t(d.cinfo.output_width) * 4);
    if (!pixelStep(d, out.bits(), out.stride(), cmykRow.empty() ? nullptr : cmykRow.data(), stop))
        throw d.error();
    if (stop && stop->load())
        return Bitmap24();
    if (damage)
        *damage = d.err.damage;
    return out;
}

} // namespace

Bitmap24 decodeJpeg(const QByteArray& data, int scaleDenom, const std::atomic<bool>* stop,
                    PictureDamage* damage)
{
    return decodeWhole(Input{&data, {}}, scaleDenom, stop, damage);
}

Bitmap24 decodeJpeg(const JpegFile& file, int scaleDenom, const std::atomic<bool>* stop, PictureDamage* damage)
{
    return decodeWhole(Input{nullptr, file}, scaleDenom, stop, damage);
}

PictureDamage scanJpegDamage(const QByteArray& data)
{
    Decoder d;
    open(d, data, 0);
    // An eighth of the width, rounded up, in up to four samples a pixel.
    std::vector<JSAMPLE> row((std::size_t(d.cinfo.image_width) + 7) / 8 * 4);
    if (!scanStep(d, row.data()))
        throw d.error();
    return d.err.damage;
}

namespace {

Bitmap24 decodeBand(const Input& in, QRect* region, int scaleDenom)
{
    Decoder d;
    open(d, in, supportedDenom(scaleDenom));
    const QRect image(0, 0, int(d.cinfo.output_width), int(d.cinfo.output_height));
    const QRect wanted = region->intersected(image);
    *region = wanted;
    if (wanted.isEmpty())
        return Bitmap24();
    // Chroma upsampling blends neighbouring samples, which a cut edge lacks:
    // decode a block's margin around the band so that its pixels are those
    // of a whole decode at the same scale.
    const QRect r = wanted.adjusted(-16, -16, 16, 16).intersected(image);
    JDIMENSION x = JDIMENSION(r.x()), width = JDIMENSION(r.width());
    if (!cropStep(d, &x, &width))
        throw d.error();
    Bitmap24 decoded(int(width), r.height());
    std::vector<std::uint8_t> cmykRow;
    if (d.cinfo.out_color_space == JCS_CMYK)
        cmykRow.resize(std::size_t(width) * 4);
    if (!bandStep(d, JDIMENSION(r.y()), JDIMENSION(r.height()), decoded.bits(), decoded.stride(),
                  cmykRow.empty() ? nullptr : cmykRow.data()))
        throw d.error();
    Bitmap24 out(wanted.width(), wanted.height());
    for (int y = 0; y < out.height(); ++y)
        std::memcpy(out.scanLine(y), decoded.scanLine(wanted.y() - r.y() + y) + 3 * (wanted.x() - int(x)),
                    std::size_t(out.width()) * 3);
    return out;
}

} // namespace

Bitmap24 decodeJpegBand(const QByteArray& data, QRect* region, int scaleDenom)
{
    return decodeBand(Input{&data, {}}, region, scaleDenom);
}

Bitmap24 decodeJpegBand(const JpegFile& file, QRect* region, int scaleDenom)
{
    return decodeBand(Input{nullptr, file}, region, scaleDenom);
}

bool usesStandardHuffmanTables(const QByteArray& data)
{
    Decoder d;
    open(d, data, 0);
    Encoder standard;
    bool result = false;
    if (!standardTablesStep(d, standard, &result))
        throw d.error();
    return result;
}

QByteArray recodeJpegOptimized(const QByteArray& data)
{
    Decoder d;
    open(d, data, 0, Markers::All);
    Encoder e;
    if (!recodeStep(d, e))
        throw d.error();
    return QByteArray(reinterpret_cast<const char*>(e.out), qsizetype(e.outSize));
}

SampleRaster decodeJpegSamples(const QByteArray& data, JpegEncoding* encoding, PictureDamage* damage)
{
    Decoder d;
    open(d, data, 1);
    *encoding = encodingOf(d.cinfo);
    d.cinfo.out_color_space = encoding->components == 1 ? JCS_GRAYSCALE : encoding->cmyk() ? JCS_CMYK : JCS_RGB;
    SampleRaster samples(int(d.cinfo.image_width), int(d.cinfo.image_height), 8 * d.cinfo.num_components);
    if (!samplesStep(d, samples))
        throw d.error();
    if (damage)
        *damage = d.err.damage;
    return samples;
}

QByteArray encodeJpegSamples(const SampleRaster& samples, int quality, const JpegMetadata& metadata)
{
    Encoder e;
    if (!metadata.encoding || metadata.encoding->components * 8 != samples.bitsPerPixel() ||
        !encodeSamplesStep(e, samples, quality, metadata))
        throw PictureError(PictureError::Problem::Unwritable, msg::jpegError(e.err.pub.msg_code));
    return QByteArray(reinterpret_cast<const char*>(e.out), qsizetype(e.outSize));
}

QByteArray encodeJpeg(const Bitmap24& bitmap, int quality, const JpegMetadata& metadata)
{
    // An empty bitmap fails inside libjpeg with its own code.
    Encoder e;
    if (!encodeStep(e, bitmap, quality, metadata))
        throw PictureError(PictureError::Problem::Unwritable, msg::jpegError(e.err.pub.msg_code));
    return QByteArray(reinterpret_cast<const char*>(e.out), qsizetype(e.outSize));
}

int jpegScanCount(const QByteArray& data, int atMost)
{
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype n = data.size();
    int scans = 0;
    qsizetype at = 2;
    while (at + 4 <= n && scans < atMost) {
        if (p[at] != 0xFF)
            return scans; // libjpeg tells what is wrong
        const uchar marker = p[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xD9)
            break;
        at += 2 + (p[at + 2] << 8 | p[at + 3]);
        if (marker != 0xDA)
            continue;
        ++scans;
        // The entropy-coded data runs to the next marker that is neither a
        // stuffed zero nor a restart.
        while (at + 1 < n && !(p[at] == 0xFF && p[at + 1] != 0 && (p[at + 1] < 0xD0 || p[at + 1] > 0xD7))) {
            const void* ff = std::memchr(p + at + 1, 0xFF, std::size_t(n - at - 1));
            at = ff ? static_cast<const uchar*>(ff) - p : n;
        }
    }
    return scans;
}

namespace {

// `count` bytes from `at` (fewer at the file's end).
QByteArray readAt(const JpegFile& file, qint64 at, qint64 count)
{
    QByteArray bytes(qsizetype(std::clamp<qint64>(file.size - at, 0, count)), '\0');
    bytes.truncate(qsizetype(std::max<qint64>(0, readFullyAt(file.fd, bytes.data(), bytes.size(), at))));
    return bytes;
}

} // namespace

QByteArray readJpegFile(const JpegFile& file)
{
    return readAt(file, 0, file.size);
}

QByteArray readJpegHead(const JpegFile& file)
{
    // Far more than any header of markers holds; past it, the whole file.
    constexpr qint64 MostHead = 16 << 20;
    QByteArray head = readAt(file, 0, 2);
    while (head.size() < MostHead) {
        const QByteArray marker = readAt(file, head.size(), 4);
        if (marker.size() < 4 || uchar(marker[0]) != 0xFF)
            break;
        if (uchar(marker[1]) == 0xFF) {
            head += char(0xFF); // fill byte
            continue;
        }
        const qint64 length = uchar(marker[2]) << 8 | uchar(marker[3]);
        const QByteArray segment = readAt(file, head.size(), 2 + length);
        if (segment.size() < 2 + length || length < 2)
            break;
        head += segment;
        if (uchar(marker[1]) == 0xDA) // start of scan
            return head;
    }
    return readJpegFile(file);
}

PictureError jpegFailure(int code)
{
    using P = PictureError::Problem;
    const QString number = msg::jpegError(code);
    switch (code) {
    case JERR_INPUT_EMPTY:
    case JERR_INPUT_EOF:
        return PictureError::endsEarly();
    case JERR_NO_SOI:
        return PictureError::notKind(PictureFormat::Jpeg);
    case JERR_BAD_PRECISION:
        return PictureError(P::Unreadable, QStringLiteral("samples of more than 8 bits; %1").arg(number));
    case JERR_SOF_UNSUPPORTED:
    case JERR_ARITH_NOTIMPL:
    case JERR_NOT_COMPILED:
    case JERR_CONVERSION_NOTIMPL:
    case JERR_COMPONENT_COUNT:
        return PictureError(P::Unreadable, QStringLiteral("a coding process this JPEG decoder lacks; %1").arg(number));
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
    case JERR_NO_BACKING_STORE:
    case JERR_OUT_OF_MEMORY:
        return PictureError(P::TooLarge,
                            QStringLiteral("its coefficients need more than the memory one picture may take; %1")
                                .arg(number));
    case jpegerr::TooManyScans:
        return PictureError(P::Unreadable, QStringLiteral("more than %1 scans").arg(MaxJpegScans));
    default:
        break;
    }
    return PictureError::corrupt(QStringLiteral("its data is corrupt; %1").arg(number));
}
