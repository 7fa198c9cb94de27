#include "core/TextEncoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <cstdlib>

namespace {

constexpr char Bom[] = "\xEF\xBB\xBF";

bool fitsCodePage(const QString& text, const QByteArray& codePage)
{
    QStringEncoder encoder(codePage.constData(), QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return false;
    QStringDecoder decoder(codePage.constData(), QStringConverter::Flag::Stateless);
    const QString back = decoder.decode(bytes);
    return !decoder.hasError() && back == text;
}

} // namespace

QByteArray codePageForLocale(const QByteArray& locale)
{
    // "ll_CC.charset@modifier": only the language and the modifier matter.
    const qsizetype at = locale.indexOf('@');
    const QByteArray modifier = at < 0 ? QByteArray() : locale.mid(at + 1);
    QByteArray language = locale.left(at < 0 ? locale.size() : at);
    for (const char stop : {'_', '.', '-'}) {
        const qsizetype i = language.indexOf(stop);
        if (i >= 0)
            language.truncate(i);
    }
    language = language.toLower();
    const auto in = [&language](std::initializer_list<const char*> names) {
        for (const char* n : names)
            if (language == n)
                return true;
        return false;
    };
    // Serbian in Latin letters writes like its Central European neighbours.
    if (language == "sr" && modifier == "latin")
        return "windows-1250";
    if (in({"ru", "uk", "be", "bg", "sr", "mk", "kk", "ky", "tg", "mn"}))
        return "windows-1251";
    if (in({"pl", "cs", "sk", "hu", "sl", "hr", "ro", "bs", "sq"}))
        return "windows-1250";
    if (in({"el"}))
        return "windows-1253";
    if (in({"tr", "az"}))
        return "windows-1254";
    if (in({"he", "iw", "yi"}))
        return "windows-1255";
    if (in({"ar", "fa", "ur"}))
        return "windows-1256";
    if (in({"lt", "lv", "et"}))
        return "windows-1257";
    if (in({"vi"}))
        return "windows-1258";
    return "windows-1252";
}

QByteArray localeCodePage()
{
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return codePageForLocale(value);
    }
    return codePageForLocale("C");
}

QByteArray knownCodePage(const QString& name)
{
    const QByteArray n = name.trimmed().toLatin1();
    if (n.isEmpty())
        return {};
    QStringDecoder decoder(n.constData(), QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return {};
    // Every byte one character, ASCII as it is: the field separators and
    // line ends of our files then mean the same in any of them.
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    const QString text = decoder.decode(all);
    if (text.size() != 256 || text.left(128) != QString::fromLatin1(all.left(128)))
        return {};
    return n;
}

QByteArray codePageOrLocale(const QByteArray& chosen)
{
    return chosen.isEmpty() ? localeCodePage() : chosen;
}

bool isValidUtf8(QByteArrayView bytes)
{
    return bytes.isValidUtf8();
}

TextEncoding detectEncoding(QByteArrayView bytes, const QByteArray& codePage)
{
    if (isValidUtf8(bytes))
        return {QByteArray(), bytes.startsWith(Bom)};
    return {codePageOrLocale(codePage), false};
}

QString decodeText(QByteArrayView bytes, const TextEncoding& encoding)
{
    if (encoding.isUtf8()) {
        if (encoding.bom && bytes.startsWith(Bom))
            bytes = bytes.sliced(3);
        // fromUtf8 would drop a U+FEFF that is text; only the mark above goes.
        QStringDecoder utf8(QStringDecoder::Utf8,
                            QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
        return utf8.decode(bytes);
    }
    QStringDecoder decoder(encoding.codePage.constData(), QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QString decodeText(QByteArrayView bytes, TextEncoding* used, const QByteArray& codePage)
{
    const TextEncoding encoding = detectEncoding(bytes, codePage);
    if (used)
        *used = encoding;
    return decodeText(bytes, encoding);
}

QByteArray encodeText(const QString& text, TextEncoding& encoding)
{
    if (!encoding.isUtf8()) {
        if (fitsCodePage(text, encoding.codePage)) {
            QStringEncoder encoder(encoding.codePage.constData(), QStringConverter::Flag::Stateless);
            return encoder.encode(text);
        }
        encoding = TextEncoding();
    }
    // A text that itself begins with U+FEFF gets a mark in front, since the
    // reader drops one.
    const bool mark = encoding.bom || text.startsWith(QChar(0xFEFF));
    return (mark ? QByteArray(Bom) : QByteArray()) + text.toUtf8();
}
