#include "graphics/AnimatedPicture.h"

#include "core/RegularFile.h"
#include "graphics/Bitmap24.h"
#include "graphics/PictureError.h"
#include "graphics/PngChunks.h"

#include <QBuffer>
#include <QImageReader>
#include <QLibrary>
#include <QPainter>

#include <webp/demux.h>

#include <cerrno>
#include <climits>
#include <unistd.h>
#include <vector>

namespace {

void checkCanvas(QSize canvas)
{
    if (canvas.isEmpty())
        throw PictureError::corrupt();
    if (!Bitmap24::sizeAllowed(canvas.width(), canvas.height()))
        throw PictureError::tooLarge(canvas.width(), canvas.height());
}

// GIF: Qt's reader composes each frame on the canvas itself.
class PluginAnimation : public AnimatedPicture {
public:
    PluginAnimation(const QByteArray& bytes, const char* format) : m_bytes(bytes)
    {
        m_buffer.setBuffer(&m_bytes);
        m_buffer.open(QIODevice::ReadOnly);
        m_reader.setDevice(&m_buffer);
        m_reader.setFormat(format);
        m_reader.setDecideFormatFromContent(false);
        m_reader.setAutoDetectImageFormat(false);
        m_canvas = m_reader.size();
        m_frames = std::max(0, m_reader.imageCount());
        // Qt counts the repeats after the first play; -1: forever.
        const int loops = m_reader.loopCount();
        m_plays = loops < 0 ? 0 : loops + 1;
    }

protected:
    std::optional<AnimationFrame> read() override
    {
        if (nextIndex() >= m_frames)
            return std::nullopt;
        QImage image = m_reader.read();
        if (image.isNull() || image.size() != m_canvas)
            throw PictureError::endsEarly();
        return AnimationFrame{std::move(image), m_reader.nextImageDelay()};
    }

private:
    QByteArray m_bytes;
    QBuffer m_buffer;
    QImageReader m_reader;
};

#define PV_WEBP_FUNCTIONS(F)                                                                                 \
    F(WebPAnimDecoderOptionsInitInternal)                                                                    \
    F(WebPAnimDecoderNewInternal)                                                                            \
    F(WebPAnimDecoderGetInfo)                                                                                \
    F(WebPAnimDecoderHasMoreFrames)                                                                          \
    F(WebPAnimDecoderGetNext)                                                                                \
    F(WebPAnimDecoderDelete)

struct WebpDemuxLibrary {
#define PV_WEBP_POINTER(name) decltype(&::name) name = nullptr;
    PV_WEBP_FUNCTIONS(PV_WEBP_POINTER)
#undef PV_WEBP_POINTER
    QString failure;
};

WebpDemuxLibrary loadWebpDemuxLibrary()
{
    WebpDemuxLibrary lib;
    QLibrary library(QStringLiteral("webpdemux"), 2);
    if (!library.load()) {
        lib.failure = library.errorString();
        return lib;
    }
#define PV_WEBP_RESOLVE(name)                                                                                \
    lib.name = reinterpret_cast<decltype(lib.name)>(library.resolve(#name));                                 \
    if (!lib.name)                                                                                           \
        lib.failure = library.errorString();
    PV_WEBP_FUNCTIONS(PV_WEBP_RESOLVE)
#undef PV_WEBP_RESOLVE
    return lib;
}

const WebpDemuxLibrary& webpDemux()
{
    static const WebpDemuxLibrary lib = loadWebpDemuxLibrary();
    if (!lib.failure.isEmpty())
        throw PictureError(PictureError::Problem::Unreadable,
                           QStringLiteral("libwebpdemux can't be loaded: %1").arg(lib.failure));
    return lib;
}

// An animated WebP's canvas as its VP8X header tells it; empty for a file
// without one, which holds no animation.
QSize webpCanvas(const QByteArray& bytes)
{
    if (bytes.size() < 30 || !bytes.startsWith("RIFF") || bytes.mid(8, 8) != "WEBPVP8X")
        return QSize();
    const auto* u = reinterpret_cast<const uchar*>(bytes.constData());
    const auto little24 = [u](int at) { return int(u[at] | u[at + 1] << 8 | u[at + 2] << 16); };
    return QSize(little24(24) + 1, little24(27) + 1);
}

// WebP: libwebp's own decoder composes each frame over the bytes as they
// lie in memory (Qt's reader would hold a copy of the whole file).
class WebpAnimation : public AnimatedPicture {
public:
    explicit WebpAnimation(const QByteArray& bytes) : m_bytes(bytes)
    {
        const WebpDemuxLibrary& lib = webpDemux();
        WebPAnimDecoderOptions options;
        if (!lib.WebPAnimDecoderOptionsInitInternal(&options, WEBP_DEMUX_ABI_VERSION))
            throw PictureError::corrupt();
        options.color_mode = MODE_BGRA; // QImage::Format_ARGB32 on this byte order
        options.use_threads = 0;
        const WebPData data{reinterpret_cast<const uint8_t*>(m_bytes.constData()), std::size_t(m_bytes.size())};
        m_dec = lib.WebPAnimDecoderNewInternal(&data, &options, WEBP_DEMUX_ABI_VERSION);
        WebPAnimInfo info;
        // A file cut short, or not whole in another way, shows as the still it starts with.
        if (!m_dec || !lib.WebPAnimDecoderGetInfo(m_dec, &info))
            return;
        m_canvas = QSize(int(info.canvas_width), int(info.canvas_height));
        m_frames = int(std::min<uint32_t>(info.frame_count, INT_MAX));
        m_plays = int(std::min<uint32_t>(info.loop_count, INT_MAX)); // 0: forever, as here
    }
    ~WebpAnimation() override
    {
        if (m_dec)
            webpDemux().WebPAnimDecoderDelete(m_dec);
    }
    WebpAnimation(const WebpAnimation&) = delete;
    WebpAnimation& operator=(const WebpAnimation&) = delete;

protected:
    std::optional<AnimationFrame> read() override
    {
        const WebpDemuxLibrary& lib = webpDemux();
        if (nextIndex() >= m_frames || !lib.WebPAnimDecoderHasMoreFrames(m_dec))
            return std::nullopt;
        uint8_t* pixels = nullptr;
        int endsAt = 0;
        if (!lib.WebPAnimDecoderGetNext(m_dec, &pixels, &endsAt) || !pixels)
            throw PictureError::corrupt();
        // The decoder draws the next frame over this canvas: the frame keeps a copy.
        QImage canvas(pixels, m_canvas.width(), m_canvas.height(), 4 * m_canvas.width(), QImage::Format_ARGB32);
        AnimationFrame frame{canvas.copy(), std::max(0, endsAt - m_endOfLast)};
        if (frame.image.isNull())
            throw std::bad_alloc();
        m_endOfLast = endsAt;
        return frame;
    }

private:
    QByteArray m_bytes; // the decoder reads it in place
    WebPAnimDecoder* m_dec = nullptr;
    int m_endOfLast = 0;
};

// An APNG's bytes, read where a chunk or a frame needs them: from memory,
// or from the file's descriptor so that a long animation is never held whole.
class ByteSource {
public:
    explicit ByteSource(QByteArray bytes) : m_bytes(std::move(bytes)), m_size(m_bytes.size()) {}
    ByteSource(int fd, qint64 size) : m_fd(fd), m_size(size) {}
    qint64 size() const { return m_size; }
    // Fewer bytes where the file ends early.
    QByteArray read(qint64 at, qint64 length) const
    {
        if (m_fd < 0)
            return m_bytes.mid(at, length);
        QByteArray out(length, Qt::Uninitialized);
        out.truncate(qsizetype(std::max<qint64>(0, readFullyAt(m_fd, out.data(), length, at))));
        return out;
    }

private:
    QByteArray m_bytes;
    int m_fd = -1;
    qint64 m_size = 0;
};

quint32 bigEndian32(const char* p)
{
    const auto* u = reinterpret_cast<const uchar*>(p);
    return quint32(u[0]) << 24 | quint32(u[1]) << 16 | quint32(u[2]) << 8 | u[3];
}

quint16 bigEndian16(const char* p)
{
    const auto* u = reinterpret_cast<const uchar*>(p);
    return quint16(u[0] << 8 | u[1]);
}

// APNG: each frame is a small PNG of its own (the file's header with the
// frame's size, its colour chunks and its data), drawn onto the canvas.
class ApngAnimation : public AnimatedPicture {
public:
    enum : quint8 { DisposeNone, DisposeBackground, DisposePrevious };
    enum : quint8 { BlendSource, BlendOver };
    struct Frame {
        QRect rect;
        int delayMs = 0;
        quint8 dispose = DisposeNone;
        quint8 blend = BlendSource;
        // Where its IDAT or fdAT payloads (without the sequence number) lie in the file.
        QList<std::pair<qsizetype, qsizetype>> data;
    };

    // Frames whose chunks were cut off or are out of place are left out,
    // with those after them.
    static std::unique_ptr<AnimatedPicture> open(ByteSource bytes)
    {
        auto a = std::make_unique<ApngAnimation>();
        bool animated = false, defaultSeen = false;
        QByteArray header;
        for (qsizetype at = 8; at + 12 <= bytes.size();) {
            const QByteArray head = bytes.read(at, 8);
            if (head.size() < 8)
                break;
            const quint32 length = bigEndian32(head.constData());
            const QByteArray type = head.mid(4);
            if (length > quint32(bytes.size() - at - 12))
                break;
            const qsizetype start = at + 8;
            at += 12 + qsizetype(length);
            // Frame data stays in the file's bytes until its frame is drawn.
            if (type == "IDAT") {
                defaultSeen = true;
                // Shown only when a frame control came before it.
                if (a->m_list.size() == 1)
                    a->m_list.back().data.append({start, qsizetype(length)});
                continue;
            }
            if (type == "fdAT") {
                if (length > 4 && !a->m_list.empty())
                    a->m_list.back().data.append({start + 4, qsizetype(length) - 4});
                continue;
            }
            // What else matters is small; a large chunk of another kind is skipped unread.
            if (type != "IHDR" && type != "acTL" && type != "fcTL" && type != "IEND" &&
                (defaultSeen || !colourChunk(type)))
                continue;
            const QByteArray data = bytes.read(start, qsizetype(length));
            if (data.size() != qsizetype(length))
                break;
            if (type == "IHDR" && data.size() == 13) {
                header = data;
                a->m_canvas = QSize(int(bigEndian32(data.constData())), int(bigEndian32(data.constData() + 4)));
            } else if (type == "acTL" && data.size() == 8) {
                animated = true;
                a->m_plays = int(std::min<quint32>(bigEndian32(data.constData() + 4), INT_MAX));
            } else if (type == "fcTL" && data.size() == 26) {
                if (!a->addFrame(data))
                    break;
            } else if (type == "IEND") {
                break;
            } else if (!defaultSeen && colourChunk(type)) {
                a->m_colour.append({type, data});
            }
        }
        if (!animated || header.isEmpty())
            return nullptr;
        checkCanvas(a->m_canvas);
        a->m_header = header;
        a->m_bytes = std::move(bytes);
        while (!a->m_list.empty() && a->m_list.back().data.isEmpty())
            a->m_list.pop_back();
        a->m_frames = int(a->m_list.size());
        if (a->m_frames < 2)
            return nullptr;
        return a;
    }

protected:
    std::optional<AnimationFrame> read() override
    {
        const int index = nextIndex();
        if (index >= m_frames)
            return std::nullopt;
        const Frame& f = m_list[std::size_t(index)];
        if (index == 0) {
            m_canvasImage = QImage(m_canvas, QImage::Format_ARGB32_Premultiplied);
            if (m_canvasImage.isNull())
                throw std::bad_alloc();
            m_canvasImage.fill(Qt::transparent);
        } else {
            disposeOf(m_list[std::size_t(index - 1)]);
        }
        if (f.dispose == DisposePrevious && index > 0)
            m_saved = m_canvasImage.copy(f.rect);
        QImage pixels = decodeFrame(f);
        QPainter p(&m_canvasImage);
        p.setCompositionMode(f.blend == BlendOver ? QPainter::CompositionMode_SourceOver
                                                  : QPainter::CompositionMode_Source);
        p.drawImage(f.rect.topLeft(), pixels);
        p.end();
        return AnimationFrame{m_canvasImage, f.delayMs};
    }

private:
    // What each frame's own PNG needs of the file's header chunks.
    static bool colourChunk(const QByteArray& type)
    {
        for (const char* kept : {"PLTE", "tRNS", "gAMA", "cHRM", "sRGB", "iCCP", "sBIT"})
            if (type == kept)
                return true;
        return false;
    }

    bool addFrame(const QByteArray& c)
    {
        const char* d = c.constData();
        Frame f;
        const quint32 w = bigEndian32(d + 4), h = bigEndian32(d + 8), x = bigEndian32(d + 12),
                      y = bigEndian32(d + 16);
        // The canvas is checked after the chunks: here it may be negative.
        if (w == 0 || h == 0 || m_canvas.isEmpty() || quint64(x) + w > quint64(m_canvas.width()) ||
            quint64(y) + h > quint64(m_canvas.height()) || quint8(d[24]) > DisposePrevious ||
            quint8(d[25]) > BlendOver)
            return false;
        f.rect = QRect(int(x), int(y), int(w), int(h));
        const quint16 num = bigEndian16(d + 20), den = bigEndian16(d + 22);
        f.delayMs = int(quint64(num) * 1000 / (den ? den : 100));
        // The first frame has nothing before it to go back to.
        f.dispose = quint8(d[24]) == DisposePrevious && m_list.empty() ? quint8(DisposeBackground) : quint8(d[24]);
        f.blend = quint8(d[25]);
        m_list.push_back(std::move(f));
        return true;
    }

    void disposeOf(const Frame& f)
    {
        if (f.dispose == DisposeNone)
            return;
        QPainter p(&m_canvasImage);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        if (f.dispose == DisposeBackground)
            p.fillRect(f.rect, Qt::transparent);
        else if (!m_saved.isNull())
            p.drawImage(f.rect.topLeft(), m_saved);
        m_saved = QImage();
    }

    QImage decodeFrame(const Frame& f) const
    {
        QByteArray header = m_header;
        const auto put = [&](int at, quint32 v) {
            for (int i = 0; i < 4; ++i)
                header[at + i] = char(v >> (24 - 8 * i));
        };
        put(0, quint32(f.rect.width()));
        put(4, quint32(f.rect.height()));
        QList<PngChunk> chunks{{"IHDR", header}};
        chunks += m_colour;
        for (const auto& [start, length] : f.data)
            chunks.append({"IDAT", m_bytes.read(start, length)});
        chunks.append({"IEND", QByteArray()});
        QImage image = QImage::fromData(pngFile(chunks), "PNG");
        if (image.size() != f.rect.size())
            throw PictureError::corrupt();
        return image;
    }

    ByteSource m_bytes{QByteArray()};
    QByteArray m_header;
    QList<PngChunk> m_colour;
    std::vector<Frame> m_list;
    QImage m_canvasImage;
    QImage m_saved;
};

} // namespace

std::optional<AnimationFrame> AnimatedPicture::next()
{
    std::optional<AnimationFrame> frame = read();
    if (frame)
        ++m_next;
    return frame;
}

std::unique_ptr<AnimatedPicture> AnimatedPicture::open(const QByteArray& bytes, PictureFormat format)
{
    std::unique_ptr<AnimatedPicture> a;
    switch (format) {
    case PictureFormat::Gif: {
        auto plugin = std::make_unique<PluginAnimation>(bytes, "gif");
        if (plugin->frameCount() < 2)
            return nullptr;
        checkCanvas(plugin->canvas());
        a = std::move(plugin);
        break;
    }
    case PictureFormat::WebP: {
        // Checked before the decoder makes its two canvases.
        const QSize canvas = webpCanvas(bytes);
        if (canvas.isEmpty())
            return nullptr;
        checkCanvas(canvas);
        auto webp = std::make_unique<WebpAnimation>(bytes);
        if (webp->frameCount() < 2)
            return nullptr;
        a = std::move(webp);
        break;
    }
    case PictureFormat::Png:
        a = ApngAnimation::open(ByteSource(bytes));
        break;
    case PictureFormat::JpegXl:
        a = openJxlAnimation(bytes);
        break;
    case PictureFormat::Avif:
        a = openAvifAnimation(bytes);
        break;
    default:
        break;
    }
    return a;
}

bool AnimatedPicture::mayHoldFrames(const QByteArray& bytes, PictureFormat format)
{
    switch (format) {
    case PictureFormat::WebP:
        // The extended header's flags: animation is 0x02.
        return !webpCanvas(bytes).isEmpty() && (quint8(bytes.at(20)) & 0x02) != 0;
    case PictureFormat::JpegXl:
        try {
            return openJxlAnimation(bytes) != nullptr;
        } catch (const AppError&) {
            return true; // its reading tells what is wrong
        }
    default:
        return true;
    }
}

std::unique_ptr<AnimatedPicture> AnimatedPicture::openApng(int fd, qint64 size)
{
    return ApngAnimation::open(ByteSource(fd, size));
}
