// AVIF image sequences through libavif (libheif reads only their first
// frame), loaded with the first animated AVIF as libheif and libjxl are.
#include "graphics/AnimatedPicture.h"

#include "graphics/PictureError.h"
#include "graphics/PictureLimits.h"

#include <QLibrary>

#include <avif/avif.h>

#include <climits>
#include <cmath>
#include <memory>

namespace {

#define PV_AVIF_FUNCTIONS(F)                                                                                 \
    F(avifDecoderCreate)                                                                                     \
    F(avifDecoderDestroy)                                                                                    \
    F(avifDecoderSetIOMemory)                                                                                \
    F(avifDecoderParse)                                                                                      \
    F(avifDecoderNextImage)                                                                                  \
    F(avifRGBImageSetDefaults)                                                                               \
    F(avifImageYUVToRGB)

struct AvifLibrary {
#define PV_AVIF_POINTER(name) decltype(&::name) name = nullptr;
    PV_AVIF_FUNCTIONS(PV_AVIF_POINTER)
#undef PV_AVIF_POINTER
    QString failure;
};

AvifLibrary loadAvifLibrary()
{
    AvifLibrary lib;
    QLibrary library(QStringLiteral("avif"), 15);
    if (!library.load()) {
        lib.failure = library.errorString();
        return lib;
    }
#define PV_AVIF_RESOLVE(name)                                                                                \
    lib.name = reinterpret_cast<decltype(lib.name)>(library.resolve(#name));                                 \
    if (!lib.name)                                                                                           \
        lib.failure = library.errorString();
    PV_AVIF_FUNCTIONS(PV_AVIF_RESOLVE)
#undef PV_AVIF_RESOLVE
    return lib;
}

const AvifLibrary& avif()
{
    static const AvifLibrary lib = loadAvifLibrary();
    if (!lib.failure.isEmpty())
        throw PictureError(PictureError::Problem::Unreadable,
                           QStringLiteral("libavif can't be loaded: %1").arg(lib.failure));
    return lib;
}

class AvifAnimation : public AnimatedPicture {
public:
    explicit AvifAnimation(const QByteArray& bytes)
        : m_bytes(bytes), m_dec(avif().avifDecoderCreate(), avif().avifDecoderDestroy)
    {
        const AvifLibrary& lib = avif();
        if (!m_dec)
            throw std::bad_alloc();
        // One thread: the loader's filter allows no more.
        m_dec->maxThreads = 1;
        m_dec->imageSizeLimit = AVIF_DEFAULT_IMAGE_SIZE_LIMIT;
        if (lib.avifDecoderSetIOMemory(m_dec.get(), reinterpret_cast<const uint8_t*>(m_bytes.constData()),
                                       std::size_t(m_bytes.size())) != AVIF_RESULT_OK ||
            lib.avifDecoderParse(m_dec.get()) != AVIF_RESULT_OK)
            throw PictureError::corrupt();
        checkPictureSize(m_dec->image->width, m_dec->image->height);
        m_canvas = QSize(int(m_dec->image->width), int(m_dec->image->height));
        m_frames = std::max(0, m_dec->imageCount);
        m_plays = 0; // the sequences of this libavif tell no loop count: as browsers, forever
    }

protected:
    std::optional<AnimationFrame> read() override
    {
        const AvifLibrary& lib = avif();
        if (nextIndex() >= m_frames)
            return std::nullopt;
        if (lib.avifDecoderNextImage(m_dec.get()) != AVIF_RESULT_OK)
            throw PictureError::corrupt();
        if (int(m_dec->image->width) != m_canvas.width() || int(m_dec->image->height) != m_canvas.height())
            throw PictureError::corrupt();
        AnimationFrame frame;
        frame.image = QImage(m_canvas, QImage::Format_RGBA8888);
        if (frame.image.isNull())
            throw std::bad_alloc();
        avifRGBImage rgb;
        lib.avifRGBImageSetDefaults(&rgb, m_dec->image);
        rgb.format = AVIF_RGB_FORMAT_RGBA;
        rgb.depth = 8;
        rgb.pixels = frame.image.bits();
        rgb.rowBytes = uint32_t(frame.image.bytesPerLine());
        if (lib.avifImageYUVToRGB(m_dec->image, &rgb) != AVIF_RESULT_OK)
            throw PictureError::corrupt();
        const double ms = m_dec->imageTiming.duration * 1000.0;
        frame.delayMs = std::isfinite(ms) && ms > 0 ? int(std::min(std::lround(ms), long(INT_MAX))) : 0;
        return frame;
    }

private:
    QByteArray m_bytes;
    std::unique_ptr<avifDecoder, void (*)(avifDecoder*)> m_dec;
};

} // namespace

std::unique_ptr<AnimatedPicture> openAvifAnimation(const QByteArray& bytes)
{
    auto a = std::make_unique<AvifAnimation>(bytes);
    if (a->frameCount() < 2)
        return nullptr;
    return a;
}
