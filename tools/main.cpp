// pictavo-fx: the command-line tool over the viewer's own picture code.
#include "tools/Commands.h"

#include <cstdio>
#include <cstring>

namespace {
struct Command {
    const char* name;
    int (*run)(const Args&);
    const char* usage;
};

const Command kCommands[] = {
    {"list", cmdList, "list FILE.pvx"},
    {"render", cmdRender, "render [OPTIONS] IN OUT"},
    {"rotate", cmdRotate, "rotate left|right FILE"},
    {"apply", cmdApply, "apply [OPTIONS] FILE.pvx"},
};

int usage()
{
    std::fprintf(stderr, "usage: pictavo-fx COMMAND ...\n");
    for (const Command& c : kCommands)
        std::fprintf(stderr, "  pictavo-fx %s\n", c.usage);
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) == 0)
            return c.run(Args(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "pictavo-fx: unknown command '%s'\n", argv[1]);
    return usage();
}
