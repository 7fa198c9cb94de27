#pragma once
// A picture file that can't be used, and why, in words. Decoders see only
// bytes and throw without a name; Picture, which knows the file, throws the
// same problem again naming it, so every message says which file it is.
#include "core/Errors.h"
#include "graphics/PictureDamage.h"
#include "graphics/PictureFormat.h"

class PictureError : public AppError {
public:
    enum class Problem {
        Damaged,     // "is damaged (its data ends early)"
        NotThisKind, // "is not a JPEG picture": `detail` is the kind's name
        TooLarge,    // "is too large (…)"
        Unreadable,  // "uses a layout Pictavo can't read (…)"
        Unwritable,  // "uses a layout Pictavo can't write (…)"
    };

    PictureError(Problem problem, const QString& detail, const QString& file = QString());

    Problem problem() const noexcept { return m_problem; }
    const QString& detail() const noexcept { return m_detail; }
    // The same problem told of `file`; one that already names a file keeps it.
    PictureError about(const QString& file) const;

    static PictureError endsEarly() { return {Problem::Damaged, damageReason(PictureDamage::EndsEarly)}; }
    static PictureError corrupt(const QString& what = damageReason(PictureDamage::Corrupt))
    {
        return {Problem::Damaged, what};
    }
    static PictureError notKind(PictureFormat format);
    // Over the picture limit (see PictureLimits.h).
    static PictureError tooLarge(qint64 width, qint64 height);

private:
    static QString textOf(Problem problem, const QString& detail, const QString& file);
    Problem m_problem;
    QString m_detail;
    QString m_file;
};

// Runs `f` and throws any PictureError it throws again naming `file`.
template <typename F> auto namingFile(const QString& file, F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const PictureError& e) {
        throw e.about(file);
    }
}
