#include "effects/EffectRenderer.h"

#include "effects/PixelRoutines.h"
#include "effects/StreamedTone.h"
#include "effects/ToneEffects.h"

#include <algorithm>
#include <climits>

namespace {
constexpr const char* kNames[EffectPropertyCount] = {
    "PicBrightness",   "PicContrast",   "PicGrayScale", "PicLightness",  "PicDarkness",
    "PicSaturation",   "PicSplitlight", "PicInvert",    "PicColorNoise", "PicMonoNoise",
    "PicPosterize",    "PicSolorize",   "PicEmboss",    "PicMosaic",     "PicSplitBlur",
    "PicGaussianBlur", "PicAntiAlias",  "PicTrace",     "PicTile",
};

constexpr EffectProperty kNeighbourhood[] = {
    EffectProperty::PicEmboss,       EffectProperty::PicMosaic,    EffectProperty::PicSplitBlur,
    EffectProperty::PicGaussianBlur, EffectProperty::PicAntiAlias, EffectProperty::PicTrace,
    EffectProperty::PicTile,
};

int clampTo(int v, int lo, int hi)
{
    return std::min(hi, std::max(lo, v));
}
} // namespace

const char* effectPropertyName(EffectProperty p) noexcept
{
    return kNames[int(p)];
}

bool isBooleanProperty(EffectProperty p) noexcept
{
    return p == EffectProperty::PicGrayScale || p == EffectProperty::PicInvert ||
           p == EffectProperty::PicEmboss;
}

void EffectRenderer::setPictureOriginal(const Bitmap24& bitmap)
{
    m_original = bitmap;
    originalChanged();
}

void EffectRenderer::setPictureOriginal(Bitmap24&& bitmap)
{
    m_original = std::move(bitmap);
    originalChanged();
}

void EffectRenderer::clearPictureOriginal()
{
    m_original = Bitmap24();
    originalChanged();
}

void EffectRenderer::originalChanged()
{
    // Caches go with the picture they came from, also when it goes away.
    m_noise.reset();
    m_effectSource.reset();
    if (m_original.isEmpty()) {
        m_original = Bitmap24();
        m_picture = Bitmap24();
        repaint();
        return;
    }
    m_picture = m_original;
    render();
}

EffectRange effectRange(EffectProperty p) noexcept
{
    constexpr int none = INT_MAX;
    switch (p) {
    case EffectProperty::PicBrightness:
        return {-255, 255};
    case EffectProperty::PicContrast:
    case EffectProperty::PicSaturation:
        return {-255, none};
    case EffectProperty::PicLightness:
    case EffectProperty::PicDarkness:
        return {INT_MIN, 255};
    case EffectProperty::PicSplitlight:
    case EffectProperty::PicTrace:
        return {0, 10};
    case EffectProperty::PicSolorize:
    case EffectProperty::PicSplitBlur:
        return {0, 255};
    case EffectProperty::PicGaussianBlur:
    case EffectProperty::PicAntiAlias:
        return {0, 50};
    case EffectProperty::PicGrayScale:
    case EffectProperty::PicInvert:
    case EffectProperty::PicEmboss:
        return {0, 1};
    case EffectProperty::PicColorNoise:
    case EffectProperty::PicMonoNoise:
    case EffectProperty::PicPosterize:
    case EffectProperty::PicMosaic: // the picture's size bounds it when effectSource is built
    case EffectProperty::PicTile:
        break;
    }
    return {0, none};
}

void EffectRenderer::setProperty(EffectProperty p, int value)
{
    const std::size_t i = std::size_t(p);
    const EffectRange range = effectRange(p);
    const int kept = isBooleanProperty(p) ? int(value != 0) : clampTo(value, range.min, range.max);
    switch (p) {
    case EffectProperty::PicPosterize:
        m_values[i] = kept;
        m_values[std::size_t(EffectProperty::PicSolorize)] = 0;
        break;
    case EffectProperty::PicSolorize:
        m_values[i] = kept;
        m_values[std::size_t(EffectProperty::PicPosterize)] = 0;
        break;
    case EffectProperty::PicColorNoise:
    case EffectProperty::PicMonoNoise:
        setNoise(p, kept);
        return;
    case EffectProperty::PicEmboss:
    case EffectProperty::PicMosaic:
    case EffectProperty::PicSplitBlur:
    case EffectProperty::PicGaussianBlur:
    case EffectProperty::PicAntiAlias:
    case EffectProperty::PicTrace:
    case EffectProperty::PicTile:
        setNeighbourhood(p, kept);
        return;
    default:
        m_values[i] = kept;
        break;
    }
    render();
}

void EffectRenderer::setNoise(EffectProperty p, int stored)
{
    m_values[std::size_t(EffectProperty::PicColorNoise)] = 0;
    m_values[std::size_t(EffectProperty::PicMonoNoise)] = 0;
    m_values[std::size_t(p)] = stored;
    m_noise.reset();
    if (stored >= 1 && !m_original.isEmpty())
        refillNoise();
    render();
}

std::optional<Bitmap24> EffectRenderer::noiseFor(int width, int height) const
{
    const int colour = PicColorNoise();
    const int mono = PicMonoNoise();
    if (colour < 1 && mono < 1)
        return std::nullopt;
    Bitmap24 noise = Bitmap24::forOverwrite(width, height);
    if (colour >= 1)
        FillColorNoise(noise, colour);
    else
        FillMonoNoise(noise, mono);
    return noise;
}

void EffectRenderer::refillNoise()
{
    m_noise = noiseFor(m_original.width(), m_original.height());
}

void EffectRenderer::setNeighbourhood(EffectProperty p, int stored)
{
    for (EffectProperty other : kNeighbourhood)
        m_values[std::size_t(other)] = 0;
    m_values[std::size_t(p)] = stored;
    // Dropped first: a stopped rebuild must not leave the old effect behind.
    m_effectSource.reset();
    if (stored > 0 && !m_original.isEmpty())
        rebuildEffectSource(p);
    render();
}

bool EffectRenderer::limitNeighbourhood(EffectProperty p, int w, int h, TileLayout& tiles)
{
    int& value = m_values[std::size_t(p)];
    if (p == EffectProperty::PicMosaic)
        value = std::min(value, std::max(w, h));
    if (p == EffectProperty::PicTile) {
        tiles = TileLayoutFor(value, w, h);
        value = tiles.count;
    }
    return value > 0;
}

void EffectRenderer::applyNeighbourhood(EffectProperty p, const TileLayout& tiles, const Bitmap24& original,
                                        Bitmap24& target) const
{
    const int value = property(p);
    switch (p) {
    case EffectProperty::PicEmboss:
        EmbossBitmap(target);
        break;
    case EffectProperty::PicMosaic:
        MosaicBitmap(target, value);
        break;
    case EffectProperty::PicSplitBlur:
        SplitBlurBitmap(target, value);
        break;
    case EffectProperty::PicGaussianBlur:
        for (int pass = 0; pass <= value; ++pass) {
            throwIfStopped();
            SplitBlurBitmap(target, 3);
        }
        break;
    case EffectProperty::PicAntiAlias:
        for (int pass = 0; pass < value; ++pass) {
            throwIfStopped();
            AntiAliasBitmap(target, 0, 0, target.width(), target.height());
        }
        break;
    case EffectProperty::PicTrace:
        TraceBitmap(target, value);
        break;
    case EffectProperty::PicTile:
        BuildTiles(original, tiles, target);
        break;
    default:
        break;
    }
}

bool EffectRenderer::rebuildEffectSource(EffectProperty p)
{
    TileLayout tiles;
    if (!limitNeighbourhood(p, m_original.width(), m_original.height(), tiles)) {
        m_effectSource.reset();
        return false;
    }
    // Built aside and swapped in, so a failure leaves no half-made cache.
    Bitmap24 source = m_original;
    applyNeighbourhood(p, tiles, m_original, source);
    m_effectSource = std::move(source);
    return true;
}

Bitmap24 EffectRenderer::renderDetached(Bitmap24 picture)
{
    clearPictureOriginal();
    if (picture.isEmpty())
        return picture;
    std::optional<Bitmap24> noise = noiseFor(picture.width(), picture.height());
    for (EffectProperty p : kNeighbourhood) {
        if (property(p) <= 0)
            continue;
        TileLayout tiles;
        if (!limitNeighbourhood(p, picture.width(), picture.height(), tiles))
            break;
        applyNeighbourhood(p, tiles, picture, picture);
        break;
    }
    throwIfStopped();
    RenderToneInPlace(picture, noise ? &*noise : nullptr, toneSettingsOf(m_values));
    ++m_renderCount;
    return picture;
}

void EffectRenderer::assignProperties(const PropertyValues& values, bool redrawNoise)
{
    {
        const bool held = m_holdRender;
        m_holdRender = true;
        struct Restore {
            bool& flag;
            bool value;
            ~Restore() { flag = value; }
        } restore{m_holdRender, held};
        // Clearing first means no setter clears a value assigned before it.
        for (const bool nonZero : {false, true}) {
            for (int i = 0; i < EffectPropertyCount; ++i) {
                const auto p = EffectProperty(i);
                if ((values[i] != 0) != nonZero)
                    continue;
                const bool noise = p == EffectProperty::PicColorNoise || p == EffectProperty::PicMonoNoise;
                if (m_values[i] != values[i] || (noise && nonZero && redrawNoise))
                    setProperty(p, values[i]);
            }
        }
    }
    render();
}

void EffectRenderer::throwIfStopped() const
{
    if (m_stop && m_stop->load(std::memory_order_relaxed))
        throw RenderStopped{};
}

void EffectRenderer::render()
{
    if (m_holdRender || m_original.isEmpty() || m_picture.isEmpty())
        return;
    if (!m_noise && (PicColorNoise() >= 1 || PicMonoNoise() >= 1))
        refillNoise();

    const Bitmap24* source = &m_original;
    for (EffectProperty p : kNeighbourhood) {
        if (property(p) <= 0)
            continue;
        if (m_effectSource || rebuildEffectSource(p))
            source = &*m_effectSource;
        break;
    }

    throwIfStopped();
    RenderTone(*source, noiseBitmap(), toneSettingsOf(m_values), m_picture);
    ++m_renderCount;
    repaint();
}

void EffectRenderer::resetEffects()
{
    m_values.fill(0);
    m_noise.reset();
    m_effectSource.reset();
    m_picture = m_original;
    repaint();
}

void EffectRenderer::repaint()
{
    if (m_repaint)
        m_repaint();
}
