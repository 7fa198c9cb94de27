// AVIF image sequences through libavif (libheif reads only their first
// frame), loaded with the first animated AVIF as libheif and libjxl are.
#include "graphics/AnimatedPicture.h"

#include "graphics/PictureError.h"
#include "graphics/PictureLimits.h"

#include <QLibrary>

#include <avif/avif.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace {

std::uint64_t bigEndian(std::string_view b, std::size_t at, int bytes)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | std::uint8_t(b[at + std::size_t(i)]);
    return v;
}

// The contents of the first box of `type` directly inside `within`, from
// the box starting at `start`; none where the sizes don't fit.
std::optional<std::string_view> childBox(std::string_view within, std::string_view type, std::size_t start = 0)
{
    std::size_t at = start;
    while (within.size() - at >= 8) {
        std::uint64_t size = bigEndian(within, at, 4);
        std::size_t header = 8;
        if (size == 1) {
            if (within.size() - at < 16)
                return std::nullopt;
            size = bigEndian(within, at + 8, 8);
            header = 16;
        } else if (size == 0) {
            size = within.size() - at;
        }
        if (size < header || size > within.size() - at)
            return std::nullopt;
        if (within.substr(at + 4, 4) == type)
            return within.substr(at + header, std::size_t(size) - header);
        at += std::size_t(size);
    }
    return std::nullopt;
}

// How often the sequence plays, from its first picture track's edit list
// (the flag "repeat" and the track's length against one pass); 0: forever,
// also where the file has no edit list and so tells nothing.
int sequencePlays(std::string_view file)
{
    const auto moov = childBox(file, "moov");
    if (!moov)
        return 0;
    for (std::size_t at = 0; at < moov->size();) {
        const auto trak = childBox(*moov, "trak", at);
        if (!trak)
            return 0;
        at = std::size_t(trak->data() - moov->data()) + trak->size();
        const auto mdia = childBox(*trak, "mdia");
        const auto hdlr = mdia ? childBox(*mdia, "hdlr") : std::nullopt;
        if (!hdlr || hdlr->size() < 12 || hdlr->substr(8, 4) != "pict")
            continue;
        const auto tkhd = childBox(*trak, "tkhd");
        const auto edts = childBox(*trak, "edts");
        const auto elst = edts ? childBox(*edts, "elst") : std::nullopt;
        if (!tkhd || !elst || tkhd->size() < 4 || elst->size() < 8)
            return 0;
        const bool repeats = bigEndian(*elst, 1, 3) & 1;
        if (!repeats)
            return 1;
        const bool wide = (*elst)[0] == 1;
        const bool wideTrack = (*tkhd)[0] == 1;
        if (elst->size() < (wide ? 16u : 12u) || tkhd->size() < (wideTrack ? 36u : 24u))
            return 0;
        const std::uint64_t pass = bigEndian(*elst, 8, wide ? 8 : 4);
        const std::uint64_t length = bigEndian(*tkhd, wideTrack ? 28 : 20, wideTrack ? 8 : 4);
        const std::uint64_t indefinite = wideTrack ? UINT64_MAX : UINT32_MAX;
        if (pass == 0 || length == indefinite)
            return 0;
        const std::uint64_t plays = length / pass + (length % pass ? 1 : 0);
        return plays == 0 || plays > std::uint64_t(INT_MAX) ? 0 : int(plays);
    }
    return 0;
}

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
        // This libavif tells no loop count: the edit list does.
        m_plays = sequencePlays(std::string_view(m_bytes.constData(), std::size_t(m_bytes.size())));
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
