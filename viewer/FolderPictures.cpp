#include "viewer/FolderPictures.h"

#include "core/Errors.h"
#include "core/RegularFile.h"
#include "graphics/PictureFormat.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

bool isPictureFile(const QString& path)
{
    // A path holding the field separator cannot be listed in a collection.
    if (path.contains(QLatin1Char('^')) || !QFileInfo(path).isFile())
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

bool opensAsFolderPictures(const QString& path)
{
    return QFileInfo(path).isDir() || isPictureFile(path);
}

FolderPictures folderPictures(const QString& picture)
{
    const QFileInfo asked(picture);
    const bool wholeFolder = asked.isDir();
    const QDir folder = wholeFolder ? QDir(asked.absoluteFilePath()) : asked.absoluteDir();
    QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
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
        const QString path = folder.absoluteFilePath(name);
        if (!isPictureFile(path))
            continue;
        found.entries.append({path, QString()});
        if (name == asked.fileName() && !wholeFolder)
            found.current = int(found.entries.size());
    }
    if (wholeFolder) {
        if (found.entries.isEmpty())
            throw AppError(
                QStringLiteral("There are no pictures in %1").arg(QDir::toNativeSeparators(folder.path())));
        found.current = 1;
    }
    return found;
}
