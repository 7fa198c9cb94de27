#pragma once
// Failures are exceptions carrying the program's own message text; one
// handler at the event loop shows the text and the command stops there.
#include <QString>
#include <stdexcept>

class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const noexcept { return m_text; }

private:
    QString m_text;
};

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
// "Unknown picture file extension (.%s)"
inline QString unknownExtension(const QString& extWithoutDot)
{
    return QStringLiteral("Unknown picture file extension (.%1)").arg(extWithoutDot);
}
// "JPEG error #%d"
inline QString jpegError(int code) { return QStringLiteral("JPEG error #%1").arg(code); }
} // namespace msg
