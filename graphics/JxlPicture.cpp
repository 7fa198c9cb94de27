#include "graphics/JxlPicture.h"

#include "graphics/AnimatedPicture.h"

#include "graphics/DisplayColors.h"
#include "graphics/PictureError.h"
#include "graphics/PictureLimits.h"

#include <QLibrary>

#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>

#include <climits>
#include <memory>

namespace {

// libjxl is loaded with the first JPEG XL picture rather than at every start.
#define PV_JXL_FUNCTIONS(F)                                                                                  \
    F(JxlDecoderCreate)                                                                                      \
    F(JxlDecoderDestroy)                                                                                     \
    F(JxlDecoderSubscribeEvents)                                                                             \
    F(JxlDecoderSetKeepOrientation)                                                                          \
    F(JxlDecoderSetUnpremultiplyAlpha)                                                                       \
    F(JxlDecoderSetInput)                                                                                    \
    F(JxlDecoderCloseInput)                                                                                  \
    F(JxlDecoderProcessInput)                                                                                \
    F(JxlDecoderGetBasicInfo)                                                                                \
    F(JxlDecoderGetICCProfileSize)                                                                           \
    F(JxlDecoderGetColorAsICCProfile)                                                                        \
    F(JxlDecoderImageOutBufferSize)                                                                          \
    F(JxlDecoderSetImageOutBuffer)                                                                           \
    F(JxlDecoderGetFrameHeader)                                                                              \
    F(JxlDecoderSetParallelRunner)

// Its thread pool, where the library is there: a still decodes on every core.
#define PV_JXL_THREAD_FUNCTIONS(F)                                                                           \
    F(JxlThreadParallelRunner)                                                                               \
    F(JxlThreadParallelRunnerCreate)                                                                         \
    F(JxlThreadParallelRunnerDestroy)                                                                        \
    F(JxlThreadParallelRunnerDefaultNumWorkerThreads)

struct JxlLibrary {
#define PV_JXL_POINTER(name) decltype(&::name) name = nullptr;
    PV_JXL_FUNCTIONS(PV_JXL_POINTER)
    PV_JXL_THREAD_FUNCTIONS(PV_JXL_POINTER)
#undef PV_JXL_POINTER
    // Counted once, as the library loads: counting reads files, which a
    // confined loader may not open.
    size_t workerThreads = 0;
    QString failure;
};

JxlLibrary loadJxlLibrary()
{
    JxlLibrary lib;
    QLibrary library(QStringLiteral("jxl"), QStringLiteral("0.7"));
    if (!library.load()) {
        lib.failure = library.errorString();
        return lib;
    }
#define PV_JXL_RESOLVE(name)                                                                                 \
    lib.name = reinterpret_cast<decltype(lib.name)>(library.resolve(#name));                                 \
    if (!lib.name)                                                                                           \
        lib.failure = library.errorString();
    PV_JXL_FUNCTIONS(PV_JXL_RESOLVE)
#undef PV_JXL_RESOLVE
    // Without it the decodes run on one thread: no failure.
    QLibrary threads(QStringLiteral("jxl_threads"), QStringLiteral("0.7"));
    if (lib.failure.isEmpty() && threads.load()) {
#define PV_JXL_THREAD_RESOLVE(name) lib.name = reinterpret_cast<decltype(lib.name)>(threads.resolve(#name));
        PV_JXL_THREAD_FUNCTIONS(PV_JXL_THREAD_RESOLVE)
#undef PV_JXL_THREAD_RESOLVE
        if (lib.JxlThreadParallelRunnerDefaultNumWorkerThreads)
            lib.workerThreads = lib.JxlThreadParallelRunnerDefaultNumWorkerThreads();
    }
    return lib;
}

// A thread pool for one decode, or none.
using ThreadRunner = std::unique_ptr<void, void (*)(void*)>;
ThreadRunner threadRunner(const JxlLibrary& lib)
{
    if (!lib.JxlThreadParallelRunner || !lib.JxlThreadParallelRunnerCreate || !lib.JxlThreadParallelRunnerDestroy ||
        lib.workerThreads == 0)
        return ThreadRunner(nullptr, [](void*) {});
    return ThreadRunner(lib.JxlThreadParallelRunnerCreate(nullptr, lib.workerThreads), lib.JxlThreadParallelRunnerDestroy);
}

const JxlLibrary& jxl()
{
    static const JxlLibrary lib = loadJxlLibrary();
    if (!lib.failure.isEmpty())
        throw PictureError(PictureError::Problem::Unreadable,
                           QStringLiteral("libjxl can't be loaded: %1").arg(lib.failure));
    return lib;
}

struct Decoded {
    JxlPictureInfo info;
    QImage image;
};

// RGBA bytes read as one word, and that word as 0xAARRGGBB.
constexpr quint32 alphaOfRgbaWord(quint32 w)
{
    return Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? w >> 24 : w & 0xffu;
}

constexpr quint32 argbOfRgbaWord(quint32 w)
{
    return Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? (w & 0xff00ff00u) | ((w >> 16) & 0xffu) | ((w & 0xffu) << 16)
                                           : (w >> 8) | (w << 24);
}

// Turned in place, while the pixels are fresh in memory, into the format
// the window draws, in one pass that also notes whether any pixel lets the
// background through: a scan and then Qt's conversion took 3.7 times as
// long, after the decode, while the picture was waited for. An alpha
// channel that hides nothing is dropped. Only shown, never written, so
// nothing needs the unpremultiplied levels.
void toDrawingFormat(QImage& image, bool alpha)
{
    if (image.format() != QImage::Format_RGBA8888)
        return;
    const int width = image.width();
    quint32 all = 0xffffffffu;
    for (int y = 0; y < image.height(); ++y) {
        auto* words = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            all &= words[x];
            words[x] = argbOfRgbaWord(words[x]);
        }
    }
    if (alpha && alphaOfRgbaWord(all) != 0xffu) {
        image.reinterpretAsFormat(QImage::Format_ARGB32);
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    } else {
        image.reinterpretAsFormat(QImage::Format_RGB32);
    }
}

// Reads up to the colour encoding, and on to the first whole frame when
// `pixels` is asked for.
Decoded decode(const QByteArray& data, bool pixels)
{
    const JxlLibrary& lib = jxl();
    // Made before the decoder, which uses it to its end.
    const ThreadRunner runner = pixels ? threadRunner(lib) : ThreadRunner(nullptr, [](void*) {});
    std::unique_ptr<JxlDecoder, decltype(lib.JxlDecoderDestroy)> dec(lib.JxlDecoderCreate(nullptr),
                                                                     lib.JxlDecoderDestroy);
    if (!dec)
        throw std::bad_alloc();
    if (runner && lib.JxlDecoderSetParallelRunner(dec.get(), lib.JxlThreadParallelRunner, runner.get()) != JXL_DEC_SUCCESS)
        throw PictureError::corrupt();
    const int events = JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | (pixels ? JXL_DEC_FULL_IMAGE : 0);
    if (lib.JxlDecoderSubscribeEvents(dec.get(), events) != JXL_DEC_SUCCESS ||
        lib.JxlDecoderSetKeepOrientation(dec.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        lib.JxlDecoderSetUnpremultiplyAlpha(dec.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        lib.JxlDecoderSetInput(dec.get(), reinterpret_cast<const uint8_t*>(data.constData()),
                               std::size_t(data.size())) != JXL_DEC_SUCCESS)
        throw PictureError::corrupt();
    lib.JxlDecoderCloseInput(dec.get());
    Decoded out;
    JxlBasicInfo basic{};
    JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};
    for (;;) {
        switch (lib.JxlDecoderProcessInput(dec.get())) {
        case JXL_DEC_BASIC_INFO: {
            if (lib.JxlDecoderGetBasicInfo(dec.get(), &basic) != JXL_DEC_SUCCESS)
                throw PictureError::corrupt();
            checkPictureSize(basic.xsize, basic.ysize);
            out.info.stored = QSize(int(basic.xsize), int(basic.ysize));
            out.info.orientation = int(basic.orientation) >= 1 && int(basic.orientation) <= 8
                                       ? int(basic.orientation)
                                       : 1;
            // Grey without alpha stays grey; anything else comes as RGBA.
            if (basic.num_color_channels == 1 && basic.alpha_bits == 0)
                format.num_channels = 1;
            break;
        }
        case JXL_DEC_COLOR_ENCODING: {
            std::size_t size = 0;
            if (lib.JxlDecoderGetICCProfileSize(dec.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) ==
                    JXL_DEC_SUCCESS &&
                size > 0 && size < (std::size_t(1) << 24)) {
                QByteArray icc(qsizetype(size), '\0');
                if (lib.JxlDecoderGetColorAsICCProfile(dec.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                                       reinterpret_cast<uint8_t*>(icc.data()),
                                                       size) == JXL_DEC_SUCCESS)
                    out.info.colorSpace = colorSpaceOfIcc(icc);
                // Only a profile Qt can read goes along, as for other kinds.
                if (out.info.colorSpace.isValid())
                    out.info.icc = icc;
            }
            if (!pixels)
                return out;
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            out.image = QImage(out.info.stored, format.num_channels == 1 ? QImage::Format_Grayscale8
                                                                         : QImage::Format_RGBA8888);
            std::size_t size = 0;
            if (out.image.isNull())
                throw std::bad_alloc();
            if (lib.JxlDecoderImageOutBufferSize(dec.get(), &format, &size) != JXL_DEC_SUCCESS ||
                size > std::size_t(out.image.sizeInBytes()) ||
                lib.JxlDecoderSetImageOutBuffer(dec.get(), &format, out.image.bits(), size) != JXL_DEC_SUCCESS)
                throw PictureError::corrupt();
            break;
        }
        case JXL_DEC_FULL_IMAGE: // the first frame: an animation's still
            toDrawingFormat(out.image, basic.alpha_bits > 0);
            return out;
        case JXL_DEC_SUCCESS:
            if (pixels && out.image.isNull())
                throw PictureError::corrupt();
            toDrawingFormat(out.image, basic.alpha_bits > 0);
            return out;
        case JXL_DEC_NEED_MORE_INPUT:
            throw PictureError::endsEarly();
        default:
            throw PictureError::corrupt();
        }
    }
}

} // namespace

JxlPictureInfo readJxlPictureInfo(const QByteArray& data)
{
    return decode(data, false).info;
}

QImage decodeJxlPicture(const QByteArray& data)
{
    return decode(data, true).image;
}

namespace {

// libjxl composes each shown frame on the canvas (its default coalescing)
// and turns it upright; the decoder keeps its place between frames.
class JxlAnimation : public AnimatedPicture {
public:
    explicit JxlAnimation(const QByteArray& bytes)
        : m_bytes(bytes), m_dec(jxl().JxlDecoderCreate(nullptr), jxl().JxlDecoderDestroy)
    {
        const JxlLibrary& lib = jxl();
        if (!m_dec)
            throw std::bad_alloc();
        if (lib.JxlDecoderSubscribeEvents(m_dec.get(), JXL_DEC_BASIC_INFO | JXL_DEC_FRAME |
                                                           JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
            lib.JxlDecoderSetUnpremultiplyAlpha(m_dec.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
            lib.JxlDecoderSetInput(m_dec.get(), reinterpret_cast<const uint8_t*>(m_bytes.constData()),
                                   std::size_t(m_bytes.size())) != JXL_DEC_SUCCESS)
            throw PictureError::corrupt();
        lib.JxlDecoderCloseInput(m_dec.get());
        if (lib.JxlDecoderProcessInput(m_dec.get()) != JXL_DEC_BASIC_INFO ||
            lib.JxlDecoderGetBasicInfo(m_dec.get(), &m_basic) != JXL_DEC_SUCCESS)
            throw PictureError::corrupt();
        checkPictureSize(m_basic.xsize, m_basic.ysize);
        m_canvas = QSize(int(m_basic.xsize), int(m_basic.ysize));
        if (m_basic.orientation > JXL_ORIENT_ROTATE_180)
            m_canvas.transpose();
        m_plays = int(std::min<uint32_t>(m_basic.animation.num_loops, INT_MAX));
    }

    bool animated() const
    {
        return m_basic.have_animation && m_basic.animation.tps_numerator > 0 &&
               m_basic.animation.tps_denominator > 0;
    }

protected:
    std::optional<AnimationFrame> read() override
    {
        const JxlLibrary& lib = jxl();
        JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};
        AnimationFrame frame;
        for (;;) {
            switch (lib.JxlDecoderProcessInput(m_dec.get())) {
            case JXL_DEC_FRAME: {
                JxlFrameHeader header{};
                if (lib.JxlDecoderGetFrameHeader(m_dec.get(), &header) != JXL_DEC_SUCCESS)
                    throw PictureError::corrupt();
                frame.delayMs = int(std::min<quint64>(quint64(header.duration) * 1000 *
                                                          m_basic.animation.tps_denominator /
                                                          m_basic.animation.tps_numerator,
                                                      INT_MAX));
                break;
            }
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
                frame.image = QImage(m_canvas, QImage::Format_RGBA8888);
                std::size_t size = 0;
                if (frame.image.isNull())
                    throw std::bad_alloc();
                if (lib.JxlDecoderImageOutBufferSize(m_dec.get(), &format, &size) != JXL_DEC_SUCCESS ||
                    size > std::size_t(frame.image.sizeInBytes()) ||
                    lib.JxlDecoderSetImageOutBuffer(m_dec.get(), &format, frame.image.bits(), size) !=
                        JXL_DEC_SUCCESS)
                    throw PictureError::corrupt();
                break;
            }
            case JXL_DEC_FULL_IMAGE:
                return frame;
            case JXL_DEC_SUCCESS:
                m_frames = nextIndex();
                return std::nullopt;
            case JXL_DEC_NEED_MORE_INPUT:
                throw PictureError::endsEarly();
            default:
                throw PictureError::corrupt();
            }
        }
    }

private:
    QByteArray m_bytes;
    std::unique_ptr<JxlDecoder, void (*)(JxlDecoder*)> m_dec;
    JxlBasicInfo m_basic{};
};

} // namespace

std::unique_ptr<AnimatedPicture> openJxlAnimation(const QByteArray& bytes)
{
    auto a = std::make_unique<JxlAnimation>(bytes);
    if (!a->animated())
        return nullptr;
    return a;
}
