// Every fuzz harness, built into the ordinary suite, replays the seeds that
// fuzz/make_seeds writes, the kept findings and the corpus files that fit it:
// a harness aborts on any broken promise, and a crash fails the run.
#include "help/HelpRules.h"
#include "tests/support/FileBytes.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>

// fuzz/fuzz_<name>.cpp, each with its entry point renamed at compile time.
#define PV_HARNESS(h) extern "C" int replay_##h(const std::uint8_t*, std::size_t);
PV_HARNESS(bmp)
PV_HARNESS(jpeg) PV_HARNESS(picture) PV_HARNESS(plugin) PV_HARNESS(heif) PV_HARNESS(raw) PV_HARNESS(jxl)
    PV_HARNESS(svg) PV_HARNESS(animation) PV_HARNESS(webp) PV_HARNESS(exif)
    PV_HARNESS(collection) PV_HARNESS(ini) PV_HARNESS(chm)
        PV_HARNESS(sitemap) int writeFuzzSeeds(int argc, char** argv); // fuzz/make_seeds.cpp's main

namespace {

// A harness, and the files beyond its seeds it replays: those under `root`
// that match `patterns`, each after `prefix`, the selector byte some
// harnesses read first.
struct Harness {
    const char* name;
    int (*run)(const std::uint8_t*, std::size_t);
    QStringList patterns;
    QByteArray prefix = {};
    const char* root = PV_CORPUS_DIR;
};

struct Input {
    QString path;
    QByteArray prefix;
};

QList<Input> filesUnder(const QString& dir, const QStringList& patterns, const QByteArray& prefix = {})
{
    QList<Input> found;
    for (QDirIterator it(dir, patterns, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        found.append({it.next(), prefix});
    return found;
}

QList<Input> inputsFor(const Harness& h, const QString& seeds)
{
    QList<Input> in = filesUnder(seeds + "/" + h.name, {"*"});
    if (!h.patterns.isEmpty())
        in += filesUnder(h.root, h.patterns, h.prefix);
    if (h.name == std::string("picture")) // 0 picks ".bmp", 1 ".jpg"
        in += filesUnder(PV_CORPUS_DIR, {"*.jpg"}, "\1");
    if (h.name == std::string("animation")) // the first byte picks the kind: 0 GIF, 1 WebP, 2 APNG, 3 JXL, 4 AVIF
        in += filesUnder(PV_CORPUS_DIR, {"*.webp"}, "\1") + filesUnder(PV_CORPUS_DIR, {"apng*.png"}, "\2") +
              filesUnder(PV_CORPUS_DIR, {"*.jxl"}, "\3") + filesUnder(PV_CORPUS_DIR, {"*.avif"}, "\4") +
              filesUnder(PV_REGRESSIONS_DIR, {"animation-*"});
    if (h.name == std::string("webp"))
        in += filesUnder(PV_REGRESSIONS_DIR, {"webp-*"});
    if (h.name == std::string("chm"))
        in << Input{help::localHelpPath(help::kFixedHelpPath, PV_BINARY_DIR), {}};
    return in;
}

// A harness that aborts takes the process with it: name the input first.
QByteArray g_current;
extern "C" void nameTheInput(int)
{
    std::fprintf(stderr, "\nfuzz replay aborted on %s\n", g_current.constData());
}

class FuzzReplay : public ::testing::TestWithParam<Harness> {
protected:
    static void SetUpTestSuite()
    {
        seeds = new QTemporaryDir;
        QByteArray program("fuzz_make_seeds"), folder = seeds->path().toLocal8Bit();
        char* argv[] = {program.data(), folder.data(), nullptr};
        ASSERT_EQ(writeFuzzSeeds(2, argv), 0);
        std::signal(SIGABRT, nameTheInput);
    }
    static void TearDownTestSuite() { delete seeds; }
    static inline QTemporaryDir* seeds = nullptr;
};

TEST_P(FuzzReplay, EverySeedFindingAndFittingCorpusFileRunsClean)
{
    QTemporaryDir scratch; // where harnesses put the files they read by path
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", scratch.path().toLocal8Bit());
    const QList<Input> inputs = inputsFor(GetParam(), seeds->path());
    EXPECT_GE(inputs.size(), 2);
    for (const Input& input : inputs) {
        g_current = input.path.toLocal8Bit();
        const QByteArray bytes = input.prefix + fileBytes(input.path);
        ASSERT_FALSE(bytes.isEmpty()) << g_current.constData();
        EXPECT_EQ(GetParam().run(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())), 0)
            << g_current.constData();
    }
    qputenv("TMPDIR", savedTmp);
}

const QByteArray Zero(1, '\0');

// clang-format off
INSTANTIATE_TEST_SUITE_P(Harnesses, FuzzReplay, ::testing::Values(
    Harness{"bmp", replay_bmp, {"*.bmp"}}, Harness{"jpeg", replay_jpeg, {"*.jpg"}},
    Harness{"picture", replay_picture, {"*.bmp"}, Zero},
    Harness{"plugin", replay_plugin, {"*.png"}, Zero}, // 0: PNG
    Harness{"heif", replay_heif, {"*.HEIC", "*.heic", "*.avif"}, Zero},
    Harness{"raw", replay_raw, {"*.cr2", "*.cr3", "*.crw", "*.dng", "*.rw2", "*.kdc", "*.nef"}},
    Harness{"jxl", replay_jxl, {"*.jxl"}}, Harness{"svg", replay_svg, {"*.svg"}},
    Harness{"animation", replay_animation, {"*.gif"}, Zero},
    Harness{"webp", replay_webp, {"*.webp"}},
    Harness{"exif", replay_exif, {"*.jpg"}, "\1"}, // 1: a whole JPEG file
    Harness{"collection", replay_collection, {"*.pvx"}, {}, PV_REGRESSIONS_DIR},
    Harness{"ini", replay_ini, {}}, Harness{"chm", replay_chm, {"*.chm"}, {}, PV_REGRESSIONS_DIR},
    Harness{"sitemap", replay_sitemap, {"*.hhc", "*.hhk"}, {}, PV_SOURCE_DIR "/resources/help"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

} // namespace
