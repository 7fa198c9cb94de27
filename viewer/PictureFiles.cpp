#include "viewer/PictureFiles.h"

#include "viewer/SharedThumbnailCache.h"
#include "viewer/ViewerSession.h"

#include <utility>

namespace {
const PictureFile NoFile;
} // namespace

PictureFiles::PictureFiles(ViewerSession& session, QSize slotBox, QObject* parent)
    : QObject(parent), m_session(session), m_slotBox(slotBox), m_decoder(slotBox), m_thumbnails(1)
{
    m_stripWaitTimer.setSingleShot(true);
    m_stripWaitTimer.setInterval(StripWaitMs);
    connect(&m_stripWaitTimer, &QTimer::timeout, this, &PictureFiles::releaseStrip);
    connect(&m_decoder, &DecodeAhead::ready, this, &PictureFiles::takeDecoded);
    connect(&m_decoder, &DecodeAhead::failed, this, &PictureFiles::takeFailure);
    connect(&m_thumbnails, &ThumbnailQueue::arrived, this, &PictureFiles::takeThumbnail);
    // Told together, as the strip's failures were told before it filled
    // off the GUI thread; queued, so the last rendition is drawn first.
    connect(&m_thumbnails, &ThumbnailQueue::drained, this, [this] {
        if (!m_stripFailures.isEmpty())
            QMetaObject::invokeMethod(this, &PictureFiles::tellStripFailures, Qt::QueuedConnection);
    });
}

const PictureFile& PictureFiles::file(const QString& path) const
{
    const auto f = m_files.constFind(path);
    return f == m_files.cend() ? NoFile : *f;
}

PictureFile& PictureFiles::fileOf(const QString& path)
{
    auto f = m_files.find(path);
    if (f == m_files.end())
        f = m_files.insert(path, PictureFile(path));
    return *f;
}

void PictureFiles::keepShown()
{
    m_files.removeIf([this](const auto& f) {
        return f.key() != m_shown && !m_strip.contains(f.key()) && !m_beside.contains(f.key());
    });
}

void PictureFiles::showInStrip(const QStringList& paths)
{
    m_strip = paths;
    keepShown();
    fillStrip();
}

void PictureFiles::beginOpen()
{
    // A new open tells each failure again.
    for (PictureFile& f : m_files)
        if (!f.failure().isEmpty())
            f.markStale();
    m_failedShown.clear();
    m_stripFailures.clear();
    m_stripWaits = true;
    m_stripWaitTimer.start();
}

void PictureFiles::releaseStrip()
{
    if (std::exchange(m_stripWaits, false))
        fillStrip();
}

void PictureFiles::fillStrip()
{
    if (m_stripWaits)
        return;
    const ExifOrientation exif = m_session.exifOrientation();
    SlotThumbnailOptions options;
    options.box = m_slotBox;
    options.exif = exif;
    options.writeSharedCache = m_session.thumbnailCacheWrites();
    options.displayColors = m_session.colorManaged();
    m_thumbnails.setOptions(options);
    QStringList wanted;
    for (const QString& path : std::as_const(m_strip)) {
        if (path.isEmpty() || wanted.contains(path))
            continue;
        PictureFile& f = fileOf(path);
        if (!f.needsThumbnail())
            continue;
        // The decoder's rendition of a file it read serves while the file is unchanged.
        const std::shared_ptr<const Decoded> d = m_decoder.find(path);
        if (d && d->stamp.isValid() && !d->thumb.isNull() && d->picture.exifOrientation() == exif &&
            d->stamp == FileStamp::of(path)) {
            SlotThumbnail made;
            made.path = path;
            made.stamp = d->stamp;
            made.image = d->thumb;
            made.source = SlotThumbnail::Source::Decode;
            f.takeThumbnail(made);
            emit thumbnailChanged(path);
        } else {
            wanted << path;
        }
    }
    m_thumbnails.want(wanted);
}

void PictureFiles::takeThumbnail(const SlotThumbnail& made)
{
    const auto f = m_files.find(made.path);
    if (f != m_files.end() && f->needsThumbnail()) {
        f->takeThumbnail(made);
        emit thumbnailChanged(made.path);
    }
    if (!made.failure.isEmpty() && m_session.takeFailureToTell(made.path, made.failure))
        m_stripFailures << made.failure;
}

void PictureFiles::tellStripFailures()
{
    const QStringList failures = std::exchange(m_stripFailures, {});
    if (!failures.isEmpty())
        emit failuresToTell(failures.join(QLatin1Char('\n')));
}

void PictureFiles::showInMain(const QString& path, const QStringList& beside, const DrawRule& rule)
{
    m_shown = path;
    m_beside = beside;
    keepShown();
    offerDecoded(path);
    QList<DecodeAhead::Entry> ahead;
    for (const QString& p : beside)
        ahead.append({p, Picture()});
    // The main image holds its picture, or nothing yet: then the decoder
    // reads the file, unless it could not a moment ago.
    const Picture held = m_held();
    const bool failed = held.isEmpty() ? path == m_failedShown : held.sharesDataWith(m_failedPicture);
    const DecodeAhead::Entry main{failed ? QString() : path, held};
    m_decoder.want(main, ahead, rule, m_session.exifOrientation(), m_session.colorManaged());
}

bool PictureFiles::offerDecoded(const QString& path)
{
    const std::shared_ptr<const Decoded> d = m_decoder.find(path);
    if (!d)
        return false;
    // A picture read from the file is the one commands start from while
    // the file is unchanged.
    if (d->stamp.isValid() && m_files.contains(path))
        fileOf(path).takePicture(d->picture, d->stamp);
    if (path != m_shown)
        return false;
    emit decodedForMain(path);
    return true;
}

void PictureFiles::takeDecoded(const QString& path)
{
    if (offerDecoded(path))
        releaseStrip();
}

void PictureFiles::takeFailure(const QString& path, const QString& text)
{
    // A picture a command put into the main image is that command's to
    // report; it is not decoded again.
    if (const Picture held = m_held(); !held.isEmpty()) {
        m_failedPicture = held;
        return;
    }
    if (path != m_shown || path == m_failedShown)
        return;
    m_failedShown = path;
    emit mainFailed(path, text);
    const bool tell = m_session.takeFailureToTell(path, text);
    // Told with the strip's failures while an open fills the strip.
    if (std::exchange(m_stripWaits, false)) {
        if (tell)
            m_stripFailures.prepend(text);
        fillStrip();
    } else if (tell) {
        emit failuresToTell(text);
    }
}

Picture PictureFiles::commandPicture(const QString& path, const Picture& shown)
{
    const ExifOrientation exif = m_session.exifOrientation();
    PictureFile& f = fileOf(path);
    const bool current = f.pictureCurrent();
    // What is shown serves, unless another program has saved over the file
    // since it was read: a change must not undo that program's work.
    const bool readBeforeChange = !f.picture().isEmpty() && !current && f.picture().sharesDataWith(shown);
    if (!shown.isEmpty() && !readBeforeChange)
        return shown;
    if (current && f.picture().exifOrientation() == exif)
        return f.picture();
    const FileStamp stamp = FileStamp::of(path);
    const Picture read = Picture::loadFromFile(path, exif);
    f.takePicture(read, stamp);
    return read;
}

void PictureFiles::forgetMade(const QString& path)
{
    m_decoder.forget(path);
    SharedThumbnailCache().forget(path);
    if (path == m_failedShown)
        m_failedShown.clear();
}

void PictureFiles::written(const QString& path, const Picture& now)
{
    forgetMade(path);
    fileOf(path).written(now, m_slotBox, m_session.colorManaged());
    emit thumbnailChanged(path);
    keepShown();
}

void PictureFiles::changed(const QStringList& paths)
{
    for (const QString& path : paths) {
        forgetMade(path);
        if (const auto f = m_files.find(path); f != m_files.end()) {
            f->takePicture(Picture(), FileStamp());
            f->markStale();
        }
    }
    fillStrip();
}

void PictureFiles::recolour()
{
    m_decoder.forgetAll();
    m_thumbnails.forgetAll();
    for (PictureFile& f : m_files)
        f.markStale();
    fillStrip();
}

void PictureFiles::reorient(ExifOrientation exif)
{
    for (PictureFile& f : m_files)
        f.reorient(exif);
    fillStrip();
}
