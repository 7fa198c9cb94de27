#include "viewer/FolderPictures.h"

#include "core/Errors.h"
#include "core/FileNames.h"
#include "core/RegularFile.h"
#include "graphics/PictureFormat.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <dirent.h>
#include <numeric>
#include <sys/stat.h>
#include <vector>

namespace {

// A collection cannot list a name holding its field separator.
bool listable(const QString& name)
{
    return !name.contains(QLatin1Char('^')) && !name.contains(QChar(0));
}

bool isRegular(const QString& path)
{
    struct stat st {};
    return ::stat(nativeFileName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// A picture without a known name: its first bytes tell.
bool holdsPicture(const QString& path)
{
    try {
        return pictureFormatOf(RegularFile(path).readHead(PictureFormatHeadBytes)) != PictureFormat::Unknown;
    } catch (const AppError&) {
        return false;
    }
}

// Where a picture (or a folder) named by itself lists: its folder, as the
// file system names it, and its own name there (none for a folder).
struct Place {
    QString folder;
    QString name;
    bool wholeFolder = false;
    QString pathOf(const QString& entry) const
    {
        return folder.endsWith(QLatin1Char('/')) ? folder + entry : folder + QLatin1Char('/') + entry;
    }
};

Place placeOf(const QString& picture)
{
    // Names as the file system holds them, whatever their bytes.
    const QString asked = absoluteFileName(picture);
    Place place;
    place.wholeFolder = isFolder(asked);
    // "." goes; ".." only the system may take away, past a link.
    const QString named = place.wholeFolder ? asked : folderOf(asked);
    place.folder = named.contains(QLatin1String("/..")) ? named : QDir::cleanPath(named);
    if (!place.wholeFolder)
        place.name = asked.mid(asked.lastIndexOf(QLatin1Char('/')) + 1);
    return place;
}

// The folder's pictures, in the folder's own order. The kind of entry the
// folder tells saves a look at each file; links and file systems that
// don't tell are looked at.
QStringList pictureNames(const Place& place, const std::atomic<bool>* stop)
{
    QStringList names;
    DIR* dir = ::opendir(nativeFileName(place.folder).constData());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        if (stop && stop->load())
            break;
        const QByteArrayView bytes(e->d_name);
        if (bytes == "." || bytes == ".." || (e->d_type != DT_REG && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN))
            continue;
        const QString name = fileNameFromNative(bytes);
        if (!listable(name))
            continue;
        const bool known = hasPictureSuffix(name);
        if (known && e->d_type == DT_REG) {
            names << name;
            continue;
        }
        const QString path = place.pathOf(name);
        if (isRegular(path) && (known || holdsPicture(path)))
            names << name;
    }
    ::closedir(dir);
    return names;
}

// Natural name order through one collation key per name: comparing keys
// costs far less than collating every pair.
void sortNaturally(QStringList& names)
{
    // The C locale's collator compares code points and ignores numeric
    // mode, so "img10" would come before "img2" there.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(std::size_t(names.size()));
    for (const QString& name : std::as_const(names))
        keys.push_back(collator.sortKey(name));
    std::vector<int> order(std::size_t(names.size()));
    std::iota(order.begin(), order.end(), 0);
    // Names equal but for case still come in one order, run after run.
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = keys[std::size_t(a)].compare(keys[std::size_t(b)]);
        return c != 0 ? c < 0 : names.at(a) < names.at(b);
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const int i : order)
        sorted << names.at(i);
    names = std::move(sorted);
}

} // namespace

bool isPictureFile(const QString& path)
{
    if (!listable(path) || !isRegular(path))
        return false;
    return hasPictureSuffix(path) || holdsPicture(path);
}

bool isFolder(const QString& path)
{
    struct stat st {};
    return ::stat(nativeFileName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool opensAsFolderPictures(const QString& path)
{
    return isFolder(path) || isPictureFile(path);
}

FolderPictures folderPictures(const QString& picture, const std::atomic<bool>* stop)
{
    const Place place = placeOf(picture);
    QStringList names = pictureNames(place, stop);
    if (stop && stop->load())
        return {};
    sortNaturally(names);
    FolderPictures found;
    found.entries.reserve(names.size());
    for (const QString& name : std::as_const(names)) {
        found.entries.append({place.pathOf(name), QString()});
        if (name == place.name)
            found.current = int(found.entries.size());
    }
    if (place.wholeFolder) {
        if (found.entries.isEmpty())
            throw AppError(
                QStringLiteral("There are no pictures in %1").arg(QDir::toNativeSeparators(place.folder)));
        found.current = 1;
    }
    return found;
}

FolderPictures namedPicture(const QString& picture)
{
    const Place place = placeOf(picture);
    return {{{place.pathOf(place.name), QString()}}, 1};
}

QString firstPictureOpened(const QString& named, const QByteArray& codePage)
{
    if (named.isEmpty() || isFolder(named))
        return QString();
    if (isPictureFile(named))
        return namedPicture(named).entries.first().path;
    // Read again when the collection opens: only a small one is read twice.
    if (QFileInfo(named).size() > 1024 * 1024)
        return QString();
    QString first;
    std::atomic<bool> stop = false;
    CollectionReadHooks hooks;
    hooks.stop = &stop;
    hooks.codePage = codePage;
    try {
        readCollection(
            named,
            [&](int, const CollectionEntry& e) {
                if (!stop.exchange(true))
                    first = e.path;
            },
            hooks);
    } catch (const AppError&) {
        return QString(); // told when the collection opens
    }
    return isPictureFile(first) ? first : QString();
}
