#include "settings/IniFile.h"

#include "core/AtomicFile.h"
#include "core/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r';
}

QStringView trimBlanks(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlank(s[begin]))
        ++begin;
    while (end > begin && isBlank(s[end - 1]))
        --end;
    return s.mid(begin, end - begin);
}

// "[Name]" -> "Name"; a header without its closing bracket still counts.
std::optional<QStringView> sectionHeader(QStringView line)
{
    const QStringView t = trimBlanks(line);
    if (t.isEmpty() || t[0] != u'[')
        return std::nullopt;
    const qsizetype close = t.indexOf(u']');
    return trimBlanks(t.mid(1, close < 0 ? -1 : close - 1));
}

struct KeyValue {
    QStringView key;
    QStringView value;
};

std::optional<KeyValue> keyLine(QStringView line)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    const QStringView key = trimBlanks(line.left(eq));
    if (key.isEmpty())
        return std::nullopt;
    return KeyValue{key, trimBlanks(line.mid(eq + 1))};
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString unquoteAndLimit(QStringView v)
{
    if (v.size() >= 2 && (v[0] == u'"' || v[0] == u'\'') && v.back() == v[0])
        v = v.mid(1, v.size() - 2);
    if (v.size() > IniFile::MaxValueLength) {
        qsizetype n = IniFile::MaxValueLength;
        if (v[n - 1].isHighSurrogate())
            --n; // never cut a character in half
        v = v.left(n);
    }
    return v.toString();
}

// A line break inside a value would start new lines of the file, so a
// hostile value (a file name holding "\n[Settings]") could forge keys.
QString singleLine(const QString& s)
{
    QString out = s;
    out.replace(u'\r', u' ');
    out.replace(u'\n', u' ');
    return out;
}

QString unableToWrite(const QString& path)
{
    return QStringLiteral("Unable to write to %1").arg(path);
}

} // namespace

QString decode8BitText(const QByteArray& bytes)
{
    return decodeText(bytes);
}

std::optional<qint32> parseIniInteger(const QString& text)
{
    QStringView s(text);
    if (s.isEmpty())
        return std::nullopt;

    auto hexDigit = [](QChar c) -> int {
        if (c >= u'0' && c <= u'9')
            return c.unicode() - '0';
        if (c >= u'a' && c <= u'f')
            return c.unicode() - 'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c.unicode() - 'A' + 10;
        return -1;
    };

    QStringView hex;
    bool isHex = false;
    if (s.startsWith(u'$')) {
        hex = s.mid(1);
        isHex = true;
    } else if (s.startsWith(u"0x") || s.startsWith(u"0X")) {
        hex = s.mid(2);
        isHex = true;
    }
    if (isHex) {
        if (hex.isEmpty())
            return std::nullopt;
        quint64 v = 0;
        for (QChar c : hex) {
            const int d = hexDigit(c);
            if (d < 0)
                return std::nullopt;
            v = v * 16 + d;
            if (v > 0xFFFFFFFFull)
                return std::nullopt;
        }
        return static_cast<qint32>(static_cast<quint32>(v));
    }

    bool negative = false;
    if (s[0] == u'+' || s[0] == u'-') {
        negative = s[0] == u'-';
        s = s.mid(1);
    }
    if (s.isEmpty())
        return std::nullopt;
    qint64 v = 0;
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        v = v * 10 + (c.unicode() - '0');
        if (v > 2147483648LL)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v > 2147483647LL)
        return std::nullopt;
    return static_cast<qint32>(v);
}

IniFile::IniFile(const QString& path, const QByteArray& codePage) : m_path(path)
{
    QFile file(path);
    if (!file.exists())
        return;
    if (QFileInfo(path).isDir() || file.size() > MaxFileSize || !file.open(QIODevice::ReadOnly)) {
        m_unreadable = true;
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_unreadable = true;
        return;
    }
    *this = fromBytes(bytes, path, codePage);
}

IniFile IniFile::fromBytes(const QByteArray& bytes, const QString& path, const QByteArray& codePage)
{
    IniFile ini;
    ini.m_path = path;
    const QString text = decodeText(bytes, &ini.m_encoding, codePage);
    if (text.isEmpty())
        return ini;
    ini.m_lines = text.split(u'\n');
    if (text.endsWith(u'\n'))
        ini.m_lines.removeLast();
    for (QString& line : ini.m_lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return ini;
}

int IniFile::findSection(const QString& section) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionHeader(m_lines[i]);
        if (name && sameName(*name, section))
            return i;
    }
    return -1;
}

int IniFile::sectionEnd(int headerLine) const
{
    int i = headerLine + 1;
    while (i < m_lines.size() && !sectionHeader(m_lines[i]))
        ++i;
    return i;
}

std::optional<int> IniFile::findKey(int headerLine, const QString& key) const
{
    const int end = sectionEnd(headerLine);
    for (int i = headerLine + 1; i < end; ++i) {
        const auto kv = keyLine(m_lines[i]);
        if (kv && sameName(kv->key, key))
            return i;
    }
    return std::nullopt;
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const
{
    const int header = findSection(section);
    if (header < 0)
        return std::nullopt;
    const auto line = findKey(header, key);
    if (!line)
        return std::nullopt;
    return unquoteAndLimit(keyLine(m_lines[*line])->value);
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const
{
    return value(section, key).value_or(def);
}

qint32 IniFile::readInteger(const QString& section, const QString& key, qint32 def) const
{
    const auto text = value(section, key);
    if (!text)
        return def;
    return parseIniInteger(*text).value_or(def);
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    const QString line = singleLine(key) + u'=' + singleLine(value);
    m_modified = true;
    const int header = findSection(section);
    if (header < 0) {
        m_lines << u'[' + singleLine(section) + u']' << line;
        return;
    }
    if (const auto existing = findKey(header, key)) {
        m_lines[*existing] = line;
        return;
    }
    // New keys go after the section's last non-blank line, so the blank
    // lines that separate it from the next section stay where they are.
    int insertAt = sectionEnd(header);
    while (insertAt > header + 1 && trimBlanks(m_lines[insertAt - 1]).isEmpty())
        --insertAt;
    m_lines.insert(insertAt, line);
}

void IniFile::removeKey(const QString& section, const QString& key)
{
    const int header = findSection(section);
    if (header < 0)
        return;
    if (const auto existing = findKey(header, key)) {
        m_lines.removeAt(*existing);
        m_modified = true;
    }
}

void IniFile::writeInteger(const QString& section, const QString& key, qint32 value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QByteArray IniFile::toBytes() const
{
    QString text;
    for (const QString& line : m_lines)
        text += line + QLatin1String("\r\n");
    TextEncoding encoding = m_encoding;
    return encodeText(text, encoding);
}

void IniFile::save()
{
    // A file we could not read would lose all its other lines if written.
    if (m_path.isEmpty() || m_unreadable)
        throw AppError(unableToWrite(m_path));
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        throw AppError(unableToWrite(m_path));
    try {
        writeFileAtomically(m_path, toBytes());
    } catch (const FileWriteError& e) {
        throw AppError(unableToWrite(m_path) + e.backupNote());
    }
    m_modified = false;
}
