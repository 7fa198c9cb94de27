#include "collection/CollectionFile.h"
#include "core/AtomicFile.h"
#include "core/FileNames.h"
#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Printers.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using Entries = QList<CollectionEntry>;

// Entries as the file stores them, relative paths as they are written.
Entries asStored(const Entries& read)
{
    Entries out;
    for (const CollectionEntry& e : read)
        out.append({e.storedPath.isEmpty() ? e.path : e.storedPath, e.comment});
    return out;
}

class CollectionFileTest : public ::testing::Test {
protected:
    QString put(const QByteArray& bytes, const QString& name = QStringLiteral("c.pvx"))
    {
        EXPECT_TRUE(putBytes(dir.filePath(name), bytes));
        return dir.filePath(name);
    }
    Entries readBytes(const QByteArray& bytes, const QByteArray& codePage = {})
    {
        return asStored(readCollectionAll(put(bytes), codePage));
    }
    QTemporaryDir dir;
};

struct ReadCase {
    const char* name;
    QByteArray bytes;
    Entries want;
    QList<int> longLines = {}; // left out, and told
};

class CollectionRead : public CollectionFileTest, public ::testing::WithParamInterface<ReadCase> {};

// Entries are numbered as they come.
TEST_P(CollectionRead, FieldsEndAtTheFirstTwoCaretsAndNoLinePassesTheCap)
{
    Entries got;
    QList<int> longLines;
    CollectionReadHooks hooks;
    hooks.longLine = [&longLines](int line) { longLines << line; };
    readCollection(
        put(GetParam().bytes),
        [&got](int n, const CollectionEntry& e) {
            EXPECT_EQ(n, got.size() + 1);
            got << e;
        },
        hooks);
    EXPECT_EQ(asStored(got), GetParam().want);
    EXPECT_EQ(longLines, GetParam().longLines);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, CollectionRead, ::testing::Values(
    ReadCase{"Empty", "", {}}, ReadCase{"EmptyComment", "a.jpg^^", {{"a.jpg", ""}}},
    ReadCase{"TextAfterTheSecondCaret", "a.jpg^note^ignored text^", {{"a.jpg", "note"}}},
    ReadCase{"OneCaret", "a^one\r\nb^two\n", {{"a", "one"}, {"b", "two"}}},
    ReadCase{"SpacesKept", "  a b.jpg  ^  spaced  ^", {{"  a b.jpg  ", "  spaced  "}}},
    ReadCase{"LoneCarriageReturnIsText", "x\r^y^\r\n", {{"x\r", "y"}}},
    ReadCase{"EndMarkInsideALine", "a^1^\r\nb^2\x1a^tail\r\nc^3^\r\n", {{"a", "1"}, {"b", "2"}}},
    ReadCase{"BlankAndCaretlessLinesSkipped", "\r\na^1^\r\n\r\njunk\r\n\nb^2^\r\n\r\n", {{"a", "1"}, {"b", "2"}}},
    // The file's byte order mark goes, one starting a field stays.
    ReadCase{"ByteOrderMarks", "\xEF\xBB\xBF\xEF\xBB\xBF" "a.jpg^\xEF\xBB\xBF" "note^",
             {{QString(QChar(0xFEFF)) + "a.jpg", QString(QChar(0xFEFF)) + "note"}}},
    ReadCase{"Utf8", "/m/\xF0\x9F\x8E\xA8.jpg^\xC3\xA9^\r\n", {{"/m/🎨.jpg", "é"}}},
    // A line past 64 KiB is one entry left out, wherever it ends.
    ReadCase{"LongLineLeftOut", "a^1^\r\n" + QByteArray(MaxCollectionLine + 1, 'x') + "^c^\r\nb^2^\r\n", {{"a", "1"}, {"b", "2"}}, {2}},
    ReadCase{"LineAtTheCapKept", QByteArray(MaxCollectionLine - 2, 'n') + "^^\r\n", {{QString(MaxCollectionLine - 2, 'n'), ""}}},
    ReadCase{"LongLastLineWithoutLineEnd", "a^1^\n" + QByteArray(3 * MaxCollectionLine, '\0'), {{"a", "1"}}, {2}},
    // A CR of a CR LF pair at the very end of one 64 KiB read, its LF in the next.
    ReadCase{"CrLfAcrossReads", "/" + QByteArray(65536 - 5, 'n') + "^c^\r\njunk\r\n/b^2^\r\n", {{"/" + QString(65536 - 5, 'n'), "c"}, {"/b", "2"}}},
    ReadCase{"LongLineCutByTheEndMark", "a^1^\n" + QByteArray(MaxCollectionLine + 9, 'x') + "\x1a" "b^2^", {{"a", "1"}}, {2}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(CollectionFileTest, WritesPathCaretCommentCaretCrLfAsUtf8AndReadsItBack)
{
    const Entries list{{"/p/a.jpg", "Sunset"}, {"/p/b.bmp", ""}, {"/p/Ü.jpg", "Farbverlauf – Übersicht"}};
    EXPECT_EQ(formatCollection(list), QByteArray("/p/a.jpg^Sunset^\r\n/p/b.bmp^^\r\n"
                                                 "/p/\xC3\x9C.jpg^Farbverlauf \xE2\x80\x93 \xC3\x9C" "bersicht^\r\n"));
    // Order, spaces and each duplicate's own comment survive.
    const Entries round{{" /a b/lead.jpg", " both ends "}, {"/x/Dup.JPG", "first"}, {"/x/dup.jpg", "second"},
                        {"/x/Dup.JPG", "third"}, {"/z/tail.jpeg  ", "  "}};
    const QString path = dir.filePath("round.pvx");
    writeCollection(path, round);
    EXPECT_EQ(asStored(readCollectionAll(path)), round);
    // Rewriting with fewer entries leaves nothing of the longer file behind.
    writeCollection(path, {{"/only.jpg", "1"}});
    EXPECT_EQ(fileBytes(path), QByteArray("/only.jpg^1^\r\n"));
    // Line breaks and the end mark in fields cannot split the file.
    EXPECT_EQ(readBytes(formatCollection({{"a.jpg", "one\r\ntwo\nthree"}, {QString("b") + QChar(26) + ".jpg", "c"}})),
              (Entries{{"a.jpg", "one  two three"}, {"b .jpg", "c"}}));
}

TEST_F(CollectionFileTest, ARewriteKeepsTheLinesTheReaderLeftOut)
{
    const QByteArray longLine = "/p/long.jpg^" + QByteArray(MaxCollectionLine, 'c') + "^";
    const QString path = put("a^1^\r\n" + longLine + "\n" + QByteArray(MaxCollectionLine + 1, 'x') + "\x1a" "b^2^");
    const Entries read = readCollectionAll(path) + Entries{{"n", "3"}};
    writeCollection(path, read);
    const QByteArray kept = "a^1^\r\nn^3^\r\n" + longLine + "\r\n" + QByteArray(MaxCollectionLine + 1, 'x') + "\r\n";
    EXPECT_EQ(fileBytes(path), kept);
    EXPECT_EQ(asStored(readCollectionAll(path)), asStored(read));
}

TEST_F(CollectionFileTest, TheWholeFileIsUtf8OrInTheCodePageAndKeepsItWhenRewritten)
{
    const QByteArray cyrillic = "windows-1251";
    // One line that isn't UTF-8 puts the whole file in the code page, also
    // the line before it that would pass for UTF-8 on its own.
    const QString path = put("/m/\xD0\xB0.jpg^\xD0\xB0^\r\n/m/\xCC\xEE\xE9.jpg^\xCC\xEE\xE9^\r\n");
    const Entries got = readCollectionAll(path, cyrillic);
    EXPECT_EQ(got, (Entries{{"/m/Р°.jpg", "Р°"}, {"/m/Мой.jpg", "Мой"}}));
    writeCollection(path, got + Entries{{"/m/new.jpg", "Новый"}}, cyrillic);
    EXPECT_EQ(fileBytes(path), "/m/\xD0\xB0.jpg^\xD0\xB0^\r\n/m/\xCC\xEE\xE9.jpg^\xCC\xEE\xE9^\r\n"
                               "/m/new.jpg^\xCD\xEE\xE2\xFB\xE9^\r\n");
    // Overlong forms are no UTF-8.
    EXPECT_EQ(readBytes("/m/\xC0\xAF.jpg^x^\r\n", cyrillic)[0].path, "/m/АЇ.jpg");
}

// A file past the caps is refused: by its size before a byte is read, by
// its entries when the millionth and first is met.
TEST_F(CollectionFileTest, AFileTooLargeOrWithTooManyEntriesIsRefused)
{
    const QString huge = dir.filePath("huge.pvx");
    QFile sparse(huge);
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(3) << 30));
    EXPECT_EQ(
        errorText([&] { readCollectionAll(huge); }),
        QStringLiteral("\"%1\" is too large for a collection (3072 MB; the limit is 64 MB).").arg(huge));
    QByteArray many;
    for (int k = 0; k <= MaxCollectionEntries; ++k)
        many += "/a^^\n";
    const QString path = put(many);
    int taken = 0;
    EXPECT_EQ(errorText([&] { readCollection(path, [&taken](int, const CollectionEntry&) { ++taken; }); }),
              QStringLiteral("\"%1\" lists more than 1000000 pictures, more than a collection may hold.")
                  .arg(path));
    EXPECT_EQ(taken, MaxCollectionEntries);
}

// A relative path is read against the collection file's folder, from any
// current folder, and written back as it was while it still names the
// same file; a name whose bytes are no text finds its file and is written
// as those bytes.
TEST_F(CollectionFileTest, RelativeAndForeignPathsFindTheirFileAndAreWrittenAsStored)
{
    QDir(dir.path()).mkpath("col/sub");
    QDir(dir.path()).mkpath("other");
    const QString col = dir.filePath("col");
    // A Latin-1 name, as an old memory card holds it.
    const QString latin1 = fileNameFromNative(QFile::encodeName(col) + "/latin1-\xE9\xE8.jpg");
    for (const auto& [file, bytes] :
         {std::pair{col + "/sub/r.jpg", "r"}, {dir.filePath("other/p.jpg"), "p"}, {latin1, "f"}})
        writeFileAtomically(file, bytes);
    const QByteArray western = "windows-1252";
    const QByteArray stored = "sub/r.jpg^\xE9t\xE9^\r\n../other/p.jpg^p^\r\n/abs/q.jpg^q^\r\n^e^\r\n"
                              "latin1-\xE9\xE8.jpg^f^\r\n";
    const QString path = put(stored, "col/c.pvx");
    // As `cd other; pictavo-fx apply ../col/c.pvx` reads it.
    const QString here = QDir::currentPath();
    QDir::setCurrent(dir.filePath("other"));
    const Entries read = readCollectionAll("../col/c.pvx", western);
    QDir::setCurrent(here);
    QStringList found;
    for (const CollectionEntry& e : read) {
        const QString text = errorText([&] { found << QString::fromLatin1(readWholeFile(e.path)); });
        if (!text.isEmpty())
            found << "-";
    }
    EXPECT_EQ(found, QStringList({"r", "p", "-", "-", "f"}));

    writeCollection(path, read, western);
    EXPECT_EQ(fileBytes(path), stored);
    // A new file beside it, and one elsewhere, where a path that no longer
    // names its file from there is written as the file's path.
    const auto files = [](const Entries& entries) {
        QStringList out;
        for (const CollectionEntry& e : entries)
            out << e.path + "|" + e.comment;
        return out;
    };
    for (const QString& again : {col + "/d.pvx", dir.filePath("other/e.pvx")}) {
        writeCollection(again, read, western);
        EXPECT_EQ(files(readCollectionAll(again, western)), files(read));
    }
    EXPECT_EQ(fileBytes(col + "/d.pvx"), stored);
    ::unlink(nativeFileName(latin1).constData()); // Qt's clean-up can't name it
}

TEST_F(CollectionFileTest, ErrorsNameTheFailureAndThePathAndCloseTheFile)
{
    const QString file = put("a^1^\r\nbad^2^\r\nc^3^\r\n");
    for (const auto& [path, text] : {std::pair{dir.filePath("missing.pvx"), "File not found"},
                                     {dir.filePath("no/such.pvx"), "Path not found"}, {dir.path(), "File access denied"},
                                     {file + "/below", "Path not found"}})
        EXPECT_EQ(errorText([&] { readCollectionAll(path); }), text + (" (" + path + ")"));

    // Entries before a failing handler are kept and the file is closed.
    const auto openFiles = [] { return QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size(); };
    const qsizetype before = openFiles();
    Entries got;
    const auto keepUntilBad = [&](int, const CollectionEntry& e) {
        if (e.storedPath == "bad")
            throw AppError("Unknown picture file extension (.)");
        got << e;
    };
    EXPECT_THROW(readCollection(file, keepUntilBad), AppError);
    EXPECT_EQ(asStored(got), (Entries{{"a", "1"}}));
    EXPECT_EQ(openFiles(), before);
}

} // namespace
