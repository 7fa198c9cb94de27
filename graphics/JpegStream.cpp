#include "graphics/JpegStream.h"

#include "core/Errors.h"
#include "graphics/ExifMetadata.h"
#include "graphics/ExifThumbnail.h"
#include "graphics/JpegErrorManager.h"
#include "graphics/JpegSegments.h"
#include "graphics/Picture.h"

#include <cstring>

namespace {

using jpegerr::ErrorManager;

// Output straight into a growing QByteArray, 64 KB at a time.
struct ByteArrayDest {
    jpeg_destination_mgr pub;
    QByteArray* out;
    qsizetype used;
};

constexpr qsizetype kChunk = 65536;

void grow(ByteArrayDest& d)
{
    d.out->resize(d.used + kChunk);
    d.pub.next_output_byte = reinterpret_cast<JOCTET*>(d.out->data() + d.used);
    d.pub.free_in_buffer = std::size_t(kChunk);
}

void initDest(j_compress_ptr c)
{
    grow(*reinterpret_cast<ByteArrayDest*>(c->dest));
}

boolean emptyDest(j_compress_ptr c)
{
    auto& d = *reinterpret_cast<ByteArrayDest*>(c->dest);
    d.used += kChunk;
    grow(d);
    return TRUE;
}

void termDest(j_compress_ptr c)
{
    auto& d = *reinterpret_cast<ByteArrayDest*>(c->dest);
    d.out->resize(d.used + kChunk - qsizetype(d.pub.free_in_buffer));
}

} // namespace

struct JpegBandReader::Impl {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_progress_mgr progress{};
    bool created = false;
    ~Impl()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
    [[noreturn]] void fail() const { throw jpegFailure(err.pub.msg_code); }

    bool header(const QByteArray& data)
    {
        cinfo.err = &err.pub;
        jpegerr::installErrorManager(err);
        if (setjmp(err.jump))
            return false;
        created = true;
        jpeg_create_decompress(&cinfo);
        jpegerr::limitDecoder(cinfo, progress);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
                     static_cast<unsigned long>(data.size()));
        jpeg_read_header(&cinfo, TRUE);
        return true;
    }
    bool start()
    {
        if (setjmp(err.jump))
            return false;
        if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK)
            return true;
        cinfo.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&cinfo);
        return true;
    }
    bool rows(std::uint8_t* bits, std::ptrdiff_t stride, int count)
    {
        if (setjmp(err.jump))
            return false;
        for (int i = 0; i < count; ++i) {
            JSAMPROW row = bits + i * stride;
            if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
                std::memset(row, 0, std::size_t(cinfo.output_width) * 3);
        }
        return true;
    }
    bool end()
    {
        if (setjmp(err.jump))
            return false;
        jpeg_finish_decompress(&cinfo);
        return true;
    }
};

JpegBandReader::JpegBandReader(const QByteArray& data) : d(std::make_unique<Impl>())
{
    if (jpegScanCount(data, MaxJpegScans + 1) > MaxJpegScans)
        throw jpegFailure(jpegerr::TooManyScans);
    if (!d->header(data))
        d->fail();
    checkPictureSize(width(), height());
    if (!d->start())
        d->fail();
}

JpegBandReader::~JpegBandReader() = default;

int JpegBandReader::width() const noexcept
{
    return int(d->cinfo.image_width);
}

int JpegBandReader::height() const noexcept
{
    return int(d->cinfo.image_height);
}

PictureDamage JpegBandReader::damage() const noexcept
{
    return d->err.damage;
}

bool JpegBandReader::colour() const noexcept
{
    return d->cinfo.out_color_space == JCS_EXT_BGR;
}

void JpegBandReader::read(std::uint8_t* bits, std::ptrdiff_t stride, int count)
{
    if (!d->rows(bits, stride, count))
        d->fail();
}

void JpegBandReader::finish()
{
    if (!d->end())
        d->fail();
}

struct JpegBandWriter::Impl {
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    ByteArrayDest dest{};
    bool created = false;
    ~Impl()
    {
        if (created)
            jpeg_destroy_compress(&cinfo);
    }
    [[noreturn]] void fail() const { throw jpegFailure(err.pub.msg_code); }

    void marker(int code, const QByteArray& payload)
    {
        jpeg_write_marker(&cinfo, code, reinterpret_cast<const JOCTET*>(payload.constData()),
                          unsigned(payload.size()));
    }
    // The settings and markers of encodeJpeg; BGR rows go in as they are,
    // which libjpeg turns into the same samples as the RGB it is given there.
    bool start(QSize size, int quality, const JpegMetadata& metadata, QByteArray& out)
    {
        cinfo.err = &err.pub;
        jpegerr::installErrorManager(err);
        if (setjmp(err.jump))
            return false;
        created = true;
        jpeg_create_compress(&cinfo);
        dest.pub.init_destination = initDest;
        dest.pub.empty_output_buffer = emptyDest;
        dest.pub.term_destination = termDest;
        dest.out = &out;
        dest.used = out.size();
        cinfo.dest = &dest.pub;
        cinfo.image_width = JDIMENSION(size.width());
        cinfo.image_height = JDIMENSION(size.height());
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&cinfo);
        if (metadata.encoding)
            jpegerr::applyEncoding(cinfo, *metadata.encoding);
        jpeg_set_quality(&cinfo, quality, TRUE);
        cinfo.write_JFIF_header = metadata.ownJfif ? TRUE : FALSE;
        jpeg_start_compress(&cinfo, TRUE);
        for (const JpegSegment& s : metadata.segments)
            marker(s.marker, s.payload);
        return true;
    }
    bool rows(const std::uint8_t* bits, std::ptrdiff_t stride, int count)
    {
        if (setjmp(err.jump))
            return false;
        for (int i = 0; i < count; ++i) {
            JSAMPROW row = const_cast<std::uint8_t*>(bits + i * stride);
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        return true;
    }
    bool end()
    {
        if (setjmp(err.jump))
            return false;
        jpeg_finish_compress(&cinfo);
        return true;
    }
};

JpegBandWriter::JpegBandWriter(QSize size, int quality, const JpegMetadata& metadata, QByteArray& out)
    : d(std::make_unique<Impl>())
{
    if (!d->start(size, quality, metadata, out))
        d->fail();
}

JpegBandWriter::~JpegBandWriter() = default;

void JpegBandWriter::write(const std::uint8_t* bits, std::ptrdiff_t stride, int count)
{
    if (!d->rows(bits, stride, count))
        d->fail();
}

void JpegBandWriter::finish()
{
    if (!d->end())
        d->fail();
}

JpegReplacement jpegReplacement(const Picture& source, QSize size, bool quarterTurn)
{
    JpegReplacement r;
    if (source.kind() != Picture::Kind::Jpeg)
        return r;
    const QList<JpegSegment> found = readJpegSegments(source.data());
    const JpegEncoding encoding = readJpegHeader(source.data()).encoding;
    ExifChanges changes;
    changes.resetOrientation = source.exifOrientation() == ExifOrientation::Apply;
    changes.size = size;
    changes.swapResolution = quarterTurn;
    r.metadata = JpegMetadata{false, keptSegments(found, changes, encoding), encoding};
    const QByteArray exif = segmentPayload(found, JPEG_APP0 + 1, QByteArrayView("Exif\0\0", 6));
    r.thumbnail = newThumbnailSize(exif, size, source.orientation());
    return r;
}

QByteArray withExifThumbnail(const QByteArray& jpeg, const Bitmap24& thumbnail)
{
    ExifChanges changes;
    changes.thumbnail = [&thumbnail](qsizetype budget) { return encodeExifThumbnail(thumbnail, budget); };
    return editJpegMetadata(jpeg, changes);
}
