#pragma once
// Read-only access to a compiled HTML help file (.chm) through chmlib.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

struct chmFile;

class ChmFile {
public:
    ChmFile() = default;
    // Throws AppError ("Cannot open file ...") when the file is missing or
    // is not a help file.
    explicit ChmFile(const QString& path);
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;
    ChmFile(ChmFile&& other) noexcept;
    ChmFile& operator=(ChmFile&& other) noexcept;

    bool isOpen() const { return m_handle != nullptr; }
    const QString& path() const { return m_path; }

    // The archive's ordinary objects ("/pages/a.htm"), in archive order.
    QStringList objects() const;
    // An object's bytes; nothing when the archive has no such object.
    // The path is normalised first (see normalizePath).
    std::optional<QByteArray> read(const QString& path) const;
    bool contains(const QString& path) const;

    // From the archive's "/#SYSTEM" record; the contents and index files
    // fall back to the first .hhc / .hhk object. Paths carry a leading "/".
    QString contentsFile() const { return m_contents; }
    QString indexFile() const { return m_index; }
    QString defaultTopic() const { return m_defaultTopic; }
    QString title() const { return m_title; }

    // An archive path with a leading "/", "\" turned into "/", "." and ".."
    // folded (never above the root), and any "#anchor" or "?query" removed.
    static QString normalizePath(const QString& path);
    // A link as written in the page at basePath, as an archive path. Keeps
    // its "#anchor". Links of the "ms-its:file::/page" form resolve to the
    // page inside this archive.
    static QString resolveLink(const QString& basePath, const QString& link);

private:
    void readSystem();

    chmFile* m_handle = nullptr;
    QString m_path;
    QString m_contents;
    QString m_index;
    QString m_defaultTopic;
    QString m_title;
};
