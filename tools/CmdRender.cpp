#include "tools/Commands.h"

#include <cstdio>

// Placeholder until the subcommand is built; it refuses to run.
int cmdRender(const Args&)
{
    std::fprintf(stderr, "pictavo-fx: 'render' is not available in this build\n");
    return 1;
}
