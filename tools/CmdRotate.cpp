#include "tools/Commands.h"

#include <cstdio>

// Placeholder until the subcommand is built; it refuses to run.
int cmdRotate(const Args&)
{
    std::fprintf(stderr, "pictavo-fx: 'rotate' is not available in this build\n");
    return 1;
}
