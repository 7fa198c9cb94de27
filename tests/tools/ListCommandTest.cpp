#include "collection/CollectionFile.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct FxResult {
    int exitCode = -1;
    QByteArray out, err;
};

FxResult fx(const QStringList& args, const QString& stdoutFile = {}, const QString& lang = {})
{
    QProcess p;
    if (!lang.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("LC_ALL"));
        env.remove(QStringLiteral("LC_CTYPE"));
        env.insert(QStringLiteral("LANG"), lang);
        p.setProcessEnvironment(env);
    }
    if (!stdoutFile.isEmpty())
        p.setStandardOutputFile(stdoutFile);
    p.start(QStringLiteral(PV_BINARY_DIR "/pictavo-fx"), args);
    FxResult r;
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

class ListCommandTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
};

TEST_F(ListCommandTest, ListsEveryEntryWithItsNumberPathAndComment)
{
    const QString path = dir.filePath("c.pvx");
    writeCollection(path,
                    {{"/p/a.jpg", "Sunset"}, {"/p/b c.bmp", ""}, {"/p/ü.jpeg", " Farbverlauf – Übersicht "}});
    const FxResult r = fx({"list", path});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QByteArray("1\t/p/a.jpg\tSunset\n"
                                "2\t/p/b c.bmp\t\n"
                                "3\t/p/\xC3\xBC.jpeg\t Farbverlauf \xE2\x80\x93 \xC3\x9C"
                                "bersicht \n"));
    EXPECT_EQ(r.err, QByteArray());
}

TEST_F(ListCommandTest, NumbersSkipLinesThatHoldNoEntry)
{
    const QString path = dir.filePath("hand.pvx");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("junk\r\n\r\n/x.jpg^one^extra\n/y.bmp^two\x1a/z.jpg^never^\r\n");
    f.close();
    const FxResult r = fx({"list", path});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QByteArray("1\t/x.jpg\tone\n2\t/y.bmp\ttwo\n"));
}

struct CodePageCase {
    const char* lang;
    const char* option; // --code-page=..., or empty
    QByteArray file;
    QByteArray listed;
};

class ListCodePage : public ListCommandTest, public ::testing::WithParamInterface<CodePageCase> {};

TEST_P(ListCodePage, EightBitCollectionsListAsUtf8InTheLocalesOrTheGivenCodePage)
{
    const CodePageCase c = GetParam();
    const QString path = dir.filePath("8bit.pvx");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(c.file);
    f.close();
    QStringList args{"list", path};
    if (*c.option)
        args.prepend(QString::fromLatin1(c.option));
    const FxResult r = fx(args, {}, QString::fromLatin1(c.lang));
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, c.listed);
}

const QByteArray Russian1251 = "/p/\xCC\xEE\xE9.jpg^\xCC\xEE\xE9 \xEE\xF2\xEF\xF3\xF1\xEA^\r\n";
const QByteArray RussianUtf8 = "1\t/p/\xD0\x9C\xD0\xBE\xD0\xB9.jpg\t\xD0\x9C\xD0\xBE\xD0\xB9 "
                               "\xD0\xBE\xD1\x82\xD0\xBF\xD1\x83\xD1\x81\xD0\xBA\n";
const QByteArray Western1252 = "/p/caf\xE9.jpg^\x93quoted\x94 \x80 5^\r\n";
const QByteArray WesternUtf8 = "1\t/p/caf\xC3\xA9.jpg\t\xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x82\xAC 5\n";

INSTANTIATE_TEST_SUITE_P(
    Locales, ListCodePage,
    ::testing::Values(CodePageCase{"ru_RU.UTF-8", "", Russian1251, RussianUtf8},
                      CodePageCase{"en_US.UTF-8", "", Western1252, WesternUtf8},
                      CodePageCase{"en_US.UTF-8", "--code-page=windows-1251", Russian1251, RussianUtf8},
                      CodePageCase{"ru_RU.UTF-8", "--code-page=windows-1252", Western1252, WesternUtf8}));

TEST_F(ListCommandTest, UnreadableFilesFailWithOneLineOnStderr)
{
    const QString missing = dir.filePath("missing.pvx");
    FxResult r = fx({"list", missing});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.out, QByteArray());
    EXPECT_EQ(r.err, ("pictavo-fx: File not found (" + missing + ")\n").toUtf8());

    r = fx({"list", dir.path()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.err, ("pictavo-fx: File access denied (" + dir.path() + ")\n").toUtf8());

    for (const QStringList& bad : {QStringList{"list"}, QStringList{"list", "a.pvx", "b.pvx"},
                                   QStringList{"--code-page=klingon", "list", missing}}) {
        r = fx(bad);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    }
}

TEST_F(ListCommandTest, AListingThatCannotBeWrittenIsNoSuccess)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const QString path = dir.filePath("c.pvx");
    writeCollection(path, {{"/p/a.jpg", "Sunset"}});
    const FxResult r = fx({"list", path}, "/dev/full");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_FALSE(r.err.isEmpty());
}

} // namespace

// Scripts tell a wrong command line (2) from a failure while working (1).
struct ExitCase {
    QStringList args;
    int code;
};

void PrintTo(const ExitCase& c, std::ostream* os)
{
    *os << "[" << c.args.join(' ').toStdString() << "] -> " << c.code;
}

class FxExitStatus : public ::testing::TestWithParam<ExitCase> {};

TEST_P(FxExitStatus, SaysWhatWentWrong)
{
    const FxResult r = fx(GetParam().args);
    EXPECT_EQ(r.exitCode, GetParam().code) << r.err.constData();
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, FxExitStatus,
    ::testing::Values(ExitCase{{"--help"}, 0}, ExitCase{{"--version"}, 0}, ExitCase{{}, 2},
                      ExitCase{{"frobnicate"}, 2}, ExitCase{{"list"}, 2}, ExitCase{{"rotate", "up", "a.bmp"}, 2},
                      ExitCase{{"render", "--brightness=bright", "a.bmp", "b.bmp"}, 2},
                      ExitCase{{"apply", "--sharpen=3", "c.pvx"}, 2}, ExitCase{{"list", "/nonexistent/c.pvx"}, 1},
                      ExitCase{{"apply", "--invert", "/nonexistent/c.pvx"}, 1}));
