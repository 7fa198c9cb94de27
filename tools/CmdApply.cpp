#include "tools/Commands.h"

#include <cstdio>

// Placeholder until the subcommand is built; it refuses to run.
int cmdApply(const Args&)
{
    std::fprintf(stderr, "pictavo-fx: 'apply' is not available in this build\n");
    return 1;
}
