#pragma once
// The effect image engine behind EffectPreview: the original picture, the
// rendered copy, the value of every effect of the effect table and the two
// caches. Widget-free, so the command-line tool and tests drive it without
// a window.
#include "effects/EffectTable.h"
#include "graphics/Bitmap24.h"

#include <atomic>
#include <functional>
#include <optional>

class Picture;

class EffectRenderer {
public:
    EffectRenderer();
    EffectRenderer(const EffectRenderer&) = delete;
    EffectRenderer& operator=(const EffectRenderer&) = delete;

    // The original picture. Assigning one (copied) drops the caches and
    // renders it with the current values. An empty bitmap means "no picture".
    const Bitmap24& pictureOriginal() const noexcept { return m_original; }
    void setPictureOriginal(const Bitmap24& bitmap);
    void setPictureOriginal(Bitmap24&& bitmap);
    // Decodes JPEG and other kinds into a 24-bit bitmap first.
    void setPictureOriginal(const Picture& picture);
    void clearPictureOriginal();

    // The rendered 24-bit bitmap, the original picture's size; rewritten by
    // every change of a value, so callers copy what they keep.
    const Bitmap24& rendered() const noexcept { return m_picture; }

    int value(Effect e) const noexcept { return m_values[std::size_t(e)]; }
    const EffectValues& values() const noexcept { return m_values; }
    // The effect's setter: keeps the value within its range, clears the
    // others of an exclusive step, builds the cache the effect needs and
    // renders. Setting a value again runs it again (a noise is drawn anew).
    void setValue(Effect e, int value);
    // Brings every effect to `values` with one rendering at the end. Only
    // the setters of values that differ run, so a blur or a noise draw that
    // stays is reused; `redrawNoise` runs the noise setter anyway. `values`
    // must keep the exclusions between effects.
    void assignValues(const EffectValues& values, bool redrawNoise);

    // The sequence the noise patterns are drawn from.
    NoiseGenerator& noiseGenerator() noexcept { return m_random; }
    const NoiseGenerator& noiseGenerator() const noexcept { return m_random; }

    // A flag that long renderings poll between passes; once it reads true
    // they throw RenderStopped. Null, the default, never stops.
    void setStopFlag(const std::atomic<bool>* stop) noexcept { m_stop = stop; }

    // The caches; null while absent.
    const Bitmap24* noiseBitmap() const noexcept { return m_noise ? &*m_noise : nullptr; }
    const Bitmap24* effectSource() const noexcept { return m_effectSource ? &*m_effectSource : nullptr; }

    // The pipeline: rebuilds missing caches, then renders every pixel into
    // the rendered picture and asks for a repaint. Does nothing without a picture.
    void render();
    // Every effect back to its standard value, caches dropped, the rendered
    // picture a plain copy of the original; no rendering.
    void resetEffects();
    // Renders `picture` with the current values in its own memory and hands
    // it back: a one-off rendering that keeps no original and no cache, so
    // a big picture costs one frame (two with a noise pattern).
    // The engine is left without a picture; the values get their limits as
    // a rendering of the picture gives them.
    Bitmap24 renderDetached(Bitmap24 picture);

    // Called after every rendering and whenever the rendered picture
    // changes, so a view can repaint.
    void setRepaintCallback(std::function<void()> callback) { m_repaint = std::move(callback); }

private:
    void originalChanged();
    std::optional<Bitmap24> noiseFor(int width, int height);
    // The active effect of the source step, or none.
    std::optional<Effect> activeSource() const noexcept;
    // Keeps the value of source effect `e` within what a picture of this
    // size allows; false when that turns it off.
    bool limitSource(Effect e, int width, int height);
    // Builds the effect source for `e`, applying its limit against the
    // current picture; false when that turns it off.
    bool rebuildEffectSource(Effect e);
    void repaint();

    Bitmap24 m_original;
    Bitmap24 m_picture;
    std::optional<Bitmap24> m_noise;
    std::optional<Bitmap24> m_effectSource;
    EffectValues m_values{};
    NoiseGenerator m_random;
    bool m_holdRender = false;
    const std::atomic<bool>* m_stop = nullptr;
    std::function<void()> m_repaint;
};
