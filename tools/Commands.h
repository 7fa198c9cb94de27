#pragma once
// Subcommands of pictavo-fx. Each returns the process exit code; args are the
// words after the subcommand name. Errors: one line on stderr, non-zero exit.
#include <string>
#include <vector>

using Args = std::vector<std::string>;

int cmdList(const Args& args);    // list FILE.pvx
int cmdRender(const Args& args);  // render [OPTIONS] IN OUT
int cmdRotate(const Args& args);  // rotate left|right FILE
int cmdApply(const Args& args);   // apply [OPTIONS] FILE.pvx
