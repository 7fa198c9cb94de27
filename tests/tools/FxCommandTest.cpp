// pictavo-fx run as the user runs it: a table of command lines that leave
// every file as it was, then the commands that change files.
#include "collection/CollectionFile.h"
#include "core/AtomicFile.h"
#include "effects/EffectRenderer.h"
#include "graphics/BmpCodec.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "tests/support/FileBytes.h"
#include "tests/support/KindPictures.h"
#include "tests/support/TestPictures.h"
#include "tests/tools/FxRun.h"

#include <QDir>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class FxCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeCollection(
            at("list.pvx"),
            {{"/p/a.jpg", "Sunset"}, {"/p/b c.bmp", ""}, {"/p/ü.jpeg", " Farbverlauf – Übersicht "}});
        write("hand.pvx", "junk\r\n\r\n/x.jpg^one^extra\n/y.bmp^two\x1a/z.jpg^never^\r\n");
        write("ru.pvx", "/p/\xCC\xEE\xE9.jpg^\xCC\xEE\xE9 \xEE\xF2\xEF\xF3\xF1\xEA^\r\n");
        write("we.pvx", "/p/caf\xE9.jpg^\x93quoted\x94 \x80 5^\r\n");
        write("x.xcf", "gimp xcf v011");
        testpics::writeBmp(at("a.bmp"), 30, 10, 1);
        writeCollection(at("late.pvx"), {{at("a.bmp"), ""}, {at("gone.bmp"), ""}});
        // Damaged pictures: a JPEG that ends early, one whose data holds a
        // stray marker, a bitmap shorter than its header says.
        const QByteArray jpeg = encodeJpeg(testpics::pattern(64, 48, 3));
        write("cut.jpg", jpeg.left(jpeg.size() * 3 / 5));
        write("bad.jpg", jpeg.left(jpeg.size() / 2) + "\xFF\xD3" + jpeg.mid(jpeg.size() / 2 + 2));
        write("cut.bmp", fileBytes(at("a.bmp")).left(54 + 5 * 92));
        writeCollection(at("damaged.pvx"), {{at("a.bmp"), ""}, {at("cut.jpg"), ""}});
        write("w.webp", kinds::encoded(kinds::quadrants(8, 8), "webp", 100));
        // A camera RAW is a TIFF inside, yet never written.
        write("exiftool-panasonic-lx3.rw2", fileBytes(QStringLiteral(PV_CORPUS_DIR "/more/exiftool-panasonic-lx3.rw2")));
        // Names that lead to no regular file, in a folder the checks don't read.
        QDir(dir.path()).mkdir("dev");
        ::symlink("/dev/zero", QFile::encodeName(at("dev/z.jpg")).constData());
        ::mkfifo(QFile::encodeName(at("dev/f.pvx")).constData(), 0600);
        ::link(QFile::encodeName(at("a.bmp")).constData(), QFile::encodeName(at("dev/a.bmp")).constData());
    }
    QString at(const QString& name) const { return dir.filePath(name); }
    void write(const char* name, const QByteArray& bytes) { writeFileAtomically(at(name), bytes); }
    QMap<QString, QByteArray> files() const
    {
        QMap<QString, QByteArray> all;
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
            all.insert(name, fileBytes(at(name)));
        return all;
    }
    QTemporaryDir dir;
};

// A command line ("@" the scratch folder), its exit code (2 for a wrong
// command line, 1 for a failure while working), its exact output (null: any)
// and what standard error holds: as many lines as `err` has (one at least)
// whenever the code is not 0, unless the whole usage follows.
struct Line {
    const char* name;
    QStringList args;
    int code;
    const char* out = "";
    const char* err = "";
    const char* lang = "";
    const char* stdoutTo = "";
};

class FxCommandLines : public FxCommand, public ::testing::WithParamInterface<Line> {};

const char* const RussianUtf8 = "1\t/p/\xD0\x9C\xD0\xBE\xD0\xB9.jpg\t\xD0\x9C\xD0\xBE\xD0\xB9 "
                                "\xD0\xBE\xD1\x82\xD0\xBF\xD1\x83\xD1\x81\xD0\xBA\n";
const char* const WesternUtf8 = "1\t/p/caf\xC3\xA9.jpg\t\xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x82\xAC 5\n";

} // namespace

TEST_P(FxCommandLines, ExitCodeAndOutputAndNoFileChanged)
{
    const Line& c = GetParam();
    auto expand = [&](QString s) { return s.replace('@', dir.path()); };
    QStringList args;
    for (const QString& a : c.args)
        args << expand(a);
    const auto before = files();
    const FxResult r = fx(args, QString::fromLatin1(c.lang), QString::fromLatin1(c.stdoutTo));
    EXPECT_EQ(r.exitCode, c.code) << r.err.constData();
    if (c.out) {
        EXPECT_EQ(r.out, expand(QString::fromUtf8(c.out)).toUtf8());
    }
    EXPECT_TRUE(r.err.contains(expand(QString::fromUtf8(c.err)).toUtf8())) << r.err.constData();
    if (!QByteArray(c.err).startsWith("usage:")) { // else the whole usage follows
        EXPECT_EQ(r.err.count('\n'), c.code ? std::max<qsizetype>(1, QByteArray(c.err).count('\n')) : 0)
            << r.err.constData();
    }
    EXPECT_EQ(files(), before);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(, FxCommandLines, ::testing::Values(
    Line{"ListNumberPathAndComment", {"list", "@/list.pvx"}, 0, "1\t/p/a.jpg\tSunset\n2\t/p/b c.bmp\t\n3\t/p/ü.jpeg\t Farbverlauf – Übersicht \n"},
    Line{"ListSkipsLinesWithoutAnEntry", {"list", "@/hand.pvx"}, 0, "1\t/x.jpg\tone\n2\t/y.bmp\ttwo\n"},
    Line{"ListInTheLocalesCodePage1251", {"list", "@/ru.pvx"}, 0, RussianUtf8, "", "ru_RU.UTF-8"},
    Line{"ListInAGivenCodePage1252", {"--code-page=windows-1252", "list", "@/we.pvx"}, 0, WesternUtf8, "", "ru_RU.UTF-8"},
    Line{"ListMissingFile", {"list", "@/missing.pvx"}, 1, "", "pictavo-fx: File not found (@/missing.pvx)\n"},
    Line{"ListAFolder", {"list", "@"}, 1, "", "pictavo-fx: File access denied (@)\n"},
    Line{"ListThatCannotBeWritten", {"list", "@/list.pvx"}, 1, nullptr, "", "", "/dev/full"},
    Line{"ListAFifo", {"list", "@/dev/f.pvx"}, 1, "", "pictavo-fx: Cannot open file \"@/dev/f.pvx\". It is a named pipe, not a regular file.\n"},
    Line{"ListAPicture", {"list", "@/a.bmp"}, 1, "", "pictavo-fx: @/a.bmp is a picture, not a collection\n"},
    Line{"ListWithoutFile", {"list"}, 2},
    Line{"ShortHelp", {"-h"}, 0, nullptr},
    Line{"HelpAsACommand", {"help"}, 0, nullptr},
    Line{"UnknownCodePage", {"--code-page=klingon", "list", "@/list.pvx"}, 2},
    Line{"NoCommand", {}, 2, "", "usage: pictavo-fx ["},
    Line{"RotateUp", {"rotate", "up", "@/a.bmp"}, 2},
    Line{"RotateWithoutFile", {"rotate"}, 2},
    Line{"RotateMissingFile", {"rotate", "left", "@/none.bmp"}, 1, "", "@/none.bmp"},
    Line{"RotateUnknownExtension", {"rotate", "right", "@/x.xcf"}, 1, "", "pictavo-fx rotate: \"@/x.xcf\" is not a picture Pictavo reads (unknown picture file extension .xcf)\n"},
    Line{"RenderUnknownOption", {"render", "--nope=1", "@/a.bmp", "@/b.bmp"}, 2},
    Line{"RenderOneFile", {"render", "@/a.bmp"}, 2},
    Line{"RenderOverItsInput", {"render", "--invert", "@/a.bmp", "@/a.bmp"}, 2, "", "pictavo-fx render: @/a.bmp and @/a.bmp are the same file: render writes a new picture, never its input\n"},
    Line{"RenderOverItsInputByAnotherName", {"render", "@/a.bmp", "@/dev/a.bmp"}, 2, "", "are the same file"},
    Line{"RenderBeyondAnEffectsRange", {"render", "--brightness=9999", "@/a.bmp", "@/b.bmp"}, 2, "", "pictavo-fx render: --brightness=9999 is outside its range, -255 to 255\n"},
    Line{"ApplyBeyondAnEffectsRange", {"apply", "--brightness=-2147483648", "@/list.pvx"}, 2, "", "pictavo-fx apply: --brightness=-2147483648 is outside its range, -255 to 255\n"},
    Line{"RenderToUnknownExtension", {"render", "@/a.bmp", "@/b.gif"}, 1},
    Line{"RenderMissingInput", {"render", "@/none.bmp", "@/b.bmp"}, 1},
    Line{"ApplyMissingCollection", {"apply", "--invert", "@/none.pvx"}, 1, "", "none.pvx"},
    Line{"ApplyChecksEveryEntryBeforeWriting", {"apply", "--invert", "@/late.pvx"}, 1, "", "pictavo-fx apply: Cannot open file \"@/gone.bmp\". No such file or directory\n"
         "pictavo-fx apply: nothing was written (--skip-unusable writes the other pictures)\n"},
    Line{"ApplyRefusesADamagedEntry", {"apply", "--invert", "@/damaged.pvx"}, 1, "", "pictavo-fx apply: \"@/cut.jpg\" is damaged (its data ends early); it was not changed.\n"
         "pictavo-fx apply: nothing was written (--skip-unusable writes the other pictures)\n"},
    Line{"RotateJpegThatEndsEarly", {"rotate", "right", "@/cut.jpg"}, 1, "", "pictavo-fx rotate: \"@/cut.jpg\" is damaged (its data ends early); it was not changed.\n"},
    Line{"RotateJpegWithCorruptData", {"rotate", "left", "@/bad.jpg"}, 1, "", "\"@/bad.jpg\" is damaged (its data is corrupt)"},
    Line{"RotateBitmapThatEndsEarly", {"rotate", "right", "@/cut.bmp"}, 1, "", "\"@/cut.bmp\" is damaged (its data ends early)"},
    Line{"RenderJpegThatEndsEarly", {"render", "--brightness=5", "@/cut.jpg", "@/out.jpg"}, 1, "", "pictavo-fx render: \"@/cut.jpg\" is damaged (its data ends early); it was not changed.\n"},
    Line{"RenderBitmapThatEndsEarly", {"render", "@/cut.bmp", "@/out.bmp"}, 1, "", "\"@/cut.bmp\" is damaged"},
    Line{"RotateAKindOnlyShown", {"rotate", "right", "@/w.webp"}, 1, "", "pictavo-fx rotate: Pictavo shows \"@/w.webp\" but does not change this kind of picture.\n"},
    Line{"RotateACameraRaw", {"rotate", "left", "@/exiftool-panasonic-lx3.rw2"}, 1, "", "Pictavo shows \"@/exiftool-panasonic-lx3.rw2\" but does not change this kind of picture.\n"},
    Line{"RenderALinkToADevice", {"render", "@/dev/z.jpg", "@/out.bmp"}, 1, "", "pictavo-fx render: Cannot open file \"@/dev/z.jpg\". It is a device, not a regular file.\n"},
    // Written to, they are refused before a byte is written.
    Line{"RenderOntoALinkToADevice", {"render", "@/a.bmp", "@/dev/z.jpg"}, 1, "", "pictavo-fx render: Cannot create file \"@/dev/z.jpg\". It is a device, not a regular file.\n"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Bytes some cameras leave before a marker cost no pixels: such a picture is
// written as any other. Told to skip what can't be written, apply writes the rest.
TEST_F(FxCommand, PaddingIsNoDamageAndUnusableEntriesCanBeSkipped)
{
    const QByteArray jpeg = encodeJpeg(testpics::pattern(32, 16, 4));
    const qsizetype tables = jpeg.indexOf("\xFF\xDB");
    write("pad.jpg", jpeg.left(tables) + QByteArray(3, '\0') + jpeg.mid(tables));
    const FxResult turned = fx({"rotate", "right", at("pad.jpg")});
    EXPECT_EQ(turned.exitCode, 0) << turned.err.constData();
    EXPECT_EQ(Picture::loadFromFile(at("pad.jpg")).size(), QSize(16, 32));

    const QByteArray before = fileBytes(at("a.bmp"));
    const FxResult r = fx({"apply", "--skip-unusable", "--invert", at("damaged.pvx")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.contains("is damaged")) << r.err.constData();
    EXPECT_NE(fileBytes(at("a.bmp")), before);
}

TEST_F(FxCommand, RenderToPngKeepsAPngsChunksAndAlphaAndApplyPassesKindsOnlyShown)
{
    QImage image = kinds::quadrants(16, 8, QImage::Format_ARGB32);
    image.setPixel(15, 7, qRgba(0, 0, 0, 0));
    image.setText(QStringLiteral("Title"), QStringLiteral("Kept"));
    write("in.png", kinds::encoded(image, "png"));
    ASSERT_EQ(fx({"render", "--invert", at("in.png"), at("out.png")}).exitCode, 0);
    const QImage out(at("out.png"));
    EXPECT_EQ(out.text(QStringLiteral("Title")), QStringLiteral("Kept"));
    EXPECT_EQ(out.pixel(0, 0), qRgb(0, 255, 255));
    EXPECT_EQ(qAlpha(out.pixel(15, 7)), 0);
    ASSERT_EQ(fx({"render", "--invert", at("in.png"), at("out.tif")}).exitCode, 0);
    EXPECT_EQ(Picture::loadFromFile(at("out.tif")).format(), PictureFormat::Tiff);
    EXPECT_EQ(QImage(at("out.tif")).pixel(0, 0), qRgb(0, 255, 255));

    const QByteArray webp = fileBytes(at("w.webp"));
    writeCollection(at("mixed.pvx"), {{at("w.webp"), "shown only"}, {at("in.png"), "changed"}});
    const FxResult r = fx({"apply", "--brightness=7", at("mixed.pvx")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.err,
              QStringLiteral("Pictavo shows \"%1\" but does not change this kind of picture.\n1 / 1 %2\n"
                             "1 changed, 1 left as they are\n")
                  .arg(at("w.webp"), at("in.png"))
                  .toUtf8());
    EXPECT_EQ(fileBytes(at("w.webp")), webp);
    EXPECT_EQ(Picture::loadFromFile(at("in.png")).format(), PictureFormat::Png);
}

// What render writes is what the engine shows for the same settings, its
// noise drawn as a freshly started program draws it.
TEST_F(FxCommand, RenderWritesTheEngineRendering)
{
    const FxResult r =
        fx({"render", "--contrast=80", "--mosaic=5", "--color-noise=60", at("a.bmp"), at("b.bmp")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EffectRenderer e;
    e.setPictureOriginal(decodeBmp(fileBytes(at("a.bmp"))));
    e.setValue(Effect::Contrast, 80);
    e.setValue(Effect::Mosaic, 5);
    e.setValue(Effect::ColorNoise, 60);
    EXPECT_TRUE(decodeBmp(fileBytes(at("b.bmp"))) == e.rendered());
}

// --help tells every option the manual page documents, and every kind of
// file render writes.
TEST(FxHelp, NamesEveryOptionOfTheManualPageAndEveryOutputKind)
{
    const QString manual = QString::fromUtf8(fileBytes(PV_SOURCE_DIR "/resources/man/pictavo-fx.1"))
                               .replace(QLatin1String("\\-"), QLatin1String("-"));
    const FxResult help = fx({"--help"});
    ASSERT_EQ(help.exitCode, 0);
    const QString text = QString::fromUtf8(help.out);
    QRegularExpressionMatchIterator options =
        QRegularExpression(QStringLiteral("--[a-z][a-z-]*")).globalMatch(manual);
    int found = 0;
    for (; options.hasNext(); ++found) {
        const QString option = options.next().captured();
        EXPECT_TRUE(text.contains(option)) << option.toStdString();
    }
    EXPECT_GT(found, 20);
    for (const char* kind : {".bmp", ".jpg", ".png", ".tif"})
        EXPECT_TRUE(text.contains(QLatin1String(kind))) << kind;
}
