#include "effects/ApplyCheck.h"

#include "core/Errors.h"
#include "core/FileNames.h"
#include "core/JobRunner.h"
#include "effects/PictureWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <deque>
#include <cstring>
#include <unistd.h>

namespace {

bool writable(const QString& path)
{
    return ::access(nativeFileName(path).constData(), W_OK) == 0;
}

// Empty when the file could be read and written back, else why not.
QString checkFile(const QString& path, ExifOrientation exif)
{
    try {
        const Picture picture = Picture::loadFromFile(path, exif);
        if (const PictureDamage damage = picture.damage(); damage != PictureDamage::None)
            return msg::pictureDamaged(path, damageReason(damage));
        if (pictureFileKind(path) == PictureFileKind::Other)
            return QString(); // nothing is written to it
        const QString folder = folderOf(absoluteFileName(path));
        if (!writable(path) || !(writable(folder) && ::access(nativeFileName(folder).constData(), X_OK) == 0))
            return msg::cannotCreate(path, QString::fromLocal8Bit(std::strerror(EACCES)));
        return QString();
    } catch (const AppError& e) {
        return e.text();
    }
}

} // namespace

QList<UnusableEntry> checkEntries(const QStringList& files, ExifOrientation exif)
{
    // Each file once, two at a time: reading a JPEG to its end is most of it.
    // A set: a collection may list a million entries.
    QStringList distinct;
    QSet<QString> seen;
    for (const QString& f : files)
        if (!seen.contains(f)) {
            seen.insert(f);
            distinct << f;
        }
    QHash<QString, QString> reasons;
    JobRunner checks(2);
    // A few jobs ahead at a time, not one per entry at once.
    std::deque<JobRunner::Ticket> pending;
    for (const QString& f : std::as_const(distinct)) {
        pending.push_back(checks.submit(
            [f, exif, &reasons](const JobRunner::StopFlag&) -> JobRunner::Delivery {
                return [f, &reasons, reason = checkFile(f, exif)] { reasons.insert(f, reason); };
            },
            {}));
        if (pending.size() > 16) {
            checks.waitFor(pending.front());
            pending.pop_front();
        }
    }
    if (!pending.empty())
        checks.waitFor(pending.back());
    QList<UnusableEntry> unusable;
    for (int k = 1; k <= int(files.size()); ++k) {
        const QString& reason = reasons.value(files[k - 1]);
        if (!reason.isEmpty())
            unusable.append({k, files[k - 1], reason});
    }
    return unusable;
}

QStringList usableFiles(const QStringList& files, const QList<UnusableEntry>& unusable)
{
    QStringList usable;
    qsizetype next = 0;
    for (int k = 1; k <= int(files.size()); ++k) {
        if (next < unusable.size() && unusable[next].entry == k)
            ++next;
        else
            usable << files[k - 1];
    }
    return usable;
}

QString unusableList(const QList<UnusableEntry>& unusable, int shown, const QString& more)
{
    QStringList lines;
    for (qsizetype i = 0; i < unusable.size() && i < shown; ++i)
        lines << unusable[i].reason;
    if (unusable.size() > shown)
        lines << more.arg(unusable.size() - shown);
    return lines.join(QLatin1Char('\n'));
}
