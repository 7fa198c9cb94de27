#pragma once
// Reading the sitemap HTML of a help file's contents (.hhc) and index (.hhk):
// nested <UL> lists whose <LI> items carry an <OBJECT type="text/sitemap">
// with "Name" and "Local" parameters.
#include <QByteArray>
#include <QList>
#include <QString>

namespace help {

struct SitemapEntry {
    QString name;
    QString local; // page inside the help file; empty for a pure heading
    QList<SitemapEntry> children;
};

// Entries of the outermost list, in document order. Unknown tags and text
// are ignored; unclosed lists end at the end of the text.
QList<SitemapEntry> parseSitemap(const QString& html);
// Sitemap bytes in UTF-8 when they are valid UTF-8, else Latin-1.
QString decodeSitemap(const QByteArray& bytes);

// Total number of entries, children included.
int countEntries(const QList<SitemapEntry>& entries);
// First entry, depth first, whose name equals the text (any letter case).
const SitemapEntry* findByName(const QList<SitemapEntry>& entries, const QString& name);

} // namespace help
