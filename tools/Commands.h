#pragma once
// Subcommands of pictavo-fx. Each returns the process exit code; args are the
// words after the subcommand name. Errors: one line on stderr, non-zero exit.
#include "graphics/Picture.h"

#include <algorithm>
#include <string>
#include <vector>

using Args = std::vector<std::string>;

// Takes "--no-auto-orient" out of the words: JPEGs are then read as stored,
// their EXIF orientation not applied.
inline ExifOrientation takeExifOrientationOption(Args& args)
{
    const auto end = std::remove(args.begin(), args.end(), std::string("--no-auto-orient"));
    const bool ignore = end != args.end();
    args.erase(end, args.end());
    return ignore ? ExifOrientation::Ignore : ExifOrientation::Apply;
}

int cmdList(const Args& args);    // list FILE.pvx
int cmdRender(const Args& args);  // render [--no-auto-orient] [OPTIONS] IN OUT
int cmdRotate(const Args& args);  // rotate [--no-auto-orient] left|right FILE
int cmdApply(const Args& args);   // apply [--no-auto-orient] [OPTIONS] FILE.pvx
