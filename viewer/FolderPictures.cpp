#include "viewer/FolderPictures.h"

#include "core/Errors.h"
#include "core/FileNames.h"
#include "core/RegularFile.h"
#include "graphics/PictureFormat.h"

#include <QCollator>
#include <QDir>
#include <QLocale>

#include <algorithm>
#include <sys/stat.h>

bool isPictureFile(const QString& path)
{
    // A path holding the field separator cannot be listed in a collection.
    struct stat st {};
    if (path.contains(QLatin1Char('^')) || path.contains(QChar(0)) ||
        ::stat(nativeFileName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (hasPictureSuffix(path))
        return true;
    // A picture without a known name: its first bytes tell.
    try {
        return pictureFormatOf(RegularFile(path).readHead(PictureFormatHeadBytes)) != PictureFormat::Unknown;
    } catch (const AppError&) {
        return false;
    }
}

static bool isFolder(const QString& path)
{
    struct stat st {};
    return ::stat(nativeFileName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool opensAsFolderPictures(const QString& path)
{
    return isFolder(path) || isPictureFile(path);
}

FolderPictures folderPictures(const QString& picture)
{
    // Names as the file system holds them, whatever their bytes.
    const QString asked = absoluteFileName(picture);
    const bool wholeFolder = isFolder(asked);
    // "." goes; ".." only the system may take away, past a link.
    const QString named = wholeFolder ? asked : folderOf(asked);
    const QString folder = named.contains(QLatin1String("/..")) ? named : QDir::cleanPath(named);
    const QString askedName = wholeFolder ? QString() : asked.mid(asked.lastIndexOf(QLatin1Char('/')) + 1);
    QStringList names = folderEntries(folder);
    // The C locale's collator compares code points and ignores numeric
    // mode, so "img10" would come before "img2" there.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // Names equal but for case still come in one order, run after run.
    std::sort(names.begin(), names.end(), [&collator](const QString& a, const QString& b) {
        const int c = collator.compare(a, b);
        return c != 0 ? c < 0 : a < b;
    });
    FolderPictures found;
    for (const QString& name : names) {
        const QString path =
            folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
        if (!isPictureFile(path))
            continue;
        found.entries.append({path, QString()});
        if (name == askedName)
            found.current = int(found.entries.size());
    }
    if (wholeFolder) {
        if (found.entries.isEmpty())
            throw AppError(
                QStringLiteral("There are no pictures in %1").arg(QDir::toNativeSeparators(folder)));
        found.current = 1;
    }
    return found;
}
