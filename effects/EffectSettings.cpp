#include "effects/EffectSettings.h"

#include "core/Errors.h"

#include <charconv>
#include <climits>
#include <optional>

namespace {
std::optional<Effect> effectOfOption(std::string_view name)
{
    for (const EffectInfo& info : kEffectTable)
        if (name == info.option)
            return info.effect;
    return std::nullopt;
}

[[noreturn]] void fail(const std::string& text)
{
    throw AppError(QString::fromStdString(text));
}
} // namespace

std::string effectRangeText(Effect e)
{
    const EffectInfo& info = effectInfo(e);
    if (info.max == INT_MAX)
        return std::to_string(info.min) + " or more";
    if (info.min == INT_MIN)
        return std::to_string(info.max) + " or less";
    return std::to_string(info.min) + " to " + std::to_string(info.max);
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
        const std::optional<Effect> effect = effectOfOption(name);
        if (!effect)
            fail("unknown option: " + arg);
        const EffectInfo& info = effectInfo(*effect);
        if (eq == std::string_view::npos) {
            if (!info.onOff)
                fail("option --" + std::string(name) + " needs a value (--" + std::string(name) + "=N)");
            settings.push_back({*effect, 1});
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
        if (info.onOff && value != 0 && value != 1)
            fail("option --" + std::string(name) + " takes 0 or 1");
        // The engine would quietly bring the value into its range.
        if (value < info.min || value > info.max)
            fail("--" + std::string(name) + "=" + std::string(text) + " is outside its range, " +
                 effectRangeText(*effect));
        settings.push_back({*effect, int(value)});
    }
    return settings;
}

void applyEffectSettings(EffectRenderer& engine, const std::vector<EffectSetting>& settings)
{
    for (const EffectSetting& s : settings)
        engine.setValue(s.effect, s.value);
}

EffectValues effectValuesOf(const std::vector<EffectSetting>& settings)
{
    EffectRenderer engine;
    applyEffectSettings(engine, settings);
    return engine.values();
}
