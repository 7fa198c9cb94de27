#include "help/ChmFile.h"
#include "help/HelpRules.h"
#include "help/Sitemap.h"

#include "core/Errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
// Where the program looks for its help file when it runs from the build folder.
const QString kBuiltHelp = help::localHelpPath(help::kFixedHelpPath, PV_BINARY_DIR);
const QString kSources = QStringLiteral(PV_SOURCE_DIR "/resources/help");

QByteArray sourceBytes(const QString& relative)
{
    QFile f(kSources + "/" + relative);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST(ChmLinks, NormalisedPathsStayInsideTheArchive)
{
    EXPECT_EQ(ChmFile::normalizePath("pages/a.htm"), "/pages/a.htm");
    EXPECT_EQ(ChmFile::normalizePath("/pages/./b/../a.htm#x"), "/pages/a.htm");
    EXPECT_EQ(ChmFile::normalizePath("../../../etc/passwd"), "/etc/passwd");
    EXPECT_EQ(ChmFile::normalizePath("pages\\a.htm?q=1"), "/pages/a.htm");
    EXPECT_EQ(ChmFile::normalizePath(""), "/");
}

TEST(ChmLinks, RelativeLinksResolveAgainstThePage)
{
    EXPECT_EQ(ChmFile::resolveLink("/pages/welcome.htm", "keys.htm"), "/pages/keys.htm");
    EXPECT_EQ(ChmFile::resolveLink("/pages/welcome.htm", "../pictavo.css"), "/pictavo.css");
    EXPECT_EQ(ChmFile::resolveLink("/pages/welcome.htm", "./img/a.png"), "/pages/img/a.png");
    EXPECT_EQ(ChmFile::resolveLink("/pages/welcome.htm", "/top.htm"), "/top.htm");
    EXPECT_EQ(ChmFile::resolveLink("/pages/welcome.htm", "keys.htm#editor"), "/pages/keys.htm#editor");
    EXPECT_EQ(ChmFile::resolveLink("/pages/welcome.htm", "#part"), "/pages/welcome.htm#part");
    EXPECT_EQ(ChmFile::resolveLink("/welcome.htm", "../../x.htm"), "/x.htm");
    EXPECT_EQ(ChmFile::resolveLink("/a/b.htm", "ms-its:Other.chm::/pages/c.htm"), "/pages/c.htm");
    EXPECT_EQ(ChmFile::resolveLink("/a/b.htm", "mk:@MSITStore:F:\\x\\Help.CHM::/d.htm#k"), "/d.htm#k");
    EXPECT_EQ(ChmFile::resolveLink("", "pages/a.htm"), "/pages/a.htm");
}

TEST(ChmFileOpen, MissingOrForeignFilesRaiseTheProgramsMessage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath("none.chm");
    try {
        ChmFile f(missing);
        FAIL() << "a missing file opened";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Cannot open file \"%1\". File not found").arg(missing));
    }

    const QString junk = dir.filePath("junk.chm");
    QFile out(junk);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QByteArray(4096, 'x'));
    out.close();
    EXPECT_THROW(ChmFile{junk}, AppError);

    const ChmFile closed;
    EXPECT_FALSE(closed.isOpen());
    EXPECT_TRUE(closed.objects().isEmpty());
    EXPECT_FALSE(closed.read("/pages/welcome.htm").has_value());
}

TEST(BuiltHelpFile, HoldsEveryPageWithItsSourceBytes)
{
    ChmFile chm(kBuiltHelp);
    ASSERT_TRUE(chm.isOpen());
    const QStringList objects = chm.objects();
    const QStringList pages = QDir(kSources + "/pages").entryList({"*.htm"}, QDir::Files);
    ASSERT_GE(pages.size(), 8);
    for (const QString& page : pages) {
        const QString path = "/pages/" + page;
        EXPECT_TRUE(objects.contains(path)) << path.toStdString();
        const std::optional<QByteArray> data = chm.read(path);
        ASSERT_TRUE(data.has_value()) << path.toStdString();
        EXPECT_EQ(*data, sourceBytes("pages/" + page)) << path.toStdString();
    }
    EXPECT_EQ(chm.read("/pictavo.css").value_or(QByteArray()), sourceBytes("pictavo.css"));
    // Relative lookups fold to the same object.
    EXPECT_TRUE(chm.contains("pages/../pages/keys.htm#x"));
    EXPECT_FALSE(chm.read("/pages/nothing.htm").has_value());
    for (const QString& o : objects)
        EXPECT_FALSE(o.startsWith("/#") || o.startsWith("/$") || o.endsWith('/')) << o.toStdString();
}

TEST(BuiltHelpFile, SystemRecordNamesContentsIndexTopicAndTitle)
{
    ChmFile chm(kBuiltHelp);
    EXPECT_EQ(chm.title(), "Pictavo 2006 Help");
    EXPECT_EQ(chm.defaultTopic(), "/pages/welcome.htm");
    EXPECT_EQ(chm.contentsFile().toLower(), "/help.hhc");
    EXPECT_EQ(chm.indexFile().toLower(), "/help.hhk");
    EXPECT_TRUE(chm.contains(chm.defaultTopic()));
}

TEST(BuiltHelpFile, ContentsTreeMatchesTheSourceAndEveryEntryResolves)
{
    ChmFile chm(kBuiltHelp);
    const std::optional<QByteArray> hhc = chm.read(chm.contentsFile());
    ASSERT_TRUE(hhc.has_value());
    const QList<help::SitemapEntry> toc = help::parseSitemap(help::decodeSitemap(*hhc));
    const QList<help::SitemapEntry> source = help::parseSitemap(help::decodeSitemap(sourceBytes("Help.hhc")));
    ASSERT_EQ(help::countEntries(toc), help::countEntries(source));
    ASSERT_FALSE(toc.isEmpty());
    EXPECT_EQ(toc.first().name, "Welcome to Pictavo 2006");
    EXPECT_EQ(toc.first().local, "pages/welcome.htm");
    const help::SitemapEntry* group = help::findByName(toc, "Using Pictavo");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->children.size(), 5);

    // Every entry of the contents and the index opens a page of the file.
    std::function<void(const QList<help::SitemapEntry>&)> check = [&](const QList<help::SitemapEntry>& list) {
        for (const help::SitemapEntry& e : list) {
            EXPECT_TRUE(chm.contains(ChmFile::resolveLink("/", e.local))) << e.local.toStdString();
            check(e.children);
        }
    };
    check(toc);
    const std::optional<QByteArray> hhk = chm.read(chm.indexFile());
    ASSERT_TRUE(hhk.has_value());
    const QList<help::SitemapEntry> index = help::parseSitemap(help::decodeSitemap(*hhk));
    EXPECT_GE(index.size(), 30);
    check(index);
}
