#include "settings/IniFile.h"

#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Printers.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

struct ReadCase {
    QByteArray document;
    const char* section;
    const char* key;
    QString want; // "<default>" when the key counts as absent
};


const QByteArray kQuotes = "[S]\n  a  =   spaced value \t\nb=\"  kept blanks  \"\nc='single'\nd=\"\"quoted twice\"\"\n"
                           "e=\"unbalanced\nf=\"mixed'\ng=\"\nh=in \"the\" middle\n";
const QByteArray kSections = "top=before any section\n[A]\nk=1\nk=2\n[B]\nk=3\n[a]\nk=4\nonlyInSecondA=5\n"
                             "[S]\n; k=comment\njust text\n=no key\nempty=\nblank=   \nq=\"\"\n  [ Spaced ]  \nk = v\n";

class IniRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, ValuesAreTrimmedAndOnePairOfQuotesRemoved)
{
    const ReadCase& c = GetParam();
    EXPECT_EQ(IniFile::fromBytes(c.document).readString(c.section, c.key, "<default>"), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, IniRead,
    ::testing::Values(
        // Names match without regard to case, non-ASCII letters too.
        ReadCase{"[SeTTings]\nfONT=Arial\n", "settings", "Font", "Arial"},
        ReadCase{"[SeTTings]\nfONT=Arial\n", "SETTINGS", "Fonts", "<default>"},
        ReadCase{"[Русский]\nКлюч=значение\n", "русский", "КЛЮЧ", "значение"},
        ReadCase{kQuotes, "S", "a", "spaced value"}, ReadCase{kQuotes, "S", "b", "  kept blanks  "},
        ReadCase{kQuotes, "S", "c", "single"}, ReadCase{kQuotes, "S", "d", "\"quoted twice\""},
        ReadCase{kQuotes, "S", "e", "\"unbalanced"}, ReadCase{kQuotes, "S", "f", "\"mixed'"},
        ReadCase{kQuotes, "S", "g", "\""}, ReadCase{kQuotes, "S", "h", "in \"the\" middle"},
        // The first key and the first section of a name win; no key outside a section.
        ReadCase{kSections, "A", "k", "1"}, ReadCase{kSections, "B", "k", "3"},
        ReadCase{kSections, "A", "onlyInSecondA", "<default>"}, ReadCase{kSections, "A", "top", "<default>"},
        // Comments, plain text and nameless keys are no keys; an empty value is a value.
        ReadCase{kSections, "S", "k", "<default>"}, ReadCase{kSections, "Spaced", "k", "v"},
        ReadCase{kSections, "S", "empty", ""}, ReadCase{kSections, "S", "blank", ""}, ReadCase{kSections, "S", "q", ""},
        ReadCase{"[S]\r\na=1\r\nb=2\r\n", "S", "b", "2"}, ReadCase{"\xEF\xBB\xBF[S]\nk=v", "S", "k", "v"},
        ReadCase{"[S]\nk=Gr\xC3\xBC\xC3\x9F" "e\n", "S", "k", "Grüße"},
        ReadCase{"[S]\nk=" + QByteArray(3000, 'y'), "S", "k", QString(2047, 'y')}),
    [](const auto& info) { // the key, and the row to tell one document's key from another's
        const QString key = QString::fromUtf8(info.param.key);
        return (key.toLatin1() == key.toUtf8() ? key.toStdString() : "Key") + "_" + std::to_string(info.index);
    });

struct IntCase {
    const char* text;
    std::optional<qint32> want;
};

void PrintTo(const IntCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

const IntCase kIntegers[] = {
    {"+7", 7}, {"-16777211", -16777211}, {"007", 7}, {"$1F", 31}, {"0x1f", 31}, {"0X1F", 31},
    {"2147483647", 2147483647}, {"-2147483648", std::numeric_limits<qint32>::min()},
    // Hexadecimal spells the 32-bit pattern, so system colours read back.
    {"$FF000008", -16777208}, {"0xFFFFFFFF", -1},
    {"", {}}, {"2147483648", {}}, {"-2147483649", {}}, {"$100000000", {}}, {"$", {}}, {"0x", {}}, {"12a", {}},
    {"1e3", {}}, {"+-1", {}}, {"-", {}}, {" 5", {}}, {"5 ", {}}, {"$-1", {}}, {"-$1", {}}, {"0x1G", {}}, {"１２", {}}};

class IniInteger : public ::testing::TestWithParam<IntCase> {};

TEST_P(IniInteger, DecimalOrHexadecimalWithinThirtyTwoBits)
{
    EXPECT_EQ(parseIniInteger(QString::fromUtf8(GetParam().text)), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Texts, IniInteger, ::testing::ValuesIn(kIntegers));

TEST(IniRead, NumbersAndBooleansFallBackToTheDefault)
{
    const IniFile ini = IniFile::fromBytes("[S]\nok= -3 \nbad=abc\nbig=4294967296\nq=\"12\"\nzero=0\nminus=-5\n");
    EXPECT_EQ(ini.readInteger("S", "ok", 9), -3);
    EXPECT_EQ(ini.readInteger("S", "q", 9), 12);
    for (const char* fallback : {"bad", "big", "missing"})
        EXPECT_EQ(ini.readInteger("S", fallback, 9), 9) << fallback;
    EXPECT_FALSE(ini.readBool("S", "zero", true));
    EXPECT_TRUE(ini.readBool("S", "minus", false));
    EXPECT_FALSE(ini.readBool("S", "bad", false));
}

struct WriteCase {
    const char* name;
    QByteArray document;
    std::function<void(IniFile&)> edit;
    QByteArray want;
};

class IniWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, ChangesOneLineAndKeepsEveryOther)
{
    IniFile ini = IniFile::fromBytes(GetParam().document);
    GetParam().edit(ini);
    EXPECT_EQ(ini.toBytes(), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, IniWrite,
    ::testing::Values(
        // Edited by hand: comments, odd spacing, unknown sections and keys.
        WriteCase{"ReplacesTheKeysLine",
                  "; mine\r\n\r\n  [ settings ]   \r\n   FONT   =  Old Face   ; no comment\r\nUnknown = keep\r\n\t\r\n[Extra]\r\nFont=x\r\n",
                  [](IniFile& i) { i.writeString("Settings", "Font", "Verdana"); },
                  "; mine\r\n\r\n  [ settings ]   \r\nFont=Verdana\r\nUnknown = keep\r\n\t\r\n[Extra]\r\nFont=x\r\n"},
        // Untouched lines keep their bytes and the mark; line ends become CR LF.
        WriteCase{"UntouchedIsUnchanged", "\xEF\xBB\xBF[A]\n  k  =  \"v\"  \r\n;c\r\n\r\nz=Gr\xC3\xBC\xC3\x9F" "e", [](IniFile&) {},
                  "\xEF\xBB\xBF[A]\r\n  k  =  \"v\"  \r\n;c\r\n\r\nz=Gr\xC3\xBC\xC3\x9F" "e\r\n"},
        WriteCase{"NewKeyEndsItsSectionBeforeBlankLines", "[A]\na=1\n\n[B]\nb=2\n",
                  [](IniFile& i) {
                      i.writeString("a", "new", "x");
                      i.writeInteger("B", "n", std::numeric_limits<qint32>::min());
                  },
                  "[A]\r\na=1\r\nnew=x\r\n\r\n[B]\r\nb=2\r\nn=-2147483648\r\n"},
        WriteCase{"MissingSectionAppended", "[A]\na=1\n",
                  [](IniFile& i) {
                      i.writeBool("SlideShow", "FullScreen", false);
                      i.writeBool("SlideShow", "Other", true);
                  },
                  "[A]\r\na=1\r\n[SlideShow]\r\nFullScreen=0\r\nOther=1\r\n"},
        WriteCase{"LineBreaksCannotForgeKeys", "[Settings]\nLanguage=English\n[SlideShow]\nSound=\n",
                  [](IniFile& i) { i.writeString("SlideShow", "Sound", "/a.wav\r\n[Settings]\nLanguage=/evil.pvl"); },
                  "[Settings]\r\nLanguage=English\r\n[SlideShow]\r\nSound=/a.wav  [Settings] Language=/evil.pvl\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniCodePage, AnEightBitFileIsReadAndKeptInTheCodePageUntilACharacterDoesNotFit)
{
    IniFile ini = IniFile::fromBytes("[S]\nold=\xCC\xEE\xE9\n", {}, "windows-1251");
    EXPECT_EQ(ini.readString("S", "old", "x"), "Мой");
    ini.writeString("S", "new", "Ы");
    EXPECT_EQ(ini.toBytes(), QByteArray("[S]\r\nold=\xCC\xEE\xE9\r\nnew=\xDB\r\n"));
}

TEST(IniFileOnDisk, MissingFileIsCreatedBySaveAndWhatCannotBeReadIsNeverWritten)
{
    QTemporaryDir dir;
    const QString p = dir.filePath("sub/folder/pictavo.ini");
    IniFile ini(p);
    ini.writeString("S", "k", "v");
    ini.save();
    EXPECT_EQ(fileBytes(p), QByteArray("[S]\r\nk=v\r\n"));
    EXPECT_FALSE(ini.isModified());

    // A folder in its place, or a file too large to be settings.
    const QString folder = dir.filePath("isdir.ini"), huge = dir.filePath("huge.ini");
    QDir().mkpath(folder);
    QFile f(huge);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("[S]\nk=v\n") > 0 && f.resize(IniFile::MaxFileSize + 1));
    f.close();
    for (const QString& path : {folder, huge}) {
        IniFile bad(path);
        EXPECT_TRUE(bad.unreadable());
        EXPECT_EQ(bad.readString("S", "k", "def"), "def");
        bad.writeString("S", "k", "v");
        EXPECT_EQ(errorText([&] { bad.save(); }), "Unable to write to " + path);
    }
    EXPECT_EQ(QFileInfo(huge).size(), IniFile::MaxFileSize + 1);
}

} // namespace
