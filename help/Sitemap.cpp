#include "help/Sitemap.h"

#include <QHash>
#include <QStringDecoder>

namespace help {
namespace {

struct Tag {
    QString name;                       // lower case, with a leading "/" for a closing tag
    QHash<QString, QString> attributes; // names in lower case
};

QString decodeEntities(const QString& text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const qsizetype semi = c == QLatin1Char('&') ? text.indexOf(QLatin1Char(';'), i) : -1;
        if (semi < 0 || semi - i > 10) {
            out += c;
            continue;
        }
        const QString entity = text.mid(i + 1, semi - i - 1);
        QString repl;
        if (entity == QLatin1String("amp"))
            repl = QStringLiteral("&");
        else if (entity == QLatin1String("lt"))
            repl = QStringLiteral("<");
        else if (entity == QLatin1String("gt"))
            repl = QStringLiteral(">");
        else if (entity == QLatin1String("quot"))
            repl = QStringLiteral("\"");
        else if (entity == QLatin1String("apos"))
            repl = QStringLiteral("'");
        else if (entity == QLatin1String("nbsp"))
            repl = QChar(0xA0);
        else if (entity.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const uint code = entity.startsWith(QLatin1String("#x"), Qt::CaseInsensitive)
                                  ? entity.mid(2).toUInt(&ok, 16)
                                  : entity.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF)
                repl = QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
        }
        if (repl.isNull()) {
            out += c;
            continue;
        }
        out += repl;
        i = semi;
    }
    return out;
}

// Parses the inside of "<...>" (without the brackets).
Tag parseTag(QStringView body)
{
    Tag tag;
    qsizetype i = 0;
    const qsizetype n = body.size();
    auto skipSpace = [&] {
        while (i < n && body[i].isSpace())
            ++i;
    };
    skipSpace();
    const qsizetype nameStart = i;
    while (i < n && !body[i].isSpace() && body[i] != QLatin1Char('/'))
        ++i;
    if (i == nameStart && i < n && body[i] == QLatin1Char('/')) {
        ++i;
        while (i < n && !body[i].isSpace())
            ++i;
    }
    tag.name = body.mid(nameStart, i - nameStart).toString().toLower();
    while (i < n) {
        skipSpace();
        const qsizetype attrStart = i;
        while (i < n && !body[i].isSpace() && body[i] != QLatin1Char('=') && body[i] != QLatin1Char('/'))
            ++i;
        if (i == attrStart) {
            ++i; // a stray "/" of "<br/>"
            continue;
        }
        const QString attr = body.mid(attrStart, i - attrStart).toString().toLower();
        skipSpace();
        QString value;
        if (i < n && body[i] == QLatin1Char('=')) {
            ++i;
            skipSpace();
            if (i < n && (body[i] == QLatin1Char('"') || body[i] == QLatin1Char('\''))) {
                const QChar quote = body[i++];
                const qsizetype valueStart = i;
                while (i < n && body[i] != quote)
                    ++i;
                value = body.mid(valueStart, i - valueStart).toString();
                if (i < n)
                    ++i;
            } else {
                const qsizetype valueStart = i;
                while (i < n && !body[i].isSpace())
                    ++i;
                value = body.mid(valueStart, i - valueStart).toString();
            }
        }
        tag.attributes.insert(attr, decodeEntities(value));
    }
    return tag;
}

// The next tag at or after pos, skipping comments; false when none is left.
bool nextTag(const QString& html, qsizetype& pos, Tag& tag)
{
    while (true) {
        const qsizetype open = html.indexOf(QLatin1Char('<'), pos);
        if (open < 0)
            return false;
        if (html.mid(open, 4) == QLatin1String("<!--")) {
            const qsizetype end = html.indexOf(QLatin1String("-->"), open + 4);
            if (end < 0)
                return false;
            pos = end + 3;
            continue;
        }
        const qsizetype close = html.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0)
            return false;
        tag = parseTag(QStringView(html).mid(open + 1, close - open - 1));
        pos = close + 1;
        return true;
    }
}

} // namespace

QList<SitemapEntry> parseSitemap(const QString& html)
{
    QList<SitemapEntry> root;
    // The list each open <UL> appends to. A <UL> nests under the last entry
    // of the enclosing list, which is where a heading's children belong.
    QList<QList<SitemapEntry>*> stack;
    bool inObject = false;
    bool objectIsSitemap = false;
    SitemapEntry pending;

    qsizetype pos = 0;
    Tag tag;
    while (nextTag(html, pos, tag)) {
        if (tag.name == QLatin1String("ul")) {
            QList<SitemapEntry>* parent = stack.isEmpty() ? nullptr : stack.last();
            if (!parent) {
                stack.append(&root);
            } else if (parent->isEmpty()) {
                stack.append(parent); // a list without a heading: flatten it
            } else {
                stack.append(&parent->last().children);
            }
        } else if (tag.name == QLatin1String("/ul")) {
            if (!stack.isEmpty())
                stack.removeLast();
        } else if (tag.name == QLatin1String("object")) {
            inObject = true;
            objectIsSitemap = tag.attributes.value(QStringLiteral("type"))
                                  .compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) == 0;
            pending = SitemapEntry();
        } else if (tag.name == QLatin1String("param") && inObject && objectIsSitemap) {
            const QString name = tag.attributes.value(QStringLiteral("name")).toLower();
            const QString value = tag.attributes.value(QStringLiteral("value"));
            // An index keyword may list several pages; the first one counts.
            if (name == QLatin1String("name") && pending.name.isEmpty())
                pending.name = value;
            else if (name == QLatin1String("local") && pending.local.isEmpty())
                pending.local = value;
        } else if (tag.name == QLatin1String("/object")) {
            if (inObject && objectIsSitemap && !pending.name.isEmpty())
                (stack.isEmpty() ? root : *stack.last()).append(pending);
            inObject = false;
            objectIsSitemap = false;
        }
    }
    return root;
}

QString decodeSitemap(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

int countEntries(const QList<SitemapEntry>& entries)
{
    int n = 0;
    for (const SitemapEntry& e : entries)
        n += 1 + countEntries(e.children);
    return n;
}

const SitemapEntry* findByName(const QList<SitemapEntry>& entries, const QString& name)
{
    for (const SitemapEntry& e : entries) {
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return &e;
        if (const SitemapEntry* child = findByName(e.children, name))
            return child;
    }
    return nullptr;
}

} // namespace help
