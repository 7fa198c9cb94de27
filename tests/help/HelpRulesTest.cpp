#include "help/HelpRules.h"
#include "help/ChmFile.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Printers.h"

#include <QDir>
#include <functional>
#include <gtest/gtest.h>

using namespace help;

namespace {

TEST(HelpRules, GiveTheirAnswer)
{
    const std::pair<std::function<QString()>, QString> rules[] = {
        // A help file is decided by the last extension of its name, not of a folder.
        {[] { return isHtmlHelpFile("/opt/x/Help.cHm") ? "yes" : "no"; }, "yes"},
        {[] { return isHtmlHelpFile("help.chm.bak") ? "yes" : "no"; }, "no"},
        {[] { return isHtmlHelpFile("/docs.chm/help") ? "yes" : "no"; }, "no"},
        // Bare names from the program folder; paths as they are.
        {[] { return resolveHelpFile("Help.CHM", "/opt/pictavo/"); }, "/opt/pictavo/Help.CHM"},
        {[] { return resolveHelpFile("Other.chm", "/opt/pictavo"); }, "/opt/pictavo/Other.chm"},
        {[] { return resolveHelpFile("/usr/share/x.chm", "/opt/pictavo"); }, "/usr/share/x.chm"},
        {[] { return resolveHelpFile("docs/Help.CHM", "/opt/pictavo"); }, "docs/Help.CHM"},
        // Windows paths map into the program's help folder.
        {[] { return localHelpPath(kFixedHelpPath, "/opt/pictavo"); }, "/opt/pictavo/help/Help.CHM"},
        {[] { return localHelpPath("c:/x/Guide.chm", "/opt/pictavo/"); }, "/opt/pictavo/help/Guide.chm"},
        {[] { return localHelpPath("/usr/share/doc/Help.chm", "/opt/pictavo"); }, "/usr/share/doc/Help.chm"},
        // Paths inside the archive never leave it.
        {[] { return ChmFile::normalizePath("/pages/./b/../a.htm#x"); }, "/pages/a.htm"},
        {[] { return ChmFile::normalizePath("../../../etc/passwd"); }, "/etc/passwd"},
        {[] { return ChmFile::normalizePath("pages\\a.htm?q=1"); }, "/pages/a.htm"},
        {[] { return ChmFile::normalizePath(""); }, "/"},
        // Links resolve against their page; other files' links against this one.
        {[] { return ChmFile::resolveLink("/pages/welcome.htm", "../pictavo.css"); }, "/pictavo.css"},
        {[] { return ChmFile::resolveLink("/pages/welcome.htm", "/top.htm"); }, "/top.htm"},
        {[] { return ChmFile::resolveLink("/pages/welcome.htm", "keys.htm#editor"); },
         "/pages/keys.htm#editor"},
        {[] { return ChmFile::resolveLink("/pages/welcome.htm", "#part"); }, "/pages/welcome.htm#part"},
        {[] { return ChmFile::resolveLink("/welcome.htm", "../../x.htm"); }, "/x.htm"},
        {[] { return ChmFile::resolveLink("/a/b.htm", "ms-its:Other.chm::/pages/c.htm"); }, "/pages/c.htm"}};
    for (std::size_t row = 0; row < std::size(rules); ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(rules[row].first(), rules[row].second);
    }
}

// Where the program looks for its help file when it runs from the build folder.
const QString kBuiltHelp = help::localHelpPath(help::kFixedHelpPath, PV_BINARY_DIR);
const QString kSources = QStringLiteral(PV_SOURCE_DIR "/resources/help/");

TEST(BuiltHelpFile, HoldsEveryPageWithItsSourceBytesAndNamesContentsIndexTopicAndTitle)
{
    ChmFile chm(kBuiltHelp);
    const QStringList pages = QDir(kSources + "pages").entryList({"*.htm"}, QDir::Files);
    ASSERT_GE(pages.size(), 8);
    for (const QString& page : pages)
        EXPECT_EQ(chm.read("/pages/" + page).value_or("<missing>"), fileBytes(kSources + "pages/" + page))
            << page.toStdString();
    for (const char* file : {"pictavo.css", "Help.hhc", "Help.hhk"})
        EXPECT_EQ(chm.read(QString("/") + file).value_or("<missing>"), fileBytes(kSources + file)) << file;
    EXPECT_TRUE(chm.contains("pages/../pages/keys.htm#x")); // relative lookups fold to the same object
    EXPECT_FALSE(chm.read("/pages/nothing.htm").has_value());
    for (const QString& o : chm.objects())
        EXPECT_FALSE(o.startsWith("/#") || o.startsWith("/$") || o.endsWith('/')) << o.toStdString();
    EXPECT_EQ(chm.title(), "Pictavo 2006 Help");
    EXPECT_EQ(chm.defaultTopic(), "/pages/welcome.htm");
    EXPECT_EQ(chm.contentsFile().toLower(), "/help.hhc");
    EXPECT_EQ(chm.indexFile().toLower(), "/help.hhk");
}

} // namespace
