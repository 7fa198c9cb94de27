#include "collection/CollectionFile.h"
#include "core/AtomicFile.h"
#include "core/Errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace {

using Entries = QList<CollectionEntry>;

class CollectionFileTest : public ::testing::Test {
protected:
    QString put(const QByteArray& bytes, const QString& name = QStringLiteral("c.pvx"))
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    Entries readBytes(const QByteArray& bytes) { return readCollectionAll(put(bytes)); }
    static QByteArray fileBytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    QString errorOf(const QString& path)
    {
        try {
            readCollectionAll(path);
        } catch (const AppError& e) {
            return e.text();
        }
        return QStringLiteral("<no error>");
    }
    QTemporaryDir dir;
};

TEST_F(CollectionFileTest, WritesPathCaretCommentCaretCrLfAsUtf8)
{
    const Entries list{{"/p/a.jpg", "Sunset"}, {"/p/b.bmp", ""}, {"/p/Ü.jpg", "Farbverlauf – Übersicht"}};
    EXPECT_EQ(formatCollection(list), QByteArray("/p/a.jpg^Sunset^\r\n/p/b.bmp^^\r\n"
                                                 "/p/\xC3\x9C.jpg^Farbverlauf \xE2\x80\x93 \xC3\x9C"
                                                 "bersicht^\r\n"));
    EXPECT_EQ(formatCollection({}), QByteArray());
    // A caret in a comment goes out unchanged, the rest of the line is lost on reading.
    EXPECT_EQ(formatCollection({{"a", "x^y"}}), QByteArray("a^x^y^\r\n"));
    EXPECT_EQ(readBytes(formatCollection({{"a", "x^y"}})), (Entries{{"a", "x"}}));
}

TEST_F(CollectionFileTest, LineBreaksAndEndMarkInFieldsCannotSplitTheFile)
{
    const Entries list{{"a.jpg", "one\r\ntwo\nthree"}, {QString("b") + QChar(26) + ".jpg", "c"}};
    const Entries back = readBytes(formatCollection(list));
    EXPECT_EQ(back, (Entries{{"a.jpg", "one  two three"}, {"b .jpg", "c"}}));
}

TEST_F(CollectionFileTest, ParsesOneLine)
{
    struct Case {
        QByteArray line;
        bool ok;
        CollectionEntry want;
    };
    const Case cases[] = {
        {"a.jpg^^", true, {"a.jpg", ""}},
        {"a.jpg^note^ignored text^", true, {"a.jpg", "note"}},
        {"a.jpg^only one caret", true, {"a.jpg", "only one caret"}},
        {"^c^", true, {"", "c"}},
        {"  a b.jpg  ^  spaced  ^", true, {"  a b.jpg  ", "  spaced  "}},
        {"x\r^y^", true, {"x\r", "y"}}, // a lone CR inside a line is text
        {"no separator", false, {}},
        {"", false, {}},
    };
    for (const Case& c : cases) {
        CollectionEntry e;
        EXPECT_EQ(parseCollectionLine(c.line, e), c.ok) << c.line.constData();
        if (c.ok) {
            EXPECT_EQ(e, c.want) << c.line.constData();
        }
    }
}

TEST_F(CollectionFileTest, TheWholeFileIsUtf8OrInTheCodePageAndKeepsItWhenRewritten)
{
    setLegacyCodePage("windows-1251");
    // One line that isn't UTF-8 puts the whole file in the code page, also
    // the line before it that would pass for UTF-8 on its own.
    const QString path = put("/m/\xD0\xB0.jpg^\xD0\xB0^\r\n/m/\xCC\xEE\xE9.jpg^\xCC\xEE\xE9^\r\n");
    const Entries got = readCollectionAll(path);
    EXPECT_EQ(got, (Entries{{"/m/Р°.jpg", "Р°"}, {"/m/Мой.jpg", "Мой"}}));
    writeCollection(path, got + Entries{{"/m/new.jpg", "Новый"}});
    EXPECT_EQ(fileBytes(path), "/m/\xD0\xB0.jpg^\xD0\xB0^\r\n/m/\xCC\xEE\xE9.jpg^\xCC\xEE\xE9^\r\n"
                               "/m/new.jpg^\xCD\xEE\xE2\xFB\xE9^\r\n");
    // Valid UTF-8 throughout is UTF-8, overlong forms and surrogates are not.
    EXPECT_EQ(readBytes("/m/\xF0\x9F\x8E\xA8.jpg^\xC3\xA9^\r\n"), (Entries{{"/m/🎨.jpg", "é"}}));
    EXPECT_EQ(readBytes("/m/\xC0\xAF.jpg^x^\r\n")[0].FileName, "/m/АЇ.jpg");
    setLegacyCodePage(QString());
}

TEST_F(CollectionFileTest, ReadsLineEndsEndMarkAndSkippedLines)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        Entries want;
    };
    const Case cases[] = {
        {"empty file", "", {}},
        {"CR LF", "a^1^\r\nb^2^\r\n", {{"a", "1"}, {"b", "2"}}},
        {"LF only", "a^1^\nb^2^\n", {{"a", "1"}, {"b", "2"}}},
        {"last line without end", "a^1^\r\nb^2^", {{"a", "1"}, {"b", "2"}}},
        {"one caret, CR LF", "a^one\r\nb^two\n", {{"a", "one"}, {"b", "two"}}},
        {"last line one caret", "a^1^\r\nb^two", {{"a", "1"}, {"b", "two"}}},
        {"byte 26 ends the file",
         "a^1^\r\n\x1a"
         "b^2^\r\n",
         {{"a", "1"}}},
        {"byte 26 inside a line", "a^1^\r\nb^2\x1a^tail\r\nc^3^\r\n", {{"a", "1"}, {"b", "2"}}},
        {"blank and caretless lines", "\r\na^1^\r\n\r\njunk\r\n\nb^2^\r\n\r\n", {{"a", "1"}, {"b", "2"}}},
        {"UTF-8 byte-order mark",
         "\xEF\xBB\xBF"
         "a^1^\r\n",
         {{"a", "1"}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readBytes(c.bytes), c.want) << c.name;
}

TEST_F(CollectionFileTest, NumbersCountOnlyEntries)
{
    QList<int> numbers;
    readCollection(put("junk\r\na^1^\r\n\r\nb^2^\r\n"), [&](int n, const CollectionEntry&) { numbers << n; });
    EXPECT_EQ(numbers, (QList<int>{1, 2}));
}

TEST_F(CollectionFileTest, LinesCrossingReadChunksStayWhole)
{
    // A CR of a CR LF pair at the very end of one 64 KiB chunk, its LF in the next.
    const QByteArray longName = "/" + QByteArray(65536 - 5, 'n');
    QByteArray bytes = longName + "^c^\r\nb^2^\r\n";
    ASSERT_EQ(bytes.indexOf('\r'), 65535);
    const QByteArray huge(300000, 'h');
    bytes += huge + "^" + huge + "^\r\n";
    const Entries got = readBytes(bytes);
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[0], (CollectionEntry{QString::fromLatin1(longName), "c"}));
    EXPECT_EQ(got[1], (CollectionEntry{"b", "2"}));
    EXPECT_EQ(got[2].Comment.size(), huge.size());
}

TEST_F(CollectionFileTest, RoundTripKeepsOrderSpacesAndEachDuplicatesOwnComment)
{
    const Entries list{{" /a b/lead.jpg", " both ends "}, {"/x/Dup.JPG", "first"}, {"/y/ß é.bmp", ""},
                       {"/x/dup.jpg", "second"},          {"/x/Dup.JPG", "third"}, {"/z/tail.jpeg  ", "  "}};
    const QString path = dir.filePath("round.pvx");
    writeCollection(path, list);
    EXPECT_EQ(fileBytes(path), formatCollection(list));
    EXPECT_EQ(readCollectionAll(path), list);

    // Rewriting with fewer entries leaves nothing of the longer file behind.
    writeCollection(path, {{"/only.jpg", "1"}});
    EXPECT_EQ(fileBytes(path), QByteArray("/only.jpg^1^\r\n"));
}

TEST_F(CollectionFileTest, HandsEachEntryOnBeforeTheRestIsWritten)
{
    // Through a pipe: the second half is written only after the first entry
    // arrived, so a reader that waits for the end of the file would hang here.
    const QString fifo = dir.filePath("pipe.pvx");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    std::atomic<int> seen{0};
    std::atomic<bool> firstBeforeEnd{false};
    std::thread writer([&] {
        QFile f(fifo);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        f.write("a^1^\r\n");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (seen == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        firstBeforeEnd = seen == 1;
        f.write("b^2^\r\n");
    });
    Entries got;
    readCollection(fifo, [&](int, const CollectionEntry& e) {
        got << e;
        ++seen;
    });
    writer.join();
    EXPECT_TRUE(firstBeforeEnd);
    EXPECT_EQ(got, (Entries{{"a", "1"}, {"b", "2"}}));
}

TEST_F(CollectionFileTest, ErrorTextsNameTheRunTimeFailureAndThePath)
{
    const QString missing = dir.filePath("missing.pvx");
    EXPECT_EQ(errorOf(missing), "File not found (" + missing + ")");
    const QString noFolder = dir.filePath("no/such/folder.pvx");
    EXPECT_EQ(errorOf(noFolder), "Path not found (" + noFolder + ")");
    EXPECT_EQ(errorOf(dir.path()), "File access denied (" + dir.path() + ")");
    const QString file = put("a^1^\r\n");
    EXPECT_EQ(errorOf(file + "/below"), "Path not found (" + file + "/below)");

    EXPECT_EQ(ioErrorText(ENOSPC, "/d/c.pvx"), "Disk full (/d/c.pvx)");
    EXPECT_EQ(ioErrorText(EIO, "/d/c.pvx"), QString("I/O error %1 (/d/c.pvx)").arg(EIO));
}

TEST_F(CollectionFileTest, EntriesBeforeAFailingHandlerAreKeptAndTheFileIsClosed)
{
    const auto openFiles = [] { return QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size(); };
    const qsizetype before = openFiles();
    Entries got;
    EXPECT_THROW(readCollection(put("a^1^\r\nbad^2^\r\nc^3^\r\n"),
                                [&](int, const CollectionEntry& e) {
                                    if (e.FileName == "bad")
                                        throw AppError("Unknown picture file extension (.)");
                                    got << e;
                                }),
                 AppError);
    EXPECT_EQ(got, (Entries{{"a", "1"}}));
    EXPECT_EQ(openFiles(), before);
}

TEST_F(CollectionFileTest, FailedWriteLeavesTheOldFileWhole)
{
    const QString path = dir.filePath("keep.pvx");
    const Entries old{{"/old/a.jpg", "kept"}};
    writeCollection(path, old);
    const QByteArray oldBytes = fileBytes(path);

    // A file-size limit makes the write itself fail halfway, as a full disk would.
    Entries big;
    for (int i = 0; i < 2000; ++i)
        big << CollectionEntry{QStringLiteral("/new/picture%1.jpg").arg(i), "some comment"};
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    try {
        writeCollection(path, big);
    } catch (const AppError& e) {
        error = e.text();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(error, "Disk full (" + path + ")");
    EXPECT_EQ(fileBytes(path), oldBytes);
    EXPECT_EQ(readCollectionAll(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.pvx"});
}

TEST_F(CollectionFileTest, WriteFailingAtAnyStepNamesTheErrorAndKeepsTheOldFile)
{
    const QString path = dir.filePath("steps.pvx");
    const Entries old{{"/old/a.jpg", "kept"}, {"/old/b.bmp", ""}};
    writeCollection(path, old);
    const QByteArray oldBytes = fileBytes(path);
    const struct {
        AtomicWriteFault step;
        int error;
        QString text;
    } cases[] = {
        {AtomicWriteFault::Open, EROFS, "File access denied"},
        {AtomicWriteFault::Write, ENOSPC, "Disk full"},
        {AtomicWriteFault::Flush, EIO, QString("I/O error %1").arg(EIO)},
        {AtomicWriteFault::Commit, EXDEV, QString("I/O error %1").arg(EXDEV)},
    };
    for (const auto& c : cases) {
        setAtomicWriteFault(c.step, c.error);
        QString error;
        try {
            writeCollection(path, {{"/new/c.jpg", "replaced"}});
        } catch (const AppError& e) {
            error = e.text();
        }
        setAtomicWriteFault(AtomicWriteFault::None);
        EXPECT_EQ(error, c.text + " (" + path + ")") << int(c.step);
        EXPECT_EQ(fileBytes(path), oldBytes) << int(c.step);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"steps.pvx"});
}

} // namespace
