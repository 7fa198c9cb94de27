// pictavo-fx: the command-line tool over the viewer's own picture code.
#include "tools/Commands.h"

#include "effects/EffectSettings.h"
#include "effects/EffectRenderer.h"
#include "core/TextEncoding.h"
#include "graphics/DecoderMessages.h"

#include <cstdio>
#include <cstring>

namespace {
struct Command {
    const char* name;
    int (*run)(const Args&);
    const char* usage;
    const char* does;
};

const Command kCommands[] = {
    {"list", cmdList, "list FILE.pvx", "print each entry's number, file name and comment"},
    {"render", cmdRender, "render [OPTIONS] IN OUT", "write IN through the effects into a new .bmp or .jpg OUT"},
    {"rotate", cmdRotate, "rotate left|right FILE", "turn a picture file a quarter turn, in place"},
    {"apply", cmdApply, "apply [OPTIONS] FILE.pvx", "write the effects into every picture of a collection"},
};

void printUsage(std::FILE* to)
{
    std::fprintf(to, "usage: pictavo-fx [--code-page=NAME] [--verbose] COMMAND ...\n");
    for (const Command& c : kCommands)
        std::fprintf(to, "  pictavo-fx %-26s %s\n", c.usage, c.does);
    std::fprintf(to, "  pictavo-fx --help | --version\n");
}

int help()
{
    printUsage(stdout);
    std::printf("\nOPTIONS (render, apply):");
    for (int i = 0; i < EffectPropertyCount; ++i) {
        const auto p = EffectProperty(i);
        std::printf("%s--%s%s", i % 5 ? " " : "\n  ", effectOptionName(p), isBooleanProperty(p) ? "[=0|1]" : "=N");
    }
    std::printf("\n  render also takes --show-properties.\n"
                "  render, rotate and apply take --no-auto-orient: JPEGs as stored, not turned\n"
                "  upright by their EXIF orientation.\n"
                "  --verbose (any command) lets the picture libraries' own messages through to\n"
                "  standard error.\n\n"
                "Exit status: 0 done, 1 a failure while working, 2 a wrong command line.\n"
                "See pictavo-fx(1).\n");
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    // --code-page=NAME, anywhere on the line: the code page of collections
    // that are not UTF-8, instead of the locale's.
    std::vector<char*> words;
    for (int i = 0; i < argc; ++i) {
        // --verbose, anywhere: what the picture libraries say goes to standard error.
        if (i > 0 && std::strcmp(argv[i], "--verbose") == 0) {
            showDecoderMessages(true);
            continue;
        }
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
    if (words.size() < 2) {
        printUsage(stderr);
        return 2;
    }
    if (std::strcmp(words[1], "--help") == 0)
        return help();
    if (std::strcmp(words[1], "--version") == 0) {
        std::printf("pictavo-fx %s\n", PICTAVO_VERSION);
        return 0;
    }
    for (const Command& c : kCommands) {
        if (std::strcmp(words[1], c.name) == 0)
            return c.run(Args(words.begin() + 2, words.end()));
    }
    std::fprintf(stderr, "pictavo-fx: unknown command '%s'\n", words[1]);
    printUsage(stderr);
    return 2;
}
