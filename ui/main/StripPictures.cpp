// The pictures the window holds: the strip's slots, read from their files or
// from what was decoded ahead, and the main image's pixels, asked of the
// decoder for the entry shown and those beside it.
#include "ui/main/MainWindow.h"

#include "core/Errors.h"
#include "ui/common/RunCommand.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"

#include <algorithm>
#include <utility>

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
        const int shown = m_session->strip().shownEntry();
        if (shown >= 1 && shown <= m_session->entryCount() && m_session->entry(shown).FileName == path) {
            m_mainImage->offer(m_decoder->find(path));
            updatePositionTexts(shown); // the decode may have found damage
        }
    });
    // A picture another command put into the main image is that command's
    // to report; one from the strip is told here, once.
    connect(m_decoder, &DecodeAhead::failed, this, [this](const QString& path, const QString& text) {
        const Picture& failed = m_mainImage->picture();
        if (failed.sharesDataWith(m_failedPicture))
            return;
        m_failedPicture = failed;
        if (std::any_of(m_slots.cbegin(), m_slots.cend(),
                        [&](const ThumbSlot* s) { return s->picture().sharesDataWith(failed); }) &&
            m_session->takeFailureToTell(path))
            reportError(text);
    });
}

void MainWindow::updateDecodes()
{
    StripModel& strip = m_session->strip();
    const Picture& picture = m_mainImage->picture();
    // The commands that put the current slot's picture into the main image
    // show the current entry.
    const ThumbSlot* current = strip.currentSlot() <= slotCount() ? slot(strip.currentSlot()) : nullptr;
    if (current && !picture.isEmpty() && current->picture().sharesDataWith(picture))
        strip.setShownEntry(strip.currentEntry());
    const int e = strip.shownEntry();
    const QString path = e >= 1 && e <= m_session->entryCount() ? m_session->entry(e).FileName : QString();
    m_mainImage->offer(m_decoder->find(path));

    QList<DecodeAhead::Entry> ahead;
    for (const int k : strip.entriesBesideShown()) {
        if (const int i = strip.slotOfEntry(k))
            ahead.append({m_session->entry(k).FileName, slot(i)->picture(), slot(i)->scaledDecode()});
        else
            ahead.append({m_session->entry(k).FileName, Picture()});
    }
    DecodeAhead::Entry shown{path, picture.sharesDataWith(m_failedPicture) ? Picture() : picture};
    if (current && current->picture().sharesDataWith(picture))
        shown.known = current->scaledDecode();
    m_decoder->want(shown, ahead, m_mainImage->drawRule(), m_session->exifOrientation());
}

void MainWindow::pictureFileChanged(const QString& path)
{
    m_decoder->forget(path);
}

void MainWindow::loadSlot(ThumbSlot* s, const CollectionEntry& e)
{
    const ExifOrientation exif = m_session->exifOrientation();
    const std::shared_ptr<const Decoded> d = m_decoder->find(e.FileName);
    if (d && d->stamp.isValid() && !d->thumb.isNull() &&
        d->picture.withExifOrientation(exif).sharesDataWith(d->picture) &&
        d->stamp == FileStamp::of(e.FileName)) {
        s->setPrepared(e.FileName, d->stamp, d->picture, d->thumb, d->thumbSource);
        return;
    }
    s->loadPicture(e.FileName, exif);
}

QStringList MainWindow::loadSlotPictures()
{
    // A picture that can't be read leaves its slot showing why; the other
    // slots and the steps after them still get done, and it is told as the
    // session's rule says.
    QStringList failures;
    for (int i = 1; i <= slotCount(); ++i) {
        const int e = m_session->strip().entryInSlot(i);
        if (e == 0)
            continue;
        ThumbSlot* s = slot(i);
        s->setHint(m_session->entry(e).Comment);
        s->setEnabled(true);
        try {
            loadSlot(s, m_session->entry(e));
        } catch (const AppError& error) {
            if (m_session->takeFailureToTell(m_session->entry(e).FileName))
                failures << error.text();
        }
    }
    return failures;
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
        s->clearPicture();
        pictureFileChanged(m_session->entry(e).FileName);
        s->loadPicture(m_session->entry(e).FileName, m_session->exifOrientation());
    }
    ThumbSlot* current = slot(m_session->strip().currentSlot());
    m_mainImage->setPicture(current->picture(), current->standIn());
}

void MainWindow::showReplacedPicture(const Picture& now)
{
    const int e = m_session->currentEntry();
    if (e >= 1 && e <= m_session->entryCount())
        pictureFileChanged(m_session->entry(e).FileName);
    ThumbSlot* current = slot(m_session->strip().currentSlot());
    current->setPicture(now);
    m_mainImage->setPicture(now, current->standIn());
}

void MainWindow::followColorManaged()
{
    // Everything made for the screen is made again; the pictures stay.
    m_decoder->forgetAll();
    for (ThumbSlot* s : std::as_const(m_slots))
        s->remakeRendition();
    const ThumbSlot* shown = nullptr;
    for (const ThumbSlot* s : std::as_const(m_slots)) {
        if (!shown && !s->picture().isEmpty() && s->picture().sharesDataWith(m_mainImage->picture()))
            shown = s;
    }
    m_mainImage->dropPixels(shown ? shown->standIn() : QImage());
}

void MainWindow::followExifOrientation(ExifOrientation exif)
{
    // The pictures held keep their bytes; only the way they decode changes.
    const ThumbSlot* shown = nullptr;
    for (ThumbSlot* s : std::as_const(m_slots)) {
        if (s->picture().isEmpty())
            continue;
        if (!shown && s->picture().sharesDataWith(m_mainImage->picture()))
            shown = s;
        s->setPicture(s->picture().withExifOrientation(exif));
    }
    if (shown)
        m_mainImage->setPicture(shown->picture(), shown->standIn());
    else if (!m_mainImage->picture().isEmpty())
        m_mainImage->setPicture(m_mainImage->picture().withExifOrientation(exif));
}
