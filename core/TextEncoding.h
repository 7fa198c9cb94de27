#pragma once
// Text files written on Windows are 8-bit text in a code page; valid UTF-8
// (with or without a byte order mark) is UTF-8, anything else is read in
// the legacy code page. A file keeps the encoding it was read in while
// every character fits, and becomes UTF-8 when one doesn't.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// How a file's text is stored: UTF-8 (no code page) or a code page.
struct TextEncoding {
    QByteArray codePage; // empty for UTF-8
    bool bom = false;    // UTF-8 only
    bool isUtf8() const { return codePage.isEmpty(); }
    bool operator==(const TextEncoding&) const = default;
};

// The Windows code page of a locale name such as "ru_RU.UTF-8" or "sr_RS@latin".
QByteArray codePageForLocale(const QByteArray& locale);
// The code page of the locale named by LC_ALL, LC_CTYPE or LANG.
QByteArray localeCodePage();

// The converter's name for a single-byte code page that keeps ASCII as it
// is, or empty when there is no such code page by that name.
QByteArray knownCodePage(const QString& name);

// `chosen` (a converter's name, as knownCodePage gives it), or the
// locale's code page when none is chosen. Whoever holds the settings
// chooses; text that is not UTF-8 is read in this.
QByteArray codePageOrLocale(const QByteArray& chosen);

// Strict: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(QByteArrayView bytes);

// The encoding a whole text is in, by the rule above; `codePage` as
// codePageOrLocale takes it.
TextEncoding detectEncoding(QByteArrayView bytes, const QByteArray& codePage = {});
// Decodes in `encoding`, its byte order mark (if it has one) dropped.
QString decodeText(QByteArrayView bytes, const TextEncoding& encoding);
// Decodes by the rule above; `used` receives the encoding.
QString decodeText(QByteArrayView bytes, TextEncoding* used = nullptr, const QByteArray& codePage = {});
// Encodes in `encoding` when every character fits, otherwise in UTF-8
// (and `encoding` becomes UTF-8), a byte order mark in front if it has one.
QByteArray encodeText(const QString& text, TextEncoding& encoding);
