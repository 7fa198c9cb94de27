#include "core/FileNames.h"

#include "core/Errors.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <unistd.h>

namespace {

constexpr char16_t EscapeBase = 0xDC00; // + the byte, 0x80..0xFF

bool isEscape(char16_t c)
{
    return c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF;
}

// The length of the well-formed UTF-8 sequence at p (as strict as
// isValidUtf8: no overlong forms, no surrogates, nothing past U+10FFFF),
// or 0.
int sequenceLength(const unsigned char* p, const unsigned char* end)
{
    const auto cont = [&](int i, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
        return p + i < end && p[i] >= lo && p[i] <= hi;
    };
    const unsigned char b = p[0];
    if (b >= 0xC2 && b <= 0xDF)
        return cont(1) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        const unsigned char lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
        return cont(1, lo, hi) && cont(2) ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        const unsigned char lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
        return cont(1, lo, hi) && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
}

void appendUtf8(QByteArray& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

QString fileNameFromNative(QByteArrayView bytes)
{
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        if (*p < 0x80) {
            out += QChar(char16_t(*p++));
            continue;
        }
        const int n = sequenceLength(p, end);
        if (n == 0) {
            out += QChar(char16_t(EscapeBase + *p++));
            continue;
        }
        out += QString::fromUtf8(reinterpret_cast<const char*>(p), n);
        p += n;
    }
    return out;
}

bool hasForeignBytes(const QString& name)
{
    for (const QChar c : name)
        if (isEscape(c.unicode()))
            return true;
    return false;
}

QByteArray nativeFileName(const QString& name)
{
    bool plain = true;
    for (const QChar c : name)
        plain = plain && !c.isSurrogate();
    if (plain)
        return name.toUtf8();
    QByteArray out;
    out.reserve(name.size() * 3);
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = name.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(name.at(i + 1).unicode())) {
            appendUtf8(out, QChar::surrogateToUcs4(c, name.at(++i).unicode()));
        } else if (isEscape(c)) {
            out += char(c - EscapeBase);
        } else {
            // A lone surrogate that no name of the system's became.
            appendUtf8(out, QChar::isSurrogate(c) ? char32_t(0xFFFD) : char32_t(c));
        }
    }
    return out;
}

QByteArray checkedNativeName(const QString& name)
{
    if (name.contains(QChar(0)))
        throw AppError(msg::nulInFileName(name));
    return nativeFileName(name);
}

QByteArray terminalText(const QString& text)
{
    QString shown = text;
    return nativeFileName(shown.replace(QChar(0), QLatin1String("\\0")));
}

QString absoluteFileName(const QString& name)
{
    if (name.startsWith(QLatin1Char('/')))
        return name;
    QByteArray here(4096, '\0');
    while (!::getcwd(here.data(), std::size_t(here.size()))) {
        if (errno != ERANGE)
            return name;
        here.resize(here.size() * 2);
    }
    const QString folder = fileNameFromNative(here.constData());
    if (name.isEmpty())
        return folder;
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString folderOf(const QString& absoluteName)
{
    const qsizetype slash = absoluteName.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : absoluteName.left(slash);
}

QString realFolderOf(const QString& file)
{
    const QString folder = folderOf(absoluteFileName(file));
    char* real = ::realpath(nativeFileName(folder).constData(), nullptr);
    if (!real)
        return folder;
    const QString found = fileNameFromNative(real);
    std::free(real);
    return found;
}

QStringList folderEntries(const QString& folder)
{
    QStringList names;
    DIR* dir = ::opendir(nativeFileName(folder).constData());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArrayView name(e->d_name);
        if (name != "." && name != "..")
            names << fileNameFromNative(name);
    }
    ::closedir(dir);
    return names;
}
