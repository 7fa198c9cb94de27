#pragma once
// An INI document held in memory. Reads follow the private-profile rules the
// settings and language files were always read with; writes change one line
// each and keep every other line as it was, and save() writes the file once.
#include "core/TextEncoding.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// 8-bit text files: UTF-8 when the bytes are valid UTF-8, otherwise the
// legacy code page.
QString decode8BitText(const QByteArray& bytes);

// A 32-bit integer in decimal with an optional sign, or in hexadecimal behind
// "$", "0x" or "0X" (up to 8 digits, taken as the 32-bit pattern). Anything
// else, out-of-range decimals included, gives std::nullopt.
std::optional<qint32> parseIniInteger(const QString& text);

class IniFile {
public:
    static constexpr int MaxValueLength = 2047;
    // Larger files are not settings or language files; they count as unreadable.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    // An empty document that save() cannot write (no path).
    IniFile() = default;
    // Loads the file; a missing file is an empty document that save() creates.
    // 8-bit text is read in `codePage` (codePageOrLocale).
    explicit IniFile(const QString& path, const QByteArray& codePage = {});
    static IniFile fromBytes(const QByteArray& bytes, const QString& path = {}, const QByteArray& codePage = {});

    const QString& path() const { return m_path; }
    // The file existed but could not be read: it is never overwritten.
    bool unreadable() const { return m_unreadable; }
    bool isModified() const { return m_modified; }

    // The value as stored (trimmed, unquoted, at most MaxValueLength
    // characters); std::nullopt when the key is absent.
    std::optional<QString> value(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key, const QString& def) const;
    qint32 readInteger(const QString& section, const QString& key, qint32 def) const;
    bool readBool(const QString& section, const QString& key, bool def) const;

    // Replaces the key's line, or adds the key (and its section) when absent.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, qint32 value);
    void writeBool(const QString& section, const QString& key, bool value);
    // Takes the key's line out; every other line stays.
    void removeKey(const QString& section, const QString& key);

    // The encoding the file was read in (UTF-8 for a new one).
    const TextEncoding& encoding() const { return m_encoding; }
    // The document as written: in its encoding while every character fits,
    // otherwise UTF-8; CR LF after every line.
    QByteArray toBytes() const;
    // Writes the document atomically; throws AppError("Unable to write to %s").
    void save();

private:
    int findSection(const QString& section) const;
    int sectionEnd(int headerLine) const;
    std::optional<int> findKey(int headerLine, const QString& key) const;

    QString m_path;
    QStringList m_lines;
    TextEncoding m_encoding;
    bool m_unreadable = false;
    bool m_modified = false;
};
