// Contents and index sitemaps, and the links pages carry.
#include "fuzz/FuzzSupport.h"
#include "help/ChmFile.h"
#include "help/Sitemap.h"

#include <cstdlib>

namespace {
void walk(const QList<help::SitemapEntry>& entries, int depth)
{
    for (const help::SitemapEntry& e : entries) {
        if (!ChmFile::resolveLink(QStringLiteral("/pages/a.htm"), e.local).startsWith(QLatin1Char('/')))
            std::abort();
        walk(e.children, depth + 1);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString html = help::decodeSitemap(fuzzBytes(data, size));
    const QList<help::SitemapEntry> entries = help::parseSitemap(html);
    help::countEntries(entries);
    help::findByName(entries, QStringLiteral("Welcome"));
    walk(entries, 0);
    const QString normal = ChmFile::normalizePath(html.left(512));
    if (!normal.startsWith(QLatin1Char('/')) || normal.contains(QLatin1String("/../")))
        std::abort();
    return 0;
}
