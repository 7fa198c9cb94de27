#pragma once
// Effect settings given on a command line as --name=value options, one per
// property setter, applied in the order given.
#include "effects/EffectRenderer.h"

#include <string>
#include <vector>

struct EffectSetting {
    EffectProperty property;
    int value;
};

// The option name for a property ("brightness", "color-noise", ...).
const char* effectOptionName(EffectProperty p) noexcept;

// The values an option takes: "-255 to 255", "-255 or more", "255 or less".
std::string effectRangeText(EffectProperty p);

// True when `arg` names one of the effect options (whatever its value).
bool isEffectOption(const std::string& arg);

// Parses effect options in order. Integer options need "=N" (a 32-bit signed
// decimal within the property's range); boolean ones take nothing, "=0" or
// "=1". Throws AppError with a one-line message for anything else.
std::vector<EffectSetting> parseEffectOptions(const std::vector<std::string>& args);

// Runs the setters in order.
void applyEffectSettings(EffectRenderer& engine, const std::vector<EffectSetting>& settings);
