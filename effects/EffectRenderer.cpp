#include "effects/EffectRenderer.h"

#include "effects/ToneEffects.h"

#include <algorithm>

namespace {
EffectValues standardValues() noexcept
{
    EffectValues values{};
    for (const EffectInfo& info : kEffectTable)
        values[std::size_t(info.effect)] = info.standard;
    return values;
}
} // namespace

EffectRenderer::EffectRenderer() : m_values(standardValues()) {}

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

void EffectRenderer::setValue(Effect e, int value)
{
    const EffectInfo& info = effectInfo(e);
    const int kept = info.onOff ? int(value != 0) : std::clamp(value, info.min, info.max);
    if (isExclusiveStep(info.step))
        for (const EffectInfo& other : kEffectTable)
            if (other.step == info.step)
                m_values[std::size_t(other.effect)] = 0;
    m_values[std::size_t(e)] = kept;
    // Dropped first: a stopped rebuild must not leave the old cache behind.
    if (info.step == EffectStep::Noise) {
        m_noise.reset();
        if (kept >= 1 && !m_original.isEmpty())
            m_noise = noiseFor(m_original.width(), m_original.height());
    } else if (info.step == EffectStep::Source) {
        m_effectSource.reset();
        if (kept > 0 && !m_original.isEmpty())
            rebuildEffectSource(e);
    }
    render();
}

std::optional<Bitmap24> EffectRenderer::noiseFor(int width, int height)
{
    for (const EffectInfo& info : kEffectTable) {
        const int level = value(info.effect);
        if (info.step != EffectStep::Noise || level < 1)
            continue;
        Bitmap24 pattern = Bitmap24::forOverwrite(width, height);
        info.noise(pattern, level, m_random);
        return pattern;
    }
    return std::nullopt;
}

std::optional<Effect> EffectRenderer::activeSource() const noexcept
{
    for (const EffectInfo& info : kEffectTable)
        if (info.step == EffectStep::Source && value(info.effect) > 0)
            return info.effect;
    return std::nullopt;
}

bool EffectRenderer::limitSource(Effect e, int width, int height)
{
    int& kept = m_values[std::size_t(e)];
    if (const SourceLimit limit = effectInfo(e).limit)
        kept = limit(kept, width, height);
    return kept > 0;
}

bool EffectRenderer::rebuildEffectSource(Effect e)
{
    const int asSet = value(e);
    if (!limitSource(e, m_original.width(), m_original.height())) {
        m_effectSource.reset();
        return false;
    }
    // Built aside and swapped in, so a failure leaves no half-made cache.
    Bitmap24 source = m_original;
    effectInfo(e).source(source, m_original, asSet, RenderStop(m_stop));
    m_effectSource = std::move(source);
    return true;
}

Bitmap24 EffectRenderer::renderDetached(Bitmap24 picture)
{
    clearPictureOriginal();
    if (picture.isEmpty())
        return picture;
    std::optional<Bitmap24> noise = noiseFor(picture.width(), picture.height());
    if (const std::optional<Effect> e = activeSource()) {
        const int asSet = value(*e);
        if (limitSource(*e, picture.width(), picture.height()))
            effectInfo(*e).source(picture, picture, asSet, RenderStop(m_stop));
    }
    RenderStop(m_stop).check();
    RenderToneInPlace(picture, noise ? &*noise : nullptr, ToneSettings{m_values});
    return picture;
}

void EffectRenderer::assignValues(const EffectValues& values, bool redrawNoise)
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
            for (const EffectInfo& info : kEffectTable) {
                const std::size_t i = std::size_t(info.effect);
                if ((values[i] != 0) != nonZero)
                    continue;
                const bool redraw = info.step == EffectStep::Noise && nonZero && redrawNoise;
                if (m_values[i] != values[i] || redraw)
                    setValue(info.effect, values[i]);
            }
        }
    }
    render();
}

void EffectRenderer::render()
{
    if (m_holdRender || m_original.isEmpty() || m_picture.isEmpty())
        return;
    if (!m_noise)
        m_noise = noiseFor(m_original.width(), m_original.height());

    const Bitmap24* source = &m_original;
    if (const std::optional<Effect> e = activeSource())
        if (m_effectSource || rebuildEffectSource(*e))
            source = &*m_effectSource;

    RenderStop(m_stop).check();
    RenderTone(*source, noiseBitmap(), ToneSettings{m_values}, m_picture);
    repaint();
}

void EffectRenderer::resetEffects()
{
    m_values = standardValues();
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
