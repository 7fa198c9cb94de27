#pragma once
// Every effect, declared once: the values the engine keeps, where in a
// rendering the effect acts and the routine it runs there, the control the
// effects dialog gives it and its pictavo-fx option. The engine's setters,
// the dialog's controls and handlers, the command-line options and their
// help are all made from this table: a new effect is a row here, its
// routine and its test.
#include "effects/NoiseGenerator.h"
#include "graphics/Bitmap24.h"

#include <array>
#include <atomic>
#include <climits>
#include <cstddef>
#include <iterator>

// In the order of the table, which is the order effects are listed,
// printed and assigned in.
enum class Effect {
    Brightness,
    Contrast,
    GrayScale,
    Lightness,
    Darkness,
    Saturation,
    Splitlight,
    Invert,
    ColorNoise,
    MonoNoise,
    Posterize,
    Solarize,
    Emboss,
    Mosaic,
    SplitBlur,
    GaussianBlur,
    AntiAlias,
    Trace,
    Tile,
};

// Where an effect acts, in the order a rendering reaches the steps.
enum class EffectStep {
    Source,  // neighbourhood and geometric: the picture the tone chain reads, made once per setting
    Noise,   // a pattern drawn once per setting and added in the tone sum
    Level,   // posterize or solarize, before the sum
    Sum,     // a term of the tone sum, clamped to a byte with the others
    Channel, // each channel on its own after the sum, in table order
    Colour,  // grayscale, else saturation
    Invert,
};

// Setting an effect of these steps clears the others of its step.
constexpr bool isExclusiveStep(EffectStep step) noexcept
{
    return step == EffectStep::Source || step == EffectStep::Noise || step == EffectStep::Level;
}

// Thrown out of a rendering whose stop flag was raised. The values stay;
// the cache being built is left absent, never half made.
struct RenderStopped {};

// What routines that take many passes poll between them.
class RenderStop {
public:
    explicit RenderStop(const std::atomic<bool>* flag = nullptr) noexcept : m_flag(flag) {}
    void check() const
    {
        if (m_flag && m_flag->load(std::memory_order_relaxed))
            throw RenderStopped{};
    }

private:
    const std::atomic<bool>* m_flag;
};

// The routines the rows name, by step. Source: applied to `target`, a copy
// of `original`, with the value as set (before a picture's limit); `limit`
// gives the value a picture of that size keeps (0: the effect is off).
// Noise: fills a pattern at `level`, drawing `drawsPerPixel` numbers a pixel,
// row by row from the top. Sum: the term added to channel value `c`.
// Channel: the new value of channel value `c` (0..255).
using SourceRoutine = void (*)(Bitmap24& target, const Bitmap24& original, int value, const RenderStop& stop);
using SourceLimit = int (*)(int value, int width, int height);
using NoiseRoutine = void (*)(Bitmap24& pattern, int level, NoiseGenerator& random);
using SumTerm = long long (*)(long long c, int value);
using ChannelStep = int (*)(int c, int value);

void EmbossEffect(Bitmap24& target, const Bitmap24& original, int value, const RenderStop& stop);
void MosaicEffect(Bitmap24& target, const Bitmap24& original, int value, const RenderStop& stop);
void SplitBlurEffect(Bitmap24& target, const Bitmap24& original, int value, const RenderStop& stop);
void GaussianBlurEffect(Bitmap24& target, const Bitmap24& original, int value, const RenderStop& stop);
void AntiAliasEffect(Bitmap24& target, const Bitmap24& original, int value, const RenderStop& stop);
void TraceEffect(Bitmap24& target, const Bitmap24& original, int value, const RenderStop& stop);
void TileEffect(Bitmap24& target, const Bitmap24& original, int value, const RenderStop& stop);
int MosaicLimit(int value, int width, int height);
int TileLimit(int value, int width, int height);
void FillColorNoise(Bitmap24& pattern, int level, NoiseGenerator& random);
void FillMonoNoise(Bitmap24& pattern, int level, NoiseGenerator& random);
long long BrightnessTerm(long long c, int value);
long long ContrastTerm(long long c, int value);
long long LightnessTerm(long long c, int value);
long long DarknessTerm(long long c, int value);
int SplitlightPasses(int c, int passes);

// The effects dialog's control: a slider of min..max with a tick every
// `tick` (a check box for an on/off effect), captioned by interface text
// number `caption`. No caption: the dialog does not offer the effect.
struct EffectDialogControl {
    int min = 0, max = 0, tick = 0;
    int caption = 0;
};

struct EffectInfo {
    Effect effect;
    const char* name;   // the property's name, as --show-properties prints it
    const char* option; // pictavo-fx's --option
    EffectStep step;
    bool onOff = false; // 0 or 1; a setter takes any other value for 1
    // The values the engine keeps, any other brought to the nearer end;
    // INT_MIN or INT_MAX is no bound on that side.
    int min = 0, max = INT_MAX;
    int standard = 0; // at start and after a reset
    EffectDialogControl dialog{};
    // The routine of its step; the level, colour and invert steps are the
    // tone chain's own.
    SourceRoutine source = nullptr;
    SourceLimit limit = nullptr;
    NoiseRoutine noise = nullptr;
    int drawsPerPixel = 0;
    SumTerm term = nullptr;
    ChannelStep channel = nullptr;
};

// clang-format off
inline constexpr EffectInfo kEffectTable[] = {
    {.effect = Effect::Brightness, .name = "PicBrightness", .option = "brightness", .step = EffectStep::Sum,
     .min = -255, .max = 255, .dialog = {-255, 255, 30, 47}, .term = BrightnessTerm},
    {.effect = Effect::Contrast, .name = "PicContrast", .option = "contrast", .step = EffectStep::Sum,
     .min = -255, .dialog = {-255, 255, 30, 48}, .term = ContrastTerm},
    {.effect = Effect::GrayScale, .name = "PicGrayScale", .option = "grayscale", .step = EffectStep::Colour,
     .onOff = true, .max = 1},
    {.effect = Effect::Lightness, .name = "PicLightness", .option = "lightness", .step = EffectStep::Sum,
     .min = INT_MIN, .max = 255, .term = LightnessTerm},
    {.effect = Effect::Darkness, .name = "PicDarkness", .option = "darkness", .step = EffectStep::Sum,
     .min = INT_MIN, .max = 255, .term = DarknessTerm},
    {.effect = Effect::Saturation, .name = "PicSaturation", .option = "saturation", .step = EffectStep::Colour,
     .min = -255, .dialog = {-255, 255, 30, 46}},
    {.effect = Effect::Splitlight, .name = "PicSplitlight", .option = "splitlight", .step = EffectStep::Channel,
     .max = 10, .channel = SplitlightPasses},
    {.effect = Effect::Invert, .name = "PicInvert", .option = "invert", .step = EffectStep::Invert,
     .onOff = true, .max = 1},
    {.effect = Effect::ColorNoise, .name = "PicColorNoise", .option = "color-noise", .step = EffectStep::Noise,
     .dialog = {0, 255, 15, 45}, .noise = FillColorNoise, .drawsPerPixel = 3},
    {.effect = Effect::MonoNoise, .name = "PicMonoNoise", .option = "mono-noise", .step = EffectStep::Noise,
     .noise = FillMonoNoise, .drawsPerPixel = 1},
    {.effect = Effect::Posterize, .name = "PicPosterize", .option = "posterize", .step = EffectStep::Level,
     .dialog = {0, 255, 15, 43}},
    {.effect = Effect::Solarize, .name = "PicSolorize", .option = "solarize", .step = EffectStep::Level,
     .max = 255, .dialog = {0, 255, 15, 44}},
    {.effect = Effect::Emboss, .name = "PicEmboss", .option = "emboss", .step = EffectStep::Source,
     .onOff = true, .max = 1, .dialog = {0, 1, 0, 37}, .source = EmbossEffect},
    {.effect = Effect::Mosaic, .name = "PicMosaic", .option = "mosaic", .step = EffectStep::Source,
     .dialog = {0, 50, 2, 38}, .source = MosaicEffect, .limit = MosaicLimit},
    {.effect = Effect::SplitBlur, .name = "PicSplitBlur", .option = "split-blur", .step = EffectStep::Source,
     .max = 255, .dialog = {0, 255, 10, 39}, .source = SplitBlurEffect},
    {.effect = Effect::GaussianBlur, .name = "PicGaussianBlur", .option = "gaussian-blur",
     .step = EffectStep::Source, .max = 50, .dialog = {0, 50, 2, 40}, .source = GaussianBlurEffect},
    {.effect = Effect::AntiAlias, .name = "PicAntiAlias", .option = "anti-alias", .step = EffectStep::Source,
     .max = 50, .dialog = {0, 50, 2, 41}, .source = AntiAliasEffect},
    // The engine traces up to 10 passes; from the second on they add
    // nothing, so the dialog offers 0..2.
    {.effect = Effect::Trace, .name = "PicTrace", .option = "trace", .step = EffectStep::Source,
     .max = 10, .dialog = {0, 2, 1, 42}, .source = TraceEffect},
    {.effect = Effect::Tile, .name = "PicTile", .option = "tile", .step = EffectStep::Source,
     .source = TileEffect, .limit = TileLimit},
};
// clang-format on

inline constexpr int EffectCount = int(std::size(kEffectTable));
using EffectValues = std::array<int, EffectCount>;

constexpr const EffectInfo& effectInfo(Effect e) noexcept
{
    return kEffectTable[std::size_t(e)];
}

constexpr bool rowsFollowTheEnum() noexcept
{
    for (int i = 0; i < EffectCount; ++i)
        if (kEffectTable[i].effect != Effect(i))
            return false;
    return true;
}
static_assert(rowsFollowTheEnum(), "each row sits at its effect's place");
