#pragma once
// Failures are exceptions carrying the program's own message text; one
// handler at the event loop shows the text and the command stops there.
#include <QString>
#include <exception>
#include <stdexcept>

class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const noexcept { return m_text; }

private:
    QString m_text;
};

// The text of a failure carried from another thread: an AppError's own
// text, another standard exception's what(). Anything else is rethrown.
inline QString failureText(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const AppError& e) {
        return e.text();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    }
}

namespace msg {
// "Cannot open file "%s". %s"
inline QString cannotOpen(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason);
}
// "Cannot create file "%s". %s"
inline QString cannotCreate(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}
// Added to a write error when the old bytes could not be put back.
inline QString backupKept(const QString& backupPath)
{
    return QStringLiteral("A copy of the old file is kept in \"%1\".").arg(backupPath);
}
// "Unknown picture file extension (.%s)"
inline QString unknownExtension(const QString& extWithoutDot)
{
    return QStringLiteral("Unknown picture file extension (.%1)").arg(extWithoutDot);
}
// "JPEG error #%d"
inline QString jpegError(int code)
{
    return QStringLiteral("JPEG error #%1").arg(code);
}
// A picture that decodes only in part is never written back.
inline QString pictureDamaged(const QString& path, const QString& reason)
{
    return QStringLiteral("\"%1\" is damaged (%2); it was not changed.").arg(path, reason);
}
// Rotate or effects on a kind that is shown but never written.
inline QString kindNotChanged(const QString& file)
{
    return QStringLiteral("Pictavo shows \"%1\" but does not change this kind of picture.").arg(file);
}

// Names, writes and collections at their edges.
// A name the system can't take: shown with the NUL as "\0".
inline QString nulInFileName(const QString& name)
{
    QString shown = name;
    shown.replace(QChar(0), QLatin1String("\\0"));
    return QStringLiteral("The file name \"%1\" holds a NUL character, which no file name can hold.")
        .arg(shown);
}
// Why a name that is no regular file is not read or written.
inline QString notRegularFile(const QString& kind)
{
    return QStringLiteral("It is a %1, not a regular file.").arg(kind);
}
// Collections past the reader's limits.
inline QString collectionTooLarge(const QString& path, qint64 megabytes, qint64 limitMegabytes)
{
    return QStringLiteral("\"%1\" is too large for a collection (%2 MB; the limit is %3 MB).")
        .arg(path)
        .arg(megabytes)
        .arg(limitMegabytes);
}
inline QString collectionTooManyEntries(const QString& path, qint64 limit)
{
    return QStringLiteral("\"%1\" lists more than %2 pictures, more than a collection may hold.")
        .arg(path)
        .arg(limit);
}
// %2: the line numbers, "3, 7 and 2 more".
inline QString collectionLongLines(const QString& path, const QString& lines)
{
    return QStringLiteral("Lines longer than 64 KiB were left out of \"%1\": %2").arg(path, lines);
}
// What is wrong with a picture file, in words, naming the file: "The
// picture" stands in for a name a decoder doesn't know.
inline QString pictureSubject(const QString& file)
{
    return file.isEmpty() ? QStringLiteral("The picture") : QStringLiteral("\"%1\"").arg(file);
}
// "… is damaged (its data ends early)"
inline QString pictureIsDamaged(const QString& file, const QString& what)
{
    return QStringLiteral("%1 is damaged (%2)").arg(pictureSubject(file), what);
}
// "… is not a JPEG picture": `kind` with its article, "a JPEG".
inline QString pictureIsNotKind(const QString& file, const QString& kind)
{
    return QStringLiteral("%1 is not %2 picture").arg(pictureSubject(file), kind);
}
// "… is too large (18000 × 19800 pixels; the limit is 268 megapixels)"
inline QString pictureIsTooLarge(const QString& file, const QString& what)
{
    return QStringLiteral("%1 is too large (%2)").arg(pictureSubject(file), what);
}
inline QString pixelsOverLimit(qint64 width, qint64 height, qint64 limitMegapixels)
{
    return QStringLiteral("%1 \u00d7 %2 pixels; the limit is %3 megapixels").arg(width).arg(height).arg(limitMegapixels);
}
// Neither the content nor the name tells a kind that is read.
inline QString pictureKindUnknown(const QString& file, const QString& extWithoutDot)
{
    return QStringLiteral("%1 is not a picture Pictavo reads (unknown picture file extension .%2)")
        .arg(pictureSubject(file), extWithoutDot);
}
// A layout the decoders don't know: "(12-bit samples)".
inline QString pictureLayoutUnreadable(const QString& file, const QString& what)
{
    return QStringLiteral("%1 uses a layout Pictavo can't read (%2)").arg(pictureSubject(file), what);
}
// A rewrite that would lose what the file holds is refused.
inline QString pictureLayoutUnwritable(const QString& file, const QString& what)
{
    return QStringLiteral("%1 uses a layout Pictavo can't write (%2); it was not changed.").arg(pictureSubject(file), what);
}
} // namespace msg
