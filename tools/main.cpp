// pictavo-fx: the command-line tool over the viewer's own picture code.
#include "tools/Commands.h"

#include "graphics/TextEncoding.h"

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
    std::fprintf(stderr, "usage: pictavo-fx [--code-page=NAME] COMMAND ...\n");
    for (const Command& c : kCommands)
        std::fprintf(stderr, "  pictavo-fx %s\n", c.usage);
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    // --code-page=NAME, anywhere on the line: the code page of collections
    // that are not UTF-8, instead of the locale's.
    std::vector<char*> words;
    for (int i = 0; i < argc; ++i) {
        constexpr const char* Option = "--code-page=";
        if (std::strncmp(argv[i], Option, std::strlen(Option)) != 0) {
            words.push_back(argv[i]);
            continue;
        }
        const char* name = argv[i] + std::strlen(Option);
        if (knownCodePage(QString::fromLocal8Bit(name)).isEmpty()) {
            std::fprintf(stderr, "pictavo-fx: unknown code page '%s'\n", name);
            return 2;
        }
        setLegacyCodePage(QString::fromLocal8Bit(name));
    }
    if (words.size() < 2)
        return usage();
    for (const Command& c : kCommands) {
        if (std::strcmp(words[1], c.name) == 0)
            return c.run(Args(words.begin() + 2, words.end()));
    }
    std::fprintf(stderr, "pictavo-fx: unknown command '%s'\n", words[1]);
    return usage();
}
