#include "effects/EffectSettings.h"

#include "core/Errors.h"

#include <charconv>
#include <climits>

namespace {
constexpr const char* kOptionNames[EffectPropertyCount] = {
    "brightness", "contrast",      "grayscale",  "lightness", "darkness", "saturation", "splitlight",
    "invert",     "color-noise",   "mono-noise", "posterize", "solarize", "emboss",     "mosaic",
    "split-blur", "gaussian-blur", "anti-alias", "trace",     "tile",
};

bool findProperty(std::string_view name, EffectProperty& out)
{
    for (int i = 0; i < EffectPropertyCount; ++i) {
        if (name == kOptionNames[i]) {
            out = EffectProperty(i);
            return true;
        }
    }
    return false;
}

[[noreturn]] void fail(const std::string& text)
{
    throw AppError(QString::fromStdString(text));
}
} // namespace

std::string effectRangeText(EffectProperty p)
{
    const EffectRange r = effectRange(p);
    if (r.max == INT_MAX)
        return std::to_string(r.min) + " or more";
    if (r.min == INT_MIN)
        return std::to_string(r.max) + " or less";
    return std::to_string(r.min) + " to " + std::to_string(r.max);
}

const char* effectOptionName(EffectProperty p) noexcept
{
    return kOptionNames[int(p)];
}

bool isEffectOption(const std::string& arg)
{
    if (arg.rfind("--", 0) != 0)
        return false;
    const std::string_view body = std::string_view(arg).substr(2);
    EffectProperty p;
    return findProperty(body.substr(0, body.find('=')), p);
}

std::vector<EffectSetting> parseEffectOptions(const std::vector<std::string>& args)
{
    std::vector<EffectSetting> settings;
    for (const std::string& arg : args) {
        if (arg.rfind("--", 0) != 0)
            fail("not an effect option: " + arg);
        const std::string_view body = std::string_view(arg).substr(2);
        const std::size_t eq = body.find('=');
        const std::string_view name = body.substr(0, eq);
        EffectProperty p;
        if (!findProperty(name, p))
            fail("unknown option: " + arg);
        if (eq == std::string_view::npos) {
            if (!isBooleanProperty(p))
                fail("option --" + std::string(name) + " needs a value (--" + std::string(name) + "=N)");
            settings.push_back({p, 1});
            continue;
        }
        const std::string_view text = body.substr(eq + 1);
        long long value = 0;
        const char* first = text.data();
        const char* last = text.data() + text.size();
        if (first != last && *first == '+' && first + 1 != last && first[1] != '-')
            ++first; // from_chars takes no plus sign
        const auto [end, ec] = std::from_chars(first, last, value);
        if (text.empty() || ec != std::errc() || end != last || value < INT_MIN || value > INT_MAX)
            fail("bad value for --" + std::string(name) + ": '" + std::string(text) + "'");
        if (isBooleanProperty(p) && value != 0 && value != 1)
            fail("option --" + std::string(name) + " takes 0 or 1");
        // The engine would quietly bring the value into its range.
        if (const EffectRange r = effectRange(p); value < r.min || value > r.max)
            fail("--" + std::string(name) + "=" + std::string(text) + " is outside its range, " +
                 effectRangeText(p));
        settings.push_back({p, int(value)});
    }
    return settings;
}

void applyEffectSettings(EffectRenderer& engine, const std::vector<EffectSetting>& settings)
{
    for (const EffectSetting& s : settings)
        engine.setProperty(s.property, s.value);
}
