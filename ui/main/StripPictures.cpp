// The pictures the window holds: the strip's renditions, made off the GUI
// thread once the main image has its pixels, and the main image's pixels,
// asked of the decoder for the entry shown and those beside it.
#include "ui/main/MainWindow.h"

#include "core/Errors.h"
#include "ui/common/RunCommand.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"
#include "viewer/SharedThumbnailCache.h"
#include "viewer/ThumbnailQueue.h"

#include <QTimer>

#include <algorithm>
#include <utility>

namespace {
// An open's strip waits for the main image's pixels no longer than this.
constexpr int StripWaitMs = 1500;
} // namespace

void MainWindow::connectDecoder()
{
    m_decoder = new DecodeAhead(QSize(ThumbSlot::Size, ThumbSlot::Size), this);
    // A command may change the picture and its size several times: ask once
    // it is done.
    connect(m_mainImage, &MainImage::pixelsWanted, this, [this] {
        if (std::exchange(m_decodesQueued, true))
            return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_decodesQueued = false;
                updateDecodes();
            },
            Qt::QueuedConnection);
    });
    connect(m_decoder, &DecodeAhead::ready, this, [this](const QString& path) {
        if (path != shownPath())
            return;
        takeDecoded(path);
        updatePositionTexts(m_session->strip().shownEntry()); // the decode may have found damage
        if (std::exchange(m_stripWaits, false))
            fillStrip();
    });
    // The shown file could not be read: the main image says why, and it is
    // told once, with the strip's failures while an open fills the strip.
    connect(m_decoder, &DecodeAhead::failed, this, [this](const QString& path, const QString& text) {
        // A picture another command put into the main image is that
        // command's to report; it is not decoded again.
        if (!m_mainImage->picture().isEmpty()) {
            m_failedPicture = m_mainImage->picture();
            return;
        }
        if (path != shownPath() || path == m_failedShown)
            return;
        m_failedShown = path;
        if (m_mainImage->picture().isEmpty())
            m_mainImage->showReason(text);
        const bool tell = m_session->takeFailureToTell(path, text);
        if (std::exchange(m_stripWaits, false)) {
            if (tell)
                m_stripFailures.prepend(text);
            fillStrip();
        } else if (tell) {
            reportError(text);
        }
    });
    connectThumbnails();
}

void MainWindow::connectThumbnails()
{
    m_thumbnails = new ThumbnailQueue(1, this);
    m_stripWaitTimer = new QTimer(this);
    m_stripWaitTimer->setSingleShot(true);
    m_stripWaitTimer->setInterval(StripWaitMs);
    connect(m_stripWaitTimer, &QTimer::timeout, this, [this] {
        if (std::exchange(m_stripWaits, false))
            fillStrip();
    });
    connect(m_thumbnails, &ThumbnailQueue::arrived, this, &MainWindow::takeThumbnail);
    // Told together, as the strip's failures were before it filled off the GUI thread.
    connect(m_thumbnails, &ThumbnailQueue::drained, this, [this] {
        if (m_stripFailures.isEmpty())
            return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                const QStringList failures = std::exchange(m_stripFailures, {});
                if (!failures.isEmpty())
                    reportError(failures.join(QLatin1Char('\n')));
            },
            Qt::QueuedConnection);
    });
}

QString MainWindow::shownPath() const
{
    const int e = m_session->strip().shownEntry();
    return e >= 1 && e <= m_session->entryCount() ? m_session->entry(e).FileName : QString();
}

void MainWindow::takeDecoded(const QString& path)
{
    const std::shared_ptr<const Decoded> d = m_decoder->find(path);
    if (!d)
        return;
    if (m_mainImage->picture().isEmpty()) {
        const int i = m_session->strip().slotOfEntry(m_session->strip().shownEntry());
        m_mainImage->setPicture(d->picture, i ? slot(i)->standIn() : QImage());
    }
    m_mainImage->offer(d);
}

void MainWindow::updateDecodes()
{
    const StripModel& strip = m_session->strip();
    const QString path = shownPath();
    takeDecoded(path);
    QList<DecodeAhead::Entry> ahead;
    for (const int k : strip.entriesBesideShown())
        ahead.append({m_session->entry(k).FileName, Picture()});
    // The main image holds the shown entry's picture, or nothing yet: then
    // the decoder reads the file, unless it could not a moment ago.
    const Picture& picture = m_mainImage->picture();
    const bool failed = picture.isEmpty() ? path == m_failedShown : picture.sharesDataWith(m_failedPicture);
    const DecodeAhead::Entry shown{failed ? QString() : path, picture};
    m_decoder->want(shown, ahead, m_mainImage->drawRule(), m_session->exifOrientation());
}

void MainWindow::pictureFileChanged(const QString& path)
{
    m_decoder->forget(path);
    SharedThumbnailCache().forget(path);
    if (path == m_failedShown)
        m_failedShown.clear();
}

void MainWindow::fillStrip()
{
    if (m_stripWaits)
        return;
    const ExifOrientation exif = m_session->exifOrientation();
    SlotThumbnailOptions options;
    options.box = QSize(ThumbSlot::Size, ThumbSlot::Size);
    options.exif = exif;
    options.writeSharedCache = m_session->thumbnailCacheWrites();
    m_thumbnails->setOptions(options);
    QStringList wanted;
    for (int i = 1; i <= slotCount(); ++i) {
        ThumbSlot* s = slot(i);
        if (m_session->strip().entryInSlot(i) == 0 || !s->needsRendition())
            continue;
        // The decoder's rendition of a file it read serves while the file is unchanged.
        const std::shared_ptr<const Decoded> d = m_decoder->find(s->file());
        if (d && d->stamp.isValid() && !d->thumb.isNull() && d->picture.exifOrientation() == exif &&
            d->stamp == FileStamp::of(s->file())) {
            SlotThumbnail made;
            made.path = s->file();
            made.stamp = d->stamp;
            made.image = d->thumb;
            made.source = SlotThumbnail::Source::Decode;
            s->setThumbnail(made);
        } else {
            wanted << s->file();
        }
    }
    m_thumbnails->want(wanted);
}

void MainWindow::takeThumbnail(const SlotThumbnail& made)
{
    for (ThumbSlot* s : std::as_const(m_slots))
        if (s->file() == made.path && s->needsRendition())
            s->setThumbnail(made);
    if (!made.failure.isEmpty() && m_session->takeFailureToTell(made.path, made.failure))
        m_stripFailures << made.failure;
}

void MainWindow::loadSlotPictures()
{
    // A picture that can't be read leaves its slot showing why; the other
    // slots and the steps after them still get done, and it is told as the
    // session's rule says.
    for (int i = 1; i <= slotCount(); ++i) {
        const int e = m_session->strip().entryInSlot(i);
        if (e == 0)
            continue;
        ThumbSlot* s = slot(i);
        s->setHint(m_session->entry(e).Comment);
        s->setEnabled(true);
        s->setFile(m_session->entry(e).FileName);
    }
    fillStrip();
}

void MainWindow::reloadStrip()
{
    for (int i = 1; i <= slotCount(); ++i) {
        const int e = m_session->strip().entryInSlot(i);
        if (e == 0)
            break;
        ThumbSlot* s = slot(i);
        s->setHint(m_session->entry(e).Comment);
        // The files changed: read them again whatever their stamps say.
        pictureFileChanged(m_session->entry(e).FileName);
        s->setFile(m_session->entry(e).FileName);
        s->markStale();
    }
    m_mainImage->clearPicture();
    m_session->strip().setShownEntry(m_session->strip().currentEntry());
    showShownTexts();
    m_failedShown.clear();
    fillStrip();
    updateDecodes();
}

Picture MainWindow::currentPicture()
{
    const StripModel& strip = m_session->strip();
    const int e = strip.currentEntry();
    const QString path = m_session->entry(e).FileName;
    const ExifOrientation exif = m_session->exifOrientation();
    const std::shared_ptr<const Decoded> d = m_decoder->find(path);
    const bool stamped = d && d->stamp.isValid();
    const bool unchanged = stamped && d->stamp == FileStamp::of(path);
    const Picture& shown = m_mainImage->picture();
    // What is shown serves, unless another program has saved over the file
    // since it was read: a change must not undo that program's work.
    const bool readBeforeChange = stamped && !unchanged && d->picture.sharesDataWith(shown);
    if (e == strip.shownEntry() && !shown.isEmpty() && !readBeforeChange)
        return shown;
    if (unchanged && d->picture.exifOrientation() == exif)
        return d->picture;
    return Picture::loadFromFile(path, exif);
}

Picture MainWindow::showCurrentPicture()
{
    StripModel& strip = m_session->strip();
    const Picture picture = currentPicture();
    m_mainImage->setPicture(picture, slot(strip.currentSlot())->standIn());
    strip.setShownEntry(strip.currentEntry());
    showShownTexts();
    return picture;
}

void MainWindow::showReplacedPicture(const Picture& now)
{
    const int e = m_session->currentEntry();
    if (e >= 1 && e <= m_session->entryCount())
        pictureFileChanged(m_session->entry(e).FileName);
    ThumbSlot* current = slot(m_session->strip().currentSlot());
    current->setPicture(now);
    m_mainImage->setPicture(now, current->standIn());
    m_session->strip().setShownEntry(e);
    showShownTexts();
    // The same file in another slot is drawn anew from what it holds now.
    fillStrip();
}

void MainWindow::followColorManaged()
{
    // Everything made for the screen is made again; the files are read anew.
    m_decoder->forgetAll();
    m_thumbnails->forgetAll();
    for (ThumbSlot* s : std::as_const(m_slots))
        s->markStale();
    fillStrip();
    m_mainImage->dropPixels(QImage());
}

void MainWindow::followExifOrientation(ExifOrientation exif)
{
    // The picture shown keeps its bytes; only the way it decodes changes.
    for (ThumbSlot* s : std::as_const(m_slots))
        s->markStale();
    fillStrip();
    if (!m_mainImage->picture().isEmpty())
        m_mainImage->setPicture(m_mainImage->picture().withExifOrientation(exif));
}
