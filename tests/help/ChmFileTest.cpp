#include "help/ChmFile.h"
#include "help/HelpRules.h"
#include "help/Sitemap.h"

#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Printers.h"

#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Where the program looks for its help file when it runs from the build folder.
const QString kBuiltHelp = help::localHelpPath(help::kFixedHelpPath, PV_BINARY_DIR);
const QString kSources = QStringLiteral(PV_SOURCE_DIR "/resources/help/");

TEST(ChmFileOpen, MissingOrForeignFilesRaiseTheProgramsMessage)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("none.chm"), junk = dir.filePath("junk.chm");
    EXPECT_EQ(errorText([&] { ChmFile{missing}; }), QStringLiteral("Cannot open file \"%1\". File not found").arg(missing));
    ASSERT_TRUE(putBytes(junk, QByteArray(4096, 'x')));
    EXPECT_EQ(errorText([&] { ChmFile{junk}; }), QStringLiteral("Cannot open file \"%1\". Not a compiled HTML help file").arg(junk));
    EXPECT_FALSE(ChmFile().read("/pages/welcome.htm").has_value());
}

TEST(BuiltHelpFile, HoldsEveryPageWithItsSourceBytesAndNamesContentsIndexTopicAndTitle)
{
    ChmFile chm(kBuiltHelp);
    const QStringList pages = QDir(kSources + "pages").entryList({"*.htm"}, QDir::Files);
    ASSERT_GE(pages.size(), 8);
    for (const QString& page : pages)
        EXPECT_EQ(chm.read("/pages/" + page).value_or("<missing>"), fileBytes(kSources + "pages/" + page)) << page.toStdString();
    EXPECT_EQ(chm.read("/pictavo.css").value_or("<missing>"), fileBytes(kSources + "pictavo.css"));
    EXPECT_TRUE(chm.contains("pages/../pages/keys.htm#x")); // relative lookups fold to the same object
    EXPECT_FALSE(chm.read("/pages/nothing.htm").has_value());
    for (const QString& o : chm.objects())
        EXPECT_FALSE(o.startsWith("/#") || o.startsWith("/$") || o.endsWith('/')) << o.toStdString();
    EXPECT_EQ(chm.title(), "Pictavo 2006 Help");
    EXPECT_EQ(chm.defaultTopic(), "/pages/welcome.htm");
    EXPECT_EQ(chm.contentsFile().toLower(), "/help.hhc");
    EXPECT_EQ(chm.indexFile().toLower(), "/help.hhk");
}

TEST(BuiltHelpFile, ContentsTreeMatchesTheSourceAndEveryEntryResolves)
{
    ChmFile chm(kBuiltHelp);
    const auto sitemap = [&](const QString& name) {
        return help::parseSitemap(help::decodeSitemap(chm.read(name).value_or(QByteArray())));
    };
    const QList<help::SitemapEntry> toc = sitemap(chm.contentsFile()), index = sitemap(chm.indexFile());
    ASSERT_EQ(help::countEntries(toc), help::countEntries(help::parseSitemap(help::decodeSitemap(fileBytes(kSources + "Help.hhc")))));
    ASSERT_FALSE(toc.isEmpty() || index.isEmpty());
    // Every entry of the contents and the index opens a page of the file.
    std::function<void(const QList<help::SitemapEntry>&)> check = [&](const QList<help::SitemapEntry>& list) {
        for (const help::SitemapEntry& e : list) {
            EXPECT_TRUE(chm.contains(ChmFile::resolveLink("/", e.local))) << e.local.toStdString();
            check(e.children);
        }
    };
    check(toc);
    check(index);
}

} // namespace
