#include "collection/CollectionFile.h"
#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Printers.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Entries = QList<CollectionEntry>;

class CollectionFileTest : public ::testing::Test {
protected:
    QString put(const QByteArray& bytes)
    {
        EXPECT_TRUE(putBytes(dir.filePath("c.pvx"), bytes));
        return dir.filePath("c.pvx");
    }
    Entries readBytes(const QByteArray& bytes) { return readCollectionAll(put(bytes)); }
    QTemporaryDir dir;
};

struct ReadCase {
    const char* name;
    QByteArray bytes;
    Entries want;
};

class CollectionRead : public CollectionFileTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(CollectionRead, FieldsEndAtTheFirstTwoCarets)
{
    EXPECT_EQ(readBytes(GetParam().bytes), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CollectionRead,
    ::testing::Values(
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
        ReadCase{"Utf8", "/m/\xF0\x9F\x8E\xA8.jpg^\xC3\xA9^\r\n", {{"/m/🎨.jpg", "é"}}}),
    [](const auto& info) { return std::string(info.param.name); });

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
    EXPECT_EQ(readCollectionAll(path), round);
    // Rewriting with fewer entries leaves nothing of the longer file behind.
    writeCollection(path, {{"/only.jpg", "1"}});
    EXPECT_EQ(fileBytes(path), QByteArray("/only.jpg^1^\r\n"));
    // Line breaks and the end mark in fields cannot split the file.
    EXPECT_EQ(readBytes(formatCollection({{"a.jpg", "one\r\ntwo\nthree"}, {QString("b") + QChar(26) + ".jpg", "c"}})),
              (Entries{{"a.jpg", "one  two three"}, {"b .jpg", "c"}}));
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
    // Overlong forms are no UTF-8.
    EXPECT_EQ(readBytes("/m/\xC0\xAF.jpg^x^\r\n")[0].FileName, "/m/АЇ.jpg");
    setLegacyCodePage(QString());
}

TEST_F(CollectionFileTest, LinesCrossingReadChunksStayWholeAndEachEntryIsNumbered)
{
    // A CR of a CR LF pair at the very end of one 64 KiB chunk, its LF in the next.
    const QByteArray longName = "/" + QByteArray(65536 - 5, 'n'), huge(300000, 'h');
    const QByteArray bytes = longName + "^c^\r\njunk\r\nb^2^\r\n" + huge + "^" + huge + "^\r\n";
    ASSERT_EQ(bytes.indexOf('\r'), 65535);
    Entries got;
    readCollection(put(bytes), [&](int n, const CollectionEntry& e) {
        EXPECT_EQ(n, got.size() + 1);
        got << e;
    });
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[0], (CollectionEntry{QString::fromLatin1(longName), "c"}));
    EXPECT_EQ(got[1], (CollectionEntry{"b", "2"}));
    EXPECT_EQ(got[2].Comment.size(), huge.size());
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
        if (e.FileName == "bad")
            throw AppError("Unknown picture file extension (.)");
        got << e;
    };
    EXPECT_THROW(readCollection(file, keepUntilBad), AppError);
    EXPECT_EQ(got, (Entries{{"a", "1"}}));
    EXPECT_EQ(openFiles(), before);
}

} // namespace
