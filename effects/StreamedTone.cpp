#include "effects/StreamedTone.h"

#include "core/AtomicFile.h"
#include "core/Errors.h"
#include "core/JobRunner.h"
#include "core/RegularFile.h"
#include "core/SealedBuffer.h"
#include "effects/PictureWrite.h"
#include "effects/ToneEffects.h"
#include "graphics/BmpCodec.h"
#include "graphics/ExifThumbnail.h"
#include "core/UniqueFd.h"
#include "graphics/JpegStream.h"
#include "graphics/KeptMetadata.h"
#include "graphics/PictureError.h"
#include "graphics/PictureLoaders.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <optional>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kBandRows = 32;
constexpr int kSlots = 4; // bands decoded ahead of the encoder, at most

using Values = EffectValues;

// The file's bands decoded ahead on a worker of their own, `fill(band,
// buffer)` for each in turn and then `finish()`, at most kSlots ahead of
// the caller, who takes them in the same order.
class BandsAhead {
public:
    BandsAhead(int bands, std::size_t bandBytes, std::function<void(int, std::uint8_t*)> fill,
               std::function<void()> finish)
        : m_bands(bands), m_bandBytes(bandBytes), m_buffers(std::size_t(kSlots) * bandBytes),
          m_fill(std::move(fill)), m_finish(std::move(finish))
    {
        while (m_submitted <= m_bands && m_submitted < kSlots)
            submitNext();
    }
    // The next band, once decoded; rethrows the decoder's failure.
    std::uint8_t* next()
    {
        m_decoder.waitFor(m_tickets.front());
        return slot(m_taken);
    }
    // Frees the band's buffer for the one kSlots further on.
    void release()
    {
        m_tickets.pop_front();
        ++m_taken;
        if (m_submitted <= m_bands)
            submitNext();
    }
    // Waits for the decoder to finish the file.
    void done() { m_decoder.waitFor(m_tickets.back()); }

private:
    std::uint8_t* slot(int band) { return m_buffers.data() + std::size_t(band % kSlots) * m_bandBytes; }
    // Band m_submitted, or after the last band the end of the file.
    void submitNext()
    {
        const int b = m_submitted++;
        m_tickets.push_back(m_decoder.submit(
            [this, b](const JobRunner::StopFlag&) -> JobRunner::Delivery {
                // A decoder that failed is not asked again.
                if (m_broken)
                    return {};
                try {
                    if (b < m_bands)
                        m_fill(b, slot(b));
                    else
                        m_finish();
                } catch (...) {
                    m_broken = true;
                    throw;
                }
                return {};
            },
            {}));
    }

    const int m_bands;
    const std::size_t m_bandBytes;
    std::vector<std::uint8_t> m_buffers;
    std::function<void(int, std::uint8_t*)> m_fill;
    std::function<void()> m_finish;
    std::deque<JobRunner::Ticket> m_tickets; // submitted, not yet released
    int m_submitted = 0, m_taken = 0;
    std::atomic<bool> m_broken = false;
    JobRunner m_decoder{1}; // last: its jobs end before the rest goes
};

// A picture file read a band of rows at a time. Rows come in file order:
// a band of a bottom-up bitmap holds its lowest row first.
struct Source {
    int width = 0, height = 0;
    std::ptrdiff_t stride = 0; // of a band's rows
    bool bottomUp = false;
    std::function<void(int y0, int rows, std::uint8_t* band)> read;
    std::function<void()> finish = [] {};
};

[[noreturn]] void cannotRead(const QString& path, int err)
{
    throw AppError(msg::cannotOpen(path, QString::fromLocal8Bit(std::strerror(err))));
}

bool readAt(int fd, std::uint8_t* p, std::size_t n, off_t at, std::size_t* got)
{
    const qint64 k = readFullyAt(fd, p, qint64(n), qint64(at));
    *got = std::size_t(std::max<qint64>(k, 0));
    return k >= 0;
}

// A JPEG's rows in file order from a loader held for the file, which
// keeps its decoder from one band to the next. The rows come in memory
// made here once and sent along with each request: fresh memory for every
// band cost more than the decode. The loader may write it at any time, so
// only pixels are read from it, each band copied out before the next ask.
class LoaderRows {
public:
    explicit LoaderRows(const Picture& jpeg) : m_jpeg(jpeg), m_source(jpeg.loaderSource()) {}
    ~LoaderRows()
    {
        if (m_rows)
            ::munmap(m_rows, size_t(m_rowsBytes));
    }
    LoaderRows(const LoaderRows&) = delete;
    LoaderRows& operator=(const LoaderRows&) = delete;
    // False, having read nothing, where the loader has no band decode of
    // the file (CMYK inks).
    bool start(int bandRows)
    {
        m_firstRows = std::min(bandRows, m_jpeg.height());
        return ask(0, m_firstRows);
    }
    // Rows from `y0` on, the next in the file after those read before.
    void read(int y0, int n, std::uint8_t* band, std::ptrdiff_t stride)
    {
        const bool asked = y0 == 0 && std::exchange(m_firstRows, 0) == n;
        if (!asked && !ask(y0, n))
            throw AppError(msg::readerStopped(m_jpeg.fileName(), QStringLiteral("its answer was not valid")));
        const qint64 from = Bitmap24::strideFor(m_jpeg.width());
        for (int i = 0; i < n; ++i)
            std::memcpy(band + i * stride, m_rows + i * from, std::size_t(m_jpeg.width()) * 3);
    }
    PictureDamage damage() const noexcept { return m_damage; }

private:
    // Memory for `bytes` of rows, mapped here read-only.
    void hold(qint64 bytes)
    {
        if (bytes <= m_rowsBytes)
            return;
        if (m_rows)
            ::munmap(m_rows, size_t(m_rowsBytes));
        m_rows = nullptr;
        m_rowsBytes = 0;
        m_memory = SealedBuffer::toGive(bytes);
        void* at = m_memory.isValid() ? ::mmap(nullptr, size_t(bytes), PROT_READ, MAP_SHARED, m_memory.get(), 0)
                                      : MAP_FAILED;
        if (at == MAP_FAILED)
            throw std::bad_alloc();
        m_rows = static_cast<uchar*>(at);
        m_rowsBytes = bytes;
    }
    // Whether rows came: none only for the first band of a file the
    // loader has no band decode of.
    bool ask(int y0, int n)
    {
        if (!m_source)
            throw AppError(msg::readerStopped(m_jpeg.fileName(), QStringLiteral("it ended")));
        hold(qint64(Bitmap24::strideFor(m_jpeg.width())) * n);
        LoaderRequest request;
        request.task = LoaderTask::Rows;
        request.name = m_jpeg.fileName();
        request.region = QRect(0, y0, m_jpeg.width(), n);
        const LoaderAnswer answer =
            m_loader.ask(m_source->get(), m_jpeg.byteCount(), request, m_memory.get());
        const LoaderReply& r = answer.reply;
        // The rows of the picture the probe saw, or none only for the first.
        if (r.size != m_jpeg.size() || (!r.pixels && y0 != 0))
            throw AppError(msg::readerStopped(request.name, QStringLiteral("its answer was not valid")));
        m_damage = PictureDamage(r.damage);
        // Mid-file the loader holds the file's decoder: no other file may have it.
        const bool last = y0 + n == m_jpeg.height() || !r.pixels;
        m_loader.setReusable(last);
        if (last)
            m_loader.release();
        return r.pixels.has_value();
    }

    Picture m_jpeg;
    std::shared_ptr<const UniqueFd> m_source;
    PictureLoaders::Held m_loader{PictureLoaders::shared()};
    UniqueFd m_memory;
    uchar* m_rows = nullptr;
    qint64 m_rowsBytes = 0;
    int m_firstRows = 0; // rows of the first band, asked by start() and not yet read
    PictureDamage m_damage = PictureDamage::None;
};

// Everything a stream of one file holds open.
struct Input {
    QByteArray jpegBytes;
    Picture jpeg; // for the metadata a JPEG written back keeps
    std::optional<JpegReplacement> kept;
    std::optional<LoaderRows> rows;
    std::optional<RegularFile> file;
    BmpExtras bmpExtras; // a bitmap's resolution, written again
    Source source;
};

// Opens a 24-bit uncompressed bitmap; false for any other kind.
bool openBitmap(const QString& path, Input& input)
{
    RegularFile& file = input.file.emplace(path);
    const std::optional<Bmp24Rows> rows = plainBmp24Rows(file.readHead(1024), file.size());
    if (!rows)
        return false;
    input.bmpExtras = rows->extras;
    Source& s = input.source;
    s.width = rows->width;
    s.height = rows->height;
    s.stride = std::ptrdiff_t(rows->stride);
    s.bottomUp = !rows->topDown;
    const int fd = input.file->fd();
    s.read = [fd, path, r = *rows](int y0, int n, std::uint8_t* band) {
        const qint64 first = r.topDown ? y0 : r.height - y0 - n;
        const std::size_t bytes = std::size_t(n) * std::size_t(r.stride);
        std::size_t got = 0;
        if (!readAt(fd, band, bytes, off_t(r.offset + first * r.stride), &got))
            cannotRead(path, errno);
        // The last row stored may lack its padding.
        std::memset(band + got, 0, bytes - got);
    };
    return true;
}

bool openJpeg(const QString& path, ExifOrientation exif, Input& input, int bandRows)
{
    input.jpegBytes = readWholeFile(path);
    input.jpeg = Picture::fromJpegData(input.jpegBytes, exif, path);
    if (input.jpeg.orientation() != 1)
        return false;
    // Asked of the pool before a loader is held for the rows, so that a
    // pool of one never waits for itself.
    input.kept = keptForReplacement(input.jpeg, input.jpeg.size());
    LoaderRows& rows = input.rows.emplace(input.jpeg);
    if (!rows.start(bandRows))
        return false;
    Source& s = input.source;
    s.width = input.jpeg.width();
    s.height = input.jpeg.height();
    s.stride = std::ptrdiff_t(Bitmap24::strideFor(s.width));
    s.read = [&rows, stride = s.stride](int y0, int n, std::uint8_t* band) { rows.read(y0, n, band, stride); };
    return true;
}

// Runs the bands through the chain in the order `bottomUp` asks, handing
// each to `put` as image rows (row i at `rows + i * stride`).
void streamBands(const Source& src, bool bottomUp, const Values& values, NoiseGenerator& random,
                 const std::function<void(const std::uint8_t* rows, std::ptrdiff_t stride, int n)>& put)
{
    const int w = src.width, h = src.height;
    const int bands = (h + kBandRows - 1) / kBandRows;
    auto bandStart = [&](int b) { return bottomUp ? std::max(0, h - (b + 1) * kBandRows) : b * kBandRows; };
    auto bandRows = [&](int b) {
        return bottomUp ? h - b * kBandRows - bandStart(b) : std::min(kBandRows, h - b * kBandRows);
    };
    const std::size_t bandBytes = std::size_t(kBandRows) * std::size_t(src.stride);
    BandsAhead pipe(
        bands, bandBytes, [&](int b, std::uint8_t* band) { src.read(bandStart(b), bandRows(b), band); },
        src.finish);

    const ToneBands tone(ToneSettings{values});
    // The noise the engine would draw: the first of its step that is set.
    const EffectInfo* noisy = nullptr;
    for (const EffectInfo& info : kEffectTable)
        if (!noisy && info.step == EffectStep::Noise && values[std::size_t(info.effect)] >= 1)
            noisy = &info;
    const int level = noisy ? values[std::size_t(noisy->effect)] : 0;
    const std::uint64_t drawsPerRow = noisy ? std::uint64_t(w) * std::uint64_t(noisy->drawsPerPixel) : 0;
    const NoiseGenerator start = random;
    Bitmap24 noise;
    std::vector<std::uint8_t> out(bandBytes); // its row padding stays zero
    for (int b = 0; b < bands; ++b) {
        const int y0 = bandStart(b), n = bandRows(b);
        const std::uint8_t* in = pipe.next();
        // Image row i of the band: flipped when the file holds it bottom-up.
        const std::ptrdiff_t inStep = src.bottomUp ? -src.stride : src.stride;
        const std::uint8_t* inRows = src.bottomUp ? in + (n - 1) * src.stride : in;
        const std::ptrdiff_t outStep = bottomUp ? -src.stride : src.stride;
        std::uint8_t* outRows = bottomUp ? out.data() + (n - 1) * src.stride : out.data();
        if (noisy) {
            // The pattern's rows as a whole-picture fill draws them.
            if (noise.height() != n)
                noise = Bitmap24(w, n);
            random = start;
            random.skip(std::uint64_t(y0) * drawsPerRow);
            noisy->noise(noise, level, random);
        }
        tone.render(inRows, inStep, noisy ? noise.bits() : nullptr, noise.stride(), outRows, outStep, w, n);
        pipe.release();
        put(outRows, outStep, n);
    }
    pipe.done();
    random = start;
    random.skip(std::uint64_t(h) * drawsPerRow);
}

} // namespace

bool tonePipelineStreams(const Values& values)
{
    for (const EffectInfo& info : kEffectTable)
        if (info.step == EffectStep::Source && values[std::size_t(info.effect)] > 0)
            return false;
    return true;
}

namespace {

bool renderStreamed(const QString& in, const QString& out, const Values& values, ExifOrientation exif,
                    NoiseGenerator& random, const std::function<void()>& beforeCommit)
{
    // What the file holds; a new file is made in the kind its name says.
    const PictureFileKind from = pictureFileKind(in);
    const PictureFileKind to = out == in ? from : pictureFileKindOfName(out);
    const auto streams = [](PictureFileKind k) {
        return k == PictureFileKind::Bitmap || k == PictureFileKind::Jpeg;
    };
    // A JPEG's rows come top-down only; a BMP is written bottom-up.
    if (!tonePipelineStreams(values) || !streams(to) || !streams(from) ||
        (from == PictureFileKind::Jpeg && to == PictureFileKind::Bitmap))
        return false;
    Input input;
    if (!(from == PictureFileKind::Bitmap ? openBitmap(in, input) : openJpeg(in, exif, input, kBandRows)))
        return false;
    const Source& src = input.source;

    // A damaged JPEG is found out only once its last band is read.
    const auto refuseDamaged = [&] {
        if (input.rows && input.rows->damage() != PictureDamage::None)
            throw AppError(msg::pictureDamaged(in, damageReason(input.rows->damage())));
    };
    if (to == PictureFileKind::Jpeg) {
        const QSize size(src.width, src.height);
        const JpegReplacement keep = input.kept ? *input.kept : keptForReplacement(input.jpeg, size);
        ThumbnailSampler thumbnail(size, keep.thumbnail);
        QByteArray bytes;
        JpegBandWriter writer(size, 90, keep.metadata, bytes);
        int y = 0;
        streamBands(src, false, values, random, [&](const std::uint8_t* rows, std::ptrdiff_t stride, int n) {
            writer.write(rows, stride, n);
            thumbnail.addRows(y, rows, stride, n);
            y += n;
        });
        writer.finish();
        refuseDamaged();
        if (!thumbnail.isNull())
            bytes = withNewThumbnail(input.jpeg, bytes, thumbnail.result());
        if (beforeCommit)
            beforeCommit();
        writeFileAtomically(out, bytes);
        return true;
    }
    const QByteArray headers = bmp24Headers(src.width, src.height, input.bmpExtras);
    writeFileAtomically(out, [&](const ByteSink& put) {
        put(headers.constData(), headers.size());
        // A band's rows come bottom-up in memory, so the band is one run of
        // file bytes starting at its lowest row.
        streamBands(src, true, values, random, [&](const std::uint8_t* rows, std::ptrdiff_t stride, int n) {
            put(reinterpret_cast<const char*>(rows + (n - 1) * stride), qint64(n) * -stride);
        });
        refuseDamaged();
        if (beforeCommit)
            beforeCommit();
    });
    return true;
}

} // namespace

bool renderFileStreamed(const QString& in, const QString& out, const Values& values, ExifOrientation exif,
                        NoiseGenerator& random, const std::function<void()>& beforeCommit)
{
    return namingFile(in, [&] { return renderStreamed(in, out, values, exif, random, beforeCommit); });
}
