#include "settings/IniFile.h"

#include "core/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

IniFile parse(const char* text)
{
    return IniFile::fromBytes(QByteArray(text));
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(IniRead, NamesMatchWithoutRegardToCase)
{
    const IniFile ini = parse("[SeTTings]\nfONT=Arial\n");
    EXPECT_EQ(ini.readString("settings", "Font", "x"), "Arial");
    EXPECT_EQ(ini.readString("SETTINGS", "font", "x"), "Arial");
    EXPECT_EQ(ini.readString("Settings", "Fonts", "x"), "x");
    EXPECT_EQ(ini.readString("Other", "Font", "x"), "x");
}

TEST(IniRead, NamesIgnoreNonAsciiCase)
{
    const IniFile ini = parse("[Русский]\nКлюч=значение\n");
    EXPECT_EQ(ini.readString("русский", "КЛЮЧ", "x"), QString("значение"));
}

TEST(IniRead, ValuesAreTrimmedAndOnePairOfQuotesRemoved)
{
    const IniFile ini = parse("[S]\n"
                              "  a  =   spaced value \t\n"
                              "b=\"  kept blanks  \"\n"
                              "c='single'\n"
                              "d=\"\"quoted twice\"\"\n"
                              "e=\"unbalanced\n"
                              "f=\"mixed'\n"
                              "g=\"\n"
                              "h=in \"the\" middle\n");
    EXPECT_EQ(ini.readString("S", "a", "x"), "spaced value");
    EXPECT_EQ(ini.readString("S", "b", "x"), "  kept blanks  ");
    EXPECT_EQ(ini.readString("S", "c", "x"), "single");
    EXPECT_EQ(ini.readString("S", "d", "x"), "\"quoted twice\"");
    EXPECT_EQ(ini.readString("S", "e", "x"), "\"unbalanced");
    EXPECT_EQ(ini.readString("S", "f", "x"), "\"mixed'");
    EXPECT_EQ(ini.readString("S", "g", "x"), "\"");
    EXPECT_EQ(ini.readString("S", "h", "x"), "in \"the\" middle");
}

TEST(IniRead, AbsentKeyGivesDefaultButEmptyValueGivesEmpty)
{
    const IniFile ini = parse("[S]\nempty=\nblank=   \nquotedEmpty=\"\"\n");
    EXPECT_EQ(ini.readString("S", "empty", "def"), "");
    EXPECT_EQ(ini.readString("S", "blank", "def"), "");
    EXPECT_EQ(ini.readString("S", "quotedEmpty", "def"), "");
    EXPECT_EQ(ini.readString("S", "missing", "def"), "def");
    EXPECT_FALSE(ini.value("S", "missing").has_value());
    EXPECT_TRUE(ini.value("S", "empty").has_value());
}

TEST(IniRead, KeysBelongToTheirOwnSectionAndTheFirstOccurrenceWins)
{
    const IniFile ini = parse("top=before any section\n"
                              "[A]\nk=1\nk=2\n"
                              "[B]\nk=3\n"
                              "[a]\nk=4\nonlyInSecondA=5\n");
    EXPECT_EQ(ini.readString("A", "k", "x"), "1");
    EXPECT_EQ(ini.readString("B", "k", "x"), "3");
    // Only the first section of a name is read.
    EXPECT_EQ(ini.readString("A", "onlyInSecondA", "x"), "x");
    EXPECT_EQ(ini.readString("A", "top", "x"), "x");
}

TEST(IniRead, LinesThatAreNotKeysAreIgnored)
{
    const IniFile ini = parse("[S]\n; k=comment\njust text\n=no key\n  [ Spaced ]  \nk = v\n");
    EXPECT_EQ(ini.readString("S", "k", "x"), "x");
    EXPECT_EQ(ini.readString("Spaced", "k", "x"), "v");
}

TEST(IniRead, ValuesAreLimitedTo2047Characters)
{
    const QString longValue(3000, u'y');
    const IniFile ini =
        IniFile::fromBytes(("[S]\nk=" + longValue + "\nexact=" + QString(2047, u'z')).toUtf8());
    EXPECT_EQ(ini.readString("S", "k", "x"), QString(2047, u'y'));
    EXPECT_EQ(ini.readString("S", "exact", "x").size(), 2047);
}

TEST(IniRead, LineEndsLfAndCrLfBothWork)
{
    const IniFile lf = parse("[S]\na=1\nb=2");
    const IniFile crlf = parse("[S]\r\na=1\r\nb=2\r\n");
    for (const IniFile* ini : {&lf, &crlf}) {
        EXPECT_EQ(ini->readString("S", "a", "x"), "1");
        EXPECT_EQ(ini->readString("S", "b", "x"), "2");
    }
}

TEST(IniRead, EightBitTextIsUtf8WhenValidElseTheCodePage)
{
    const IniFile utf8 = IniFile::fromBytes("[S]\nk=Gr\xC3\xBC\xC3\x9F"
                                            "e\n");
    EXPECT_EQ(utf8.readString("S", "k", "x"), QString::fromUtf8("Grüße"));
    setLegacyCodePage("windows-1252");
    const IniFile legacy = IniFile::fromBytes("[S]\nk=Gr\xFC\xDF"
                                              "e \x80\n");
    EXPECT_EQ(legacy.readString("S", "k", "x"), QString::fromUtf8("Grüße €"));
    setLegacyCodePage(QString());
    const IniFile bom = IniFile::fromBytes("\xEF\xBB\xBF[S]\nk=v\n");
    EXPECT_EQ(bom.readString("S", "k", "x"), "v");
}

TEST(IniInteger, AcceptedForms)
{
    EXPECT_EQ(parseIniInteger("42"), 42);
    EXPECT_EQ(parseIniInteger("+7"), 7);
    EXPECT_EQ(parseIniInteger("-16777211"), -16777211);
    EXPECT_EQ(parseIniInteger("007"), 7);
    EXPECT_EQ(parseIniInteger("$1F"), 31);
    EXPECT_EQ(parseIniInteger("0x1f"), 31);
    EXPECT_EQ(parseIniInteger("0X1F"), 31);
    EXPECT_EQ(parseIniInteger("2147483647"), 2147483647);
    EXPECT_EQ(parseIniInteger("-2147483648"), std::numeric_limits<qint32>::min());
    // Hexadecimal spells the 32-bit pattern, so system colours read back.
    EXPECT_EQ(parseIniInteger("$FF000008"), -16777208);
    EXPECT_EQ(parseIniInteger("0xFFFFFFFF"), -1);
}

TEST(IniInteger, MalformedOrOutOfRangeIsRejected)
{
    for (const char* bad : {"",    "2147483648", "-2147483649", "99999999999999999999",
                            "$",   "0x",         "$100000000",  "12a",
                            "a12", "1.5",        "1e3",         "--1",
                            "+-1", "-",          "+",           " 5",
                            "5 ",  "$-1",        "-$1",         "0x1G",
                            "１２"}) {
        EXPECT_FALSE(parseIniInteger(QString::fromUtf8(bad)).has_value()) << bad;
    }
}

TEST(IniInteger, ReadsFallBackToTheDefault)
{
    const IniFile ini = parse("[S]\nok= -3 \nbad=abc\nbig=4294967296\nempty=\nq=\"12\"\n");
    EXPECT_EQ(ini.readInteger("S", "ok", 9), -3);
    EXPECT_EQ(ini.readInteger("S", "bad", 9), 9);
    EXPECT_EQ(ini.readInteger("S", "big", 9), 9);
    EXPECT_EQ(ini.readInteger("S", "empty", 9), 9);
    EXPECT_EQ(ini.readInteger("S", "missing", 9), 9);
    EXPECT_EQ(ini.readInteger("S", "q", 9), 12);
}

TEST(IniInteger, BooleansAreNonZeroIntegers)
{
    const IniFile ini = parse("[S]\nzero=0\none=1\nminus=-5\nhex=$10\nword=yes\n");
    EXPECT_FALSE(ini.readBool("S", "zero", true));
    EXPECT_TRUE(ini.readBool("S", "one", false));
    EXPECT_TRUE(ini.readBool("S", "minus", false));
    EXPECT_TRUE(ini.readBool("S", "hex", false));
    EXPECT_TRUE(ini.readBool("S", "word", true));
    EXPECT_FALSE(ini.readBool("S", "word", false));
    EXPECT_TRUE(ini.readBool("S", "missing", true));
}

TEST(IniWrite, ReplacesOneLineAndKeepsEveryOtherLine)
{
    // Edited by hand: comments, odd spacing, unknown sections and keys.
    const QByteArray original = "; my settings\r\n"
                                "\r\n"
                                "  [ settings ]   \r\n"
                                "   FONT   =  Old Face   ; not a comment\r\n"
                                "Unknown = keep me\r\n"
                                "\t\r\n"
                                "[Extra]\r\n"
                                "Font=other section\r\n"
                                "# trailing comment\r\n";
    IniFile ini = IniFile::fromBytes(original);
    ini.writeString("Settings", "Font", "Verdana");
    const QByteArray expected = "; my settings\r\n"
                                "\r\n"
                                "  [ settings ]   \r\n"
                                "Font=Verdana\r\n"
                                "Unknown = keep me\r\n"
                                "\t\r\n"
                                "[Extra]\r\n"
                                "Font=other section\r\n"
                                "# trailing comment\r\n";
    EXPECT_EQ(ini.toBytes(), expected);
    EXPECT_EQ(ini.readString("Extra", "Font", "x"), "other section");
}

TEST(IniWrite, UntouchedDocumentIsWrittenBackUnchanged)
{
    const QByteArray original = "x\r\n[A]\r\n  k  =  \"v\"  \r\n;c\r\n\r\n[B]\r\nz=Gr\xC3\xBC\xC3\x9F"
                                "e\r\n";
    EXPECT_EQ(IniFile::fromBytes(original).toBytes(), original);
    const QByteArray withBom = "\xEF\xBB\xBF[A]\r\nk=v\r\n";
    EXPECT_EQ(IniFile::fromBytes(withBom).toBytes(), withBom);
}

TEST(IniWrite, LfFileIsWrittenWithCrLf)
{
    IniFile ini = parse("[A]\nk=1\nlast line without end");
    EXPECT_EQ(ini.toBytes(), QByteArray("[A]\r\nk=1\r\nlast line without end\r\n"));
}

TEST(IniWrite, NewKeyGoesAtTheEndOfItsSectionBeforeBlankLines)
{
    IniFile ini = parse("[A]\na=1\n\n[B]\nb=2\n");
    ini.writeString("a", "new", "x");
    ini.writeInteger("B", "n", -16777211);
    EXPECT_EQ(ini.toBytes(), QByteArray("[A]\r\na=1\r\nnew=x\r\n\r\n[B]\r\nb=2\r\nn=-16777211\r\n"));
}

TEST(IniWrite, MissingSectionIsAppended)
{
    IniFile ini = parse("[A]\na=1\n");
    ini.writeBool("SlideShow", "FullScreen", false);
    ini.writeBool("SlideShow", "Other", true);
    EXPECT_EQ(ini.toBytes(), QByteArray("[A]\r\na=1\r\n[SlideShow]\r\nFullScreen=0\r\nOther=1\r\n"));
    EXPECT_FALSE(ini.readBool("slideshow", "fullscreen", true));
}

TEST(IniWrite, WrittenValuesReadBack)
{
    IniFile ini;
    ini.writeString("S", "empty", "");
    ini.writeString("S", "text", QString::fromUtf8("Grüße"));
    ini.writeInteger("S", "neg", std::numeric_limits<qint32>::min());
    EXPECT_EQ(ini.readString("S", "empty", "def"), "");
    EXPECT_EQ(ini.readInteger("S", "neg", 0), std::numeric_limits<qint32>::min());
    const IniFile again = IniFile::fromBytes(ini.toBytes());
    EXPECT_EQ(again.readString("S", "text", "x"), QString::fromUtf8("Grüße"));
}

TEST(IniWrite, LineBreaksInAValueCannotForgeKeys)
{
    IniFile ini = parse("[Settings]\nLanguage=English\n[SlideShow]\nSound=\n");
    ini.writeString("SlideShow", "Sound", "/tmp/a.wav\r\n[Settings]\nLanguage=/tmp/evil.pvl");
    const IniFile again = IniFile::fromBytes(ini.toBytes());
    EXPECT_EQ(again.readString("Settings", "Language", "x"), "English");
    EXPECT_EQ(again.readString("SlideShow", "Sound", "x"), "/tmp/a.wav  [Settings] Language=/tmp/evil.pvl");
}

TEST(IniWrite, AnEightBitFileKeepsItsCodePageUntilACharacterDoesNotFit)
{
    setLegacyCodePage("windows-1251");
    IniFile ini = IniFile::fromBytes("[S]\nold=\xCC\xEE\xE9\n");
    ini.writeString("S", "new", QString::fromUtf8("Ы"));
    EXPECT_EQ(ini.toBytes(), QByteArray("[S]\r\nold=\xCC\xEE\xE9\r\nnew=\xDB\r\n"));
    ini.writeString("S", "new", QString::fromUtf8("✓"));
    EXPECT_EQ(ini.toBytes(), QByteArray("[S]\r\nold=\xD0\x9C\xD0\xBE\xD0\xB9\r\nnew=\xE2\x9C\x93\r\n"));
    setLegacyCodePage(QString());
}

class IniFileOnDisk : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

TEST_F(IniFileOnDisk, MissingFileIsEmptyAndCreatedBySave)
{
    const QString p = path("sub/folder/pictavo.ini");
    IniFile ini(p);
    EXPECT_FALSE(ini.unreadable());
    EXPECT_EQ(ini.readString("S", "k", "def"), "def");
    EXPECT_FALSE(QFile::exists(p));
    ini.writeString("S", "k", "v");
    ini.save();
    EXPECT_EQ(readAll(p), QByteArray("[S]\r\nk=v\r\n"));
    EXPECT_FALSE(ini.isModified());
}

TEST_F(IniFileOnDisk, HandEditedFileKeepsEveryOtherLineThroughSeveralWritesAndOneSave)
{
    const QString p = path("hand.ini");
    writeAll(p,
             "; written by hand\n[Settings]\n  Font = Arial\nmine=1\n\n[SlideShow]\nDelay=7\n[Mine]\nx=y\n");
    IniFile ini(p);
    ini.writeString("Settings", "Font", "Verdana");
    ini.writeInteger("Settings", "FontSize", 12);
    ini.writeString("SlideShow", "Delay", "3");
    ini.save();
    EXPECT_EQ(readAll(p),
              QByteArray("; written by hand\r\n[Settings]\r\nFont=Verdana\r\nmine=1\r\nFontSize=12\r\n"
                         "\r\n[SlideShow]\r\nDelay=3\r\n[Mine]\r\nx=y\r\n"));
}

TEST_F(IniFileOnDisk, FolderInsteadOfFileIsUnreadableAndNeverWritten)
{
    const QString p = path("isdir.ini");
    QDir().mkpath(p);
    IniFile ini(p);
    EXPECT_TRUE(ini.unreadable());
    EXPECT_EQ(ini.readInteger("S", "k", 4), 4);
    ini.writeString("S", "k", "v");
    try {
        ini.save();
        FAIL() << "save succeeded";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), "Unable to write to " + p);
    }
}

TEST_F(IniFileOnDisk, FailedSaveReportsThePathAndKeepsTheOldFile)
{
    const QString blocker = path("file");
    writeAll(blocker, "not a folder");
    const QString p = blocker + "/pictavo.ini"; // its folder is a file
    IniFile ini(p);
    ini.writeString("S", "k", "v");
    try {
        ini.save();
        FAIL() << "save succeeded";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), "Unable to write to " + p);
    }
    EXPECT_EQ(readAll(blocker), QByteArray("not a folder"));
    IniFile noPath;
    EXPECT_THROW(noPath.save(), AppError);
}

TEST_F(IniFileOnDisk, HugeFileIsNotLoadedAndNeverOverwritten)
{
    const QString p = path("huge.ini");
    {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[S]\nk=v\n");
        ASSERT_TRUE(f.resize(IniFile::MaxFileSize + 1)); // sparse: cheap to make
    }
    IniFile ini(p);
    EXPECT_TRUE(ini.unreadable());
    EXPECT_EQ(ini.readString("S", "k", "def"), "def");
    EXPECT_THROW(ini.save(), AppError);
    EXPECT_EQ(QFileInfo(p).size(), IniFile::MaxFileSize + 1);
}
