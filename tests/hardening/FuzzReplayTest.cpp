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
    PV_HARNESS(svg) PV_HARNESS(animation) PV_HARNESS(exif)
    PV_HARNESS(collection) PV_HARNESS(ini) PV_HARNESS(chm)
        PV_HARNESS(sitemap) int writeFuzzSeeds(int argc, char** argv); // fuzz/make_seeds.cpp's main

namespace {

struct Harness {
    const char* name;
    int (*run)(const std::uint8_t*, std::size_t);
};

struct Input {
    QString path;
    QByteArray prefix; // the selector byte some harnesses read first
};

QList<Input> filesUnder(const QString& dir, const QStringList& patterns, const QByteArray& prefix = {})
{
    QList<Input> found;
    for (QDirIterator it(dir, patterns, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        found.append({it.next(), prefix});
    return found;
}

QList<Input> inputsFor(const std::string& h, const QString& seeds)
{
    const QString corpus = QStringLiteral(PV_CORPUS_DIR), kept = QStringLiteral(PV_REGRESSIONS_DIR);
    QList<Input> in = filesUnder(seeds + "/" + QString::fromStdString(h), {"*"});
    if (h == "bmp")
        in += filesUnder(corpus, {"*.bmp"});
    else if (h == "jpeg")
        in += filesUnder(corpus, {"*.jpg"});
    else if (h == "picture") // 0 picks ".bmp", 1 ".jpg"
        in += filesUnder(corpus, {"*.bmp"}, QByteArray(1, '\0')) + filesUnder(corpus, {"*.jpg"}, "\1");
    else if (h == "plugin") // 0: PNG
        in += filesUnder(corpus, {"*.png"}, QByteArray(1, '\0'));
    else if (h == "heif")
        in += filesUnder(corpus, {"*.HEIC", "*.heic", "*.avif"}, QByteArray(1, '\0'));
    else if (h == "raw")
        in += filesUnder(corpus, {"*.cr2", "*.cr3", "*.crw", "*.dng", "*.rw2", "*.kdc", "*.nef"});
    else if (h == "jxl")
        in += filesUnder(corpus, {"*.jxl"});
    else if (h == "svg")
        in += filesUnder(corpus, {"*.svg"});
    else if (h == "animation") // the first byte picks the kind
        in += filesUnder(corpus, {"*.gif"}, QByteArray(1, '\0')) + filesUnder(corpus, {"*.webp"}, "\1") +
              filesUnder(corpus, {"apng*.png"}, "\2") + filesUnder(corpus, {"*.jxl"}, "\3") +
              filesUnder(corpus, {"*.avif"}, "\4");
    else if (h == "exif") // 1: a whole JPEG file
        in += filesUnder(corpus, {"*.jpg"}, "\1");
    else if (h == "collection")
        in += filesUnder(kept, {"*.pvx"});
    else if (h == "chm")
        in += filesUnder(kept, {"*.chm"}) << Input{help::localHelpPath(help::kFixedHelpPath, PV_BINARY_DIR), {}};
    else if (h == "sitemap")
        in += filesUnder(PV_SOURCE_DIR "/resources/help", {"*.hhc", "*.hhk"});
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
    const QList<Input> inputs = inputsFor(GetParam().name, seeds->path());
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

INSTANTIATE_TEST_SUITE_P(Harnesses, FuzzReplay,
                         ::testing::Values(Harness{"bmp", replay_bmp}, Harness{"jpeg", replay_jpeg},
                                           Harness{"picture", replay_picture},
                                           Harness{"plugin", replay_plugin}, Harness{"heif", replay_heif},
                                           Harness{"raw", replay_raw}, Harness{"jxl", replay_jxl},
                                           Harness{"svg", replay_svg}, Harness{"animation", replay_animation},
                                           Harness{"exif", replay_exif},
                                           Harness{"collection", replay_collection},
                                           Harness{"ini", replay_ini}, Harness{"chm", replay_chm},
                                           Harness{"sitemap", replay_sitemap}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
