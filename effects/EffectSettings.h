#pragma once
// Effect settings given on a command line as --name=value options, one per
// effect of the effect table, applied in the order given.
#include "effects/EffectRenderer.h"

#include <string>
#include <vector>

struct EffectSetting {
    Effect effect;
    int value;
};

// The values an option takes: "-255 to 255", "-255 or more", "255 or less".
std::string effectRangeText(Effect e);

// Parses effect options in order. Numeric options need "=N" (a 32-bit signed
// decimal within the effect's range); on/off ones take nothing, "=0" or
// "=1". Throws AppError with a one-line message for anything else.
std::vector<EffectSetting> parseEffectOptions(const std::vector<std::string>& args);

// Runs the setters in order.
void applyEffectSettings(EffectRenderer& engine, const std::vector<EffectSetting>& settings);

// What an engine without a picture keeps after the setters in order.
EffectValues effectValuesOf(const std::vector<EffectSetting>& settings);
