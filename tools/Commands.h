#pragma once
// Subcommands of pictavo-fx. Each returns the process exit code; args are the
// words after the subcommand name. Errors: one line on stderr, exit 1 for a
// failure while working, 2 for a command line that is wrong.
#include "graphics/Picture.h"

#include <algorithm>
#include <cstdio>
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

// What every command takes from the line before its own words.
struct CommonOptions {
    QByteArray codePage; // of collections that are not UTF-8; empty: the locale's
};

int cmdList(const Args& args, const CommonOptions& common = {});    // list FILE.pvx
int cmdRender(const Args& args, const CommonOptions& = {});  // render [--no-auto-orient] [OPTIONS] IN OUT
int cmdRotate(const Args& args, const CommonOptions& = {});  // rotate [--no-auto-orient] left|right FILE
int cmdApply(const Args& args, const CommonOptions& common = {});   // apply [--no-auto-orient] [OPTIONS] FILE.pvx

// "pictavo-fx <command>: <text>" on stderr; answers 2.
inline int usageError(const char* command, const std::string& text)
{
    std::fprintf(stderr, "pictavo-fx %s: %s\n", command, text.c_str());
    return 2;
}
