#pragma once
// The effect image engine behind EffectPreview: the original picture, the rendered
// copy, the nineteen effect properties and the two caches. Widget-free, so the
// command-line tool and tests drive it without a window.
#include "graphics/Bitmap24.h"

#include <array>
#include <atomic>
#include <functional>
#include <optional>

class Picture;
struct TileLayout;

enum class EffectProperty {
    PicBrightness,
    PicContrast,
    PicGrayScale,
    PicLightness,
    PicDarkness,
    PicSaturation,
    PicSplitlight,
    PicInvert,
    PicColorNoise,
    PicMonoNoise,
    PicPosterize,
    PicSolorize,
    PicEmboss,
    PicMosaic,
    PicSplitBlur,
    PicGaussianBlur,
    PicAntiAlias,
    PicTrace,
    PicTile,
};
constexpr int EffectPropertyCount = 19;

const char* effectPropertyName(EffectProperty p) noexcept;

// Thrown out of a rendering whose stop flag was raised. The property values
// stay; the cache being built is left absent, never half made, so the next
// rendering builds it afresh.
struct RenderStopped {};
bool isBooleanProperty(EffectProperty p) noexcept;

// The values a property's setter keeps; it brings any other to the nearer
// end. INT_MIN or INT_MAX stands for no bound on that side. A boolean's
// range is 0..1, though its setter takes any non-zero value for 1.
struct EffectRange {
    int min;
    int max;
};
EffectRange effectRange(EffectProperty p) noexcept;

class EffectRenderer {
public:
    EffectRenderer() = default;
    EffectRenderer(const EffectRenderer&) = delete;
    EffectRenderer& operator=(const EffectRenderer&) = delete;

    // The original picture. Assigning one (copied) runs originalChanged:
    // the caches are dropped and the picture is rendered with the current
    // effect values. An empty bitmap means "no picture".
    const Bitmap24& pictureOriginal() const noexcept { return m_original; }
    void setPictureOriginal(const Bitmap24& bitmap);
    void setPictureOriginal(Bitmap24&& bitmap);
    // Decodes JPEG and other kinds into a 24-bit bitmap first.
    void setPictureOriginal(const Picture& picture);
    void clearPictureOriginal();

    // The rendered 24-bit bitmap, the original picture's size; rewritten by
    // every property change, so callers copy what they keep.
    const Bitmap24& rendered() const noexcept { return m_picture; }

    int property(EffectProperty p) const noexcept { return m_values[std::size_t(p)]; }
    // Runs the property's setter, with its clamps, exclusions and cache work.
    void setProperty(EffectProperty p, int value);

    int PicBrightness() const noexcept { return property(EffectProperty::PicBrightness); }
    int PicContrast() const noexcept { return property(EffectProperty::PicContrast); }
    bool PicGrayScale() const noexcept { return property(EffectProperty::PicGrayScale) != 0; }
    int PicLightness() const noexcept { return property(EffectProperty::PicLightness); }
    int PicDarkness() const noexcept { return property(EffectProperty::PicDarkness); }
    int PicSaturation() const noexcept { return property(EffectProperty::PicSaturation); }
    int PicSplitlight() const noexcept { return property(EffectProperty::PicSplitlight); }
    bool PicInvert() const noexcept { return property(EffectProperty::PicInvert) != 0; }
    int PicColorNoise() const noexcept { return property(EffectProperty::PicColorNoise); }
    int PicMonoNoise() const noexcept { return property(EffectProperty::PicMonoNoise); }
    int PicPosterize() const noexcept { return property(EffectProperty::PicPosterize); }
    int PicSolorize() const noexcept { return property(EffectProperty::PicSolorize); }
    bool PicEmboss() const noexcept { return property(EffectProperty::PicEmboss) != 0; }
    int PicMosaic() const noexcept { return property(EffectProperty::PicMosaic); }
    int PicSplitBlur() const noexcept { return property(EffectProperty::PicSplitBlur); }
    int PicGaussianBlur() const noexcept { return property(EffectProperty::PicGaussianBlur); }
    int PicAntiAlias() const noexcept { return property(EffectProperty::PicAntiAlias); }
    int PicTrace() const noexcept { return property(EffectProperty::PicTrace); }
    int PicTile() const noexcept { return property(EffectProperty::PicTile); }

    void setPicBrightness(int v) { setProperty(EffectProperty::PicBrightness, v); }
    void setPicContrast(int v) { setProperty(EffectProperty::PicContrast, v); }
    void setPicGrayScale(bool v) { setProperty(EffectProperty::PicGrayScale, v); }
    void setPicLightness(int v) { setProperty(EffectProperty::PicLightness, v); }
    void setPicDarkness(int v) { setProperty(EffectProperty::PicDarkness, v); }
    void setPicSaturation(int v) { setProperty(EffectProperty::PicSaturation, v); }
    void setPicSplitlight(int v) { setProperty(EffectProperty::PicSplitlight, v); }
    void setPicInvert(bool v) { setProperty(EffectProperty::PicInvert, v); }
    void setPicColorNoise(int v) { setProperty(EffectProperty::PicColorNoise, v); }
    void setPicMonoNoise(int v) { setProperty(EffectProperty::PicMonoNoise, v); }
    void setPicPosterize(int v) { setProperty(EffectProperty::PicPosterize, v); }
    void setPicSolorize(int v) { setProperty(EffectProperty::PicSolorize, v); }
    void setPicEmboss(bool v) { setProperty(EffectProperty::PicEmboss, v); }
    void setPicMosaic(int v) { setProperty(EffectProperty::PicMosaic, v); }
    void setPicSplitBlur(int v) { setProperty(EffectProperty::PicSplitBlur, v); }
    void setPicGaussianBlur(int v) { setProperty(EffectProperty::PicGaussianBlur, v); }
    void setPicAntiAlias(int v) { setProperty(EffectProperty::PicAntiAlias, v); }
    void setPicTrace(int v) { setProperty(EffectProperty::PicTrace, v); }
    void setPicTile(int v) { setProperty(EffectProperty::PicTile, v); }

    using PropertyValues = std::array<int, EffectPropertyCount>;
    const PropertyValues& properties() const noexcept { return m_values; }
    // Brings every property to `values` with one rendering at the end. Only
    // the setters of properties whose value differs run, so a blur or a noise
    // draw that stays is reused; `redrawNoise` runs the noise setter anyway,
    // as assigning the same value again does. `values` must keep the
    // exclusions between properties.
    void assignProperties(const PropertyValues& values, bool redrawNoise);

    // A flag that long renderings poll between passes; once it reads true
    // they throw RenderStopped. Null, the default, never stops.
    void setStopFlag(const std::atomic<bool>* stop) noexcept { m_stop = stop; }

    // The caches; null while absent.
    const Bitmap24* noiseBitmap() const noexcept { return m_noise ? &*m_noise : nullptr; }
    const Bitmap24* effectSource() const noexcept { return m_effectSource ? &*m_effectSource : nullptr; }

    // The pipeline: rebuilds missing caches, then renders every pixel into
    // Picture and asks for a repaint. Does nothing without a picture.
    void render();
    // Every effect back to 0 or false, caches dropped, Picture a plain copy
    // of the original; no rendering.
    void resetEffects();
    // Renders `picture` with the current values in its own memory and hands
    // it back: a one-off rendering that keeps no original and no cache, so
    // a big picture costs one frame (two with a noise pattern).
    // The engine is left without a picture; the values get their limits as
    // a rendering of the picture gives them.
    Bitmap24 renderDetached(Bitmap24 picture);

    // Called after every rendering and whenever Picture changes, so a view
    // can repaint.
    void setRepaintCallback(std::function<void()> callback) { m_repaint = std::move(callback); }

    // How many renderings ran (tests use it to tell "rendered" from "copied").
    long renderCount() const noexcept { return m_renderCount; }

private:
    void originalChanged();
    void refillNoise();
    std::optional<Bitmap24> noiseFor(int width, int height) const;
    // Applies the picture-size limits of a neighbourhood property to its
    // value; false when that turns it off.
    bool limitNeighbourhood(EffectProperty p, int width, int height, TileLayout& tiles);
    // The property's effect on `target`, which starts as a copy of `original`
    // or is `original` itself.
    void applyNeighbourhood(EffectProperty p, const TileLayout& tiles, const Bitmap24& original,
                            Bitmap24& target) const;
    // Builds effectSource for the active neighbourhood property, applying its
    // limits against the current picture; false when that turns it off.
    bool rebuildEffectSource(EffectProperty p);
    void setNeighbourhood(EffectProperty p, int stored);
    void setNoise(EffectProperty p, int stored);
    void repaint();
    void throwIfStopped() const;

    Bitmap24 m_original;
    Bitmap24 m_picture;
    std::optional<Bitmap24> m_noise;
    std::optional<Bitmap24> m_effectSource;
    std::array<int, EffectPropertyCount> m_values{};
    long m_renderCount = 0;
    bool m_holdRender = false;
    const std::atomic<bool>* m_stop = nullptr;
    std::function<void()> m_repaint;
};
