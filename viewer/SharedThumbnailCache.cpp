#include "viewer/SharedThumbnailCache.h"

#include "core/Errors.h"
#include "graphics/PictureLoaders.h"
#include "graphics/PngChunks.h"
#include "graphics/PngReduced.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>

#include <cmath>
#include <cstdio>

#ifndef PICTAVO_VERSION
#define PICTAVO_VERSION ""
#endif

namespace {

const QList<SharedThumbnailCache::SizeClass> SizeClasses = {
    {QStringLiteral("normal"), 128},
    {QStringLiteral("large"), 256},
    {QStringLiteral("x-large"), 512},
    {QStringLiteral("xx-large"), 1024},
};

qint64 modifiedSecond(const FileStamp& stamp)
{
    // Whole seconds, rounded down as stat's tv_sec is (also before 1970).
    return stamp.modifiedNs >= 0 ? stamp.modifiedNs / 1'000'000'000
                                 : -((-stamp.modifiedNs + 999'999'999) / 1'000'000'000);
}

// Where the path leads, or the path cleaned when it leads nowhere yet.
QString resolved(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

bool matchesFile(const QImage& entry, const QByteArray& uri, const FileStamp& stamp)
{
    if (entry.isNull() || entry.text(QStringLiteral("Thumb::URI")).toUtf8() != uri)
        return false;
    // Written as whole seconds; a fraction from another writer is cut off.
    bool ok = false;
    const double mtime = entry.text(QStringLiteral("Thumb::MTime")).toDouble(&ok);
    if (!ok || qint64(std::floor(mtime)) != modifiedSecond(stamp))
        return false;
    const QString size = entry.text(QStringLiteral("Thumb::Size"));
    return size.isEmpty() || size.toLongLong() == stamp.size;
}

// Makes what is missing of `dir` below `root`'s parent, private to the user.
bool makePrivateDirectory(const QString& root, const QString& dir)
{
    if (QFileInfo(dir).isDir())
        return true;
    if (!QDir().mkpath(QFileInfo(root).absolutePath()))
        return false;
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    for (const QString& d : {root, dir}) {
        if (!QFileInfo(d).isDir() && !QDir().mkdir(d, owner) && !QFileInfo(d).isDir())
            return false;
    }
    return true;
}

// `image` as PNG bytes with `texts` as tEXt chunks right after the header,
// where every reader finds them before the pixels.
QByteArray pngWithTexts(const QImage& image, const QList<std::pair<QByteArray, QByteArray>>& texts)
{
    QList<PngChunk> chunks = pngChunks(encodePng(image));
    if (chunks.isEmpty() || chunks.first().type != "IHDR")
        return QByteArray();
    qsizetype at = 1;
    for (const auto& [key, value] : texts)
        chunks.insert(at++, PngChunk{"tEXt", key + '\0' + value});
    return pngFile(chunks);
}

} // namespace

SharedThumbnailCache::SharedThumbnailCache(const QString& root)
    : m_root(QDir::cleanPath(root.isEmpty() ? defaultRoot() : QFileInfo(root).absoluteFilePath()))
{
}

QString SharedThumbnailCache::defaultRoot()
{
    // A relative value is no value, as for every XDG variable.
    const QString xdg = qEnvironmentVariable("XDG_CACHE_HOME");
    const QString base = QDir::isAbsolutePath(xdg) ? xdg : QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(base + QStringLiteral("/thumbnails"));
}

QByteArray SharedThumbnailCache::uriOf(const QString& path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded();
}

QString SharedThumbnailCache::entryName(const QString& path)
{
    const QByteArray md5 = QCryptographicHash::hash(uriOf(path), QCryptographicHash::Md5);
    return QString::fromLatin1(md5.toHex()) + QStringLiteral(".png");
}

QList<SharedThumbnailCache::SizeClass> SharedThumbnailCache::classesCovering(QSize box)
{
    QList<SizeClass> covering;
    const int longer = std::max(box.width(), box.height());
    for (const SizeClass& c : SizeClasses) {
        if (longer > 0 && c.size >= longer)
            covering.append(c);
    }
    return covering;
}

bool SharedThumbnailCache::contains(const QString& path) const
{
    const QString file = resolved(path);
    const QString root = resolved(m_root);
    return file == root || file.startsWith(root + QLatin1Char('/'));
}

QString SharedThumbnailCache::entryPath(const SizeClass& sizeClass, const QString& path) const
{
    return m_root + QLatin1Char('/') + sizeClass.directory + QLatin1Char('/') + entryName(path);
}

void SharedThumbnailCache::forget(const QString& path) const
{
    for (const SizeClass& c : classesCovering(QSize(1, 1)))
        QFile::remove(entryPath(c, path));
}

QImage SharedThumbnailCache::find(const QString& path, const FileStamp& stamp, QSize box) const
{
    if (!stamp.isValid() || contains(path))
        return QImage();
    const QByteArray uri = uriOf(path);
    for (const SizeClass& c : classesCovering(box)) {
        // Any program may have written it: a loader reads it.
        LoaderRequest request;
        request.task = LoaderTask::Decode;
        request.format = quint8(PictureFormat::Png);
        request.keys = {"Thumb::URI", "Thumb::MTime", "Thumb::Size"};
        const QString entryFile = entryPath(c, path);
        if (!QFileInfo::exists(entryFile))
            continue;
        QImage entry;
        try {
            LoaderAnswer answer = PictureLoaders::shared().ask(entryFile, request);
            entry = std::move(answer.image);
            for (const auto& [key, value] : answer.reply.values)
                entry.setText(QString::fromUtf8(key), QString::fromUtf8(value));
        } catch (const AppError&) {
            continue;
        }
        if (matchesFile(entry, uri, stamp))
            return entry;
    }
    return QImage();
}

bool SharedThumbnailCache::store(const QString& path, const FileStamp& stamp, const QImage& image,
                                 QSize original, QSize box) const
{
    const QList<SizeClass> classes = classesCovering(box);
    if (!stamp.isValid() || image.isNull() || classes.isEmpty() || contains(path))
        return false;
    const SizeClass& c = classes.first();
    const QImage sized = std::max(image.width(), image.height()) > c.size
                             ? image.scaled(c.size, c.size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             : image;
    const QByteArray png =
        pngWithTexts(sized, {{"Thumb::URI", uriOf(path)},
                             {"Thumb::MTime", QByteArray::number(modifiedSecond(stamp))},
                             {"Thumb::Size", QByteArray::number(stamp.size)},
                             {"Thumb::Image::Width", QByteArray::number(original.width())},
                             {"Thumb::Image::Height", QByteArray::number(original.height())},
                             {"Software", QByteArray("Pictavo " PICTAVO_VERSION).trimmed()}});
    const QString dir = m_root + QLatin1Char('/') + c.directory;
    if (png.isEmpty() || !makePrivateDirectory(m_root, dir))
        return false;
    // Readers see the old entry or the whole new one, never a part.
    QTemporaryFile temporary(dir + QStringLiteral("/.pictavo-XXXXXX.png"));
    if (!temporary.open() || !temporary.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
        temporary.write(png) != png.size() || !temporary.flush())
        return false;
    const QByteArray from = QFile::encodeName(temporary.fileName());
    if (std::rename(from.constData(), QFile::encodeName(entryPath(c, path)).constData()) != 0)
        return false;
    temporary.setAutoRemove(false);
    return true;
}
