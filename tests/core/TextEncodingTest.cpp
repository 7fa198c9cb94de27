// The code page of 8-bit text files: which one the locale implies, which
// names count, and the read and write rule every text file follows.
#include "core/TextEncoding.h"
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

namespace {

TEST(LocaleCodePage, FollowsTheFirstLocaleVariableSet)
{
    std::vector<QByteArray> saved;
    const char* const vars[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    for (const char* v : vars)
        saved.push_back(qgetenv(v));
    // LC_ALL, LC_CTYPE, LANG and the code page they imply.
    const char* const cases[][4] = {{"", "uk_UA.UTF-8", "en_US.UTF-8", "windows-1251"},
                                    {"pl_PL", "ru_RU", "de_DE", "windows-1250"},
                                    {"", "", "sr_RS@latin", "windows-1250"},
                                    {"", "", "sr_RS", "windows-1251"},
                                    {"", "", "", "windows-1252"}};
    for (const auto& c : cases) {
        for (int i = 0; i < 3; ++i)
            qputenv(vars[i], c[i]);
        EXPECT_EQ(localeCodePage(), QByteArray(c[3])) << c[0] << ' ' << c[1] << ' ' << c[2];
    }
    for (int i = 0; i < 3; ++i)
        qputenv(vars[i], saved[i]);
}

TEST(CodePageNames, OnlySingleByteCodePagesThatKeepAsciiCount)
{
    EXPECT_EQ(knownCodePage(" windows-1251 "), QByteArray("windows-1251"));
    for (const char* refused : {"", "klingon", "UTF-16", "Shift_JIS"})
        EXPECT_TRUE(knownCodePage(refused).isEmpty()) << refused;
    // An unknown name leaves text files in the locale's code page.
    EXPECT_EQ(codePageOrLocale(knownCodePage("klingon")), localeCodePage());
}

struct RuleCase {
    const char* codePage; // the legacy code page in use
    QByteArray bytes;     // as found on disk
    QString text;         // as read
    TextEncoding read;    // the encoding it was read in
    QString edited;       // the text after an edit
    QByteArray written;   // as written back
};

class TextRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(TextRule, ReadsInTheFilesEncodingAndKeepsItWhileEveryCharacterFits)
{
    const RuleCase c = GetParam();
    TextEncoding used;
    EXPECT_EQ(decodeText(c.bytes, &used, c.codePage), c.text);
    EXPECT_EQ(used, c.read);
    EXPECT_EQ(encodeText(c.edited, used), c.written);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, TextRule, ::testing::Values(
    // Written on Windows and edited with letters of its own code page.
    RuleCase{"windows-1251", "\xCC\xEE\xE9 \xEE\xF2\xEF\xF3\xF1\xEA", "Мой отпуск", {"windows-1251", false},
             "Мой отпуск №2", "\xCC\xEE\xE9 \xEE\xF2\xEF\xF3\xF1\xEA \xB9\x32"},
    // A character the code page lacks makes the whole file UTF-8.
    RuleCase{"windows-1251", "\xCC\xEE\xE9", "Мой", {"windows-1251", false}, "Мой ✓", "\xD0\x9C\xD0\xBE\xD0\xB9 \xE2\x9C\x93"},
    // Valid UTF-8 is UTF-8 whatever the code page, its mark kept.
    RuleCase{"windows-1251", "\xEF\xBB\xBF\xD0\x9C", "М", {{}, true}, "Мы", "\xEF\xBB\xBF\xD0\x9C\xD1\x8B"},
    RuleCase{"windows-1252", "plain", "plain", {{}, false}, "plain é", "plain \xC3\xA9"},
    // Letters that are UTF-8 lead bytes, followed by plain letters, are no
    // UTF-8: the code page reads them.
    RuleCase{"windows-1252", "\xD6sterreich", "Österreich", {"windows-1252", false}, "Österreich!", "\xD6sterreich!"},
    RuleCase{"windows-1252", "Stra\xDF" "e", "Straße", {"windows-1252", false}, "Straße", "Stra\xDF" "e"}));
// clang-format on

// Which bytes count as UTF-8 and which fall to the code page: 8-bit text
// whose lead bytes look like UTF-8 but are not, next to real UTF-8.
TEST(Utf8Decision, OnlyWellFormedUtf8IsReadAsUtf8)
{
    // clang-format off
    const std::pair<QByteArray, bool> cases[] = {
        // Two-, three- and four-byte leads followed by a byte that does not continue them.
        {"caf\xE9 au lait", false}, {"\xC3(", false}, {"\xE2\x82(", false}, {"\xE2(\xAC", false},
        {"\xF0\x9F\x98(", false}, {"\xF0(\x98\x80", false},
        // A lead at the very end.
        {"ab\xC3", false}, {"ab\xF0\x9F", false},
        // Overlong forms, surrogates, and past U+10FFFF.
        {"\xC0\xAF", false}, {"\xC1\xBF", false}, {"\xE0\x80\xAF", false}, {"\xF0\x80\x80\xAF", false},
        {"\xED\xA0\x80", false}, {"\xF4\x90\x80\x80", false}, {"\xF8\x88\x80\x80\x80", false},
        // A lone continuation byte, as windows-1252 writes a curly quote.
        {"\x93quoted\x94", false},
        // Well-formed UTF-8 of each length, the highest code point included.
        {"caf\xC3\xA9", true}, {"\xE2\x82\xAC 5", true}, {"\xF0\x9F\x98\x80", true},
        {"\xF4\x8F\xBF\xBF", true}, {"\xEF\xBB\xBFplain", true}};
    // clang-format on
    for (const auto& [bytes, utf8] : cases) {
        EXPECT_EQ(detectEncoding(bytes, "windows-1252").codePage, utf8 ? QByteArray() : QByteArray("windows-1252"))
            << bytes.toHex(' ').constData();
    }
}

} // namespace
