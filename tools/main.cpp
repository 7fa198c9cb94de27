// pictavo-fx: the command-line tool over the viewer's own picture code.
#include "tools/Commands.h"

#include "core/AtomicFile.h"
#include "core/TextEncoding.h"
#include "effects/EffectSettings.h"
#include "graphics/DecoderMessages.h"
#include "graphics/PictureLoaders.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {
struct Command {
    const char* name;
    int (*run)(const Args&, const CommonOptions&);
    const char* usage;
    const char* does;
};

const Command kCommands[] = {
    {"list", cmdList, "list FILE.pvx", "print each entry's number, file name and comment"},
    {"render", cmdRender, "render [OPTIONS] IN OUT",
     "write IN through the effects into a new OUT: .bmp, .jpg, .png or .tif"},
    {"rotate", cmdRotate, "rotate left|right FILE", "turn a picture file a quarter turn, in place"},
    {"apply", cmdApply, "apply [--skip-unusable] [OPTIONS] FILE.pvx",
     "write the effects into every picture of a collection"},
};

void printUsage(std::FILE* to)
{
    std::fprintf(to, "usage: pictavo-fx [--code-page=NAME] [--verbose] COMMAND ...\n");
    for (const Command& c : kCommands)
        std::fprintf(to, "  pictavo-fx %s\n      %s\n", c.usage, c.does);
    std::fprintf(to, "  pictavo-fx --help | -h | help | --version\n");
}

int help()
{
    printUsage(stdout);
    std::printf("\nIN is any picture the viewer reads: JPEG, BMP, PNG, GIF, WebP, TIFF, HEIC/HEIF,\n"
                "AVIF, ICO, camera RAW, JPEG XL or SVG, told by its content. rotate and apply\n"
                "write JPEG, BMP, PNG and TIFF back in their own kind; GIF, WebP, HEIC/HEIF,\n"
                "AVIF, icons, RAW, JPEG XL and SVG are never changed (rotate refuses them,\n"
                "apply passes them by and counts them).\n");
    std::printf("\nOPTIONS (render, apply), applied in the order given; a value outside its\n"
                "range is refused:\n");
    for (const EffectInfo& info : kEffectTable) {
        if (info.onOff)
            std::printf("  --%s[=0|1]\n", info.option);
        else
            std::printf("  %-22s%s\n", (std::string("--") + info.option + "=N").c_str(),
                        effectRangeText(info.effect).c_str());
    }
    std::printf("  render also takes --show-properties: print every effect property after it.\n"
                "  apply checks every picture before it writes any; if some can't be written\n"
                "  it names each and writes nothing, unless --skip-unusable, which writes the\n"
                "  others.\n"
                "  render, rotate and apply take --no-auto-orient: pictures as stored, not\n"
                "  turned upright by their orientation.\n"
                "  --code-page=NAME (any command): the code page of collections that are not\n"
                "  UTF-8, instead of the locale's.\n"
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
    CommonOptions common;
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
        common.codePage = knownCodePage(QString::fromLocal8Bit(name));
    }
    // A write that a kill cut short is put right before anything is read.
    recoverInterruptedWrites();
    if (words.size() < 2) {
        printUsage(stderr);
        return 2;
    }
    for (const char* asked : {"--help", "-h", "help"}) {
        if (std::strcmp(words[1], asked) == 0)
            return help();
    }
    if (std::strcmp(words[1], "--version") == 0) {
        std::printf("pictavo-fx %s\n%s\n", PICTAVO_VERSION, qPrintable(PictureLoaders::confinementSummary()));
        return 0;
    }
    for (const Command& c : kCommands) {
        if (std::strcmp(words[1], c.name) == 0)
            return c.run(Args(words.begin() + 2, words.end()), common);
    }
    std::fprintf(stderr, "pictavo-fx: unknown command '%s'\n", words[1]);
    printUsage(stderr);
    return 2;
}
