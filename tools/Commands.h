#pragma once
// Subcommands of pictavo-fx. Each returns the process exit code; args are the
// words after the subcommand name. Errors: one line on stderr, exit 1 for a
// failure while working, 2 for a command line that is wrong.
#include <cstdio>
#include <string>
#include <vector>

using Args = std::vector<std::string>;

int cmdList(const Args& args);    // list FILE.pvx
int cmdRender(const Args& args);  // render [OPTIONS] IN OUT
int cmdRotate(const Args& args);  // rotate left|right FILE
int cmdApply(const Args& args);   // apply [OPTIONS] FILE.pvx

// "pictavo-fx <command>: <text>" on stderr; answers 2.
inline int usageError(const char* command, const std::string& text)
{
    std::fprintf(stderr, "pictavo-fx %s: %s\n", command, text.c_str());
    return 2;
}
