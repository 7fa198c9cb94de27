// The pictures the window draws: each slot and the main image draw what
// PictureFiles holds for their file, and tell it which files they show.
#include "ui/main/MainWindow.h"

#include "ui/common/RunCommand.h"
#include "ui/main/LoadingIndicator.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"
#include "viewer/EmbeddedPreview.h"
#include "viewer/LoadingSign.h"
#include "viewer/PictureFiles.h"

#include <QScrollArea>

#include <utility>

void MainWindow::connectPictureFiles()
{
    m_files = new PictureFiles(*m_session, QSize(ThumbSlot::Size, ThumbSlot::Size), this);
    m_files->watchMainPicture([this] { return m_mainImage->picture(); });
    m_loadingSign = new LoadingSign(
        [this](const QString& path) -> std::function<QImage()> {
            // About an EXIF thumbnail's size: any the file has will do.
            return [path, exif = m_session->exifOrientation(), colours = m_session->colorManaged()] {
                return embeddedPreview(path, QSize(160, 160), exif, colours);
            };
        },
        this);
    new LoadingIndicator(*m_loadingSign, m_imageScroller->viewport());
    connect(m_mainImage, &MainImage::drawingChanged, this, &MainWindow::followLoading);
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
    connect(m_files, &PictureFiles::thumbnailChanged, this, [this](const QString& path) {
        for (ThumbSlot* s : std::as_const(m_slots))
            if (s->file() == path)
                showRendition(s);
    });
    connect(m_files, &PictureFiles::decodedForMain, this, [this](const QString& path) {
        if (path != shownPath())
            return;
        takeDecoded(path);
        followLoading();
        updatePositionTexts(m_session->strip().shownEntry()); // the decode may have found damage
    });
    connect(m_files, &PictureFiles::mainFailed, this, [this](const QString&, const QString& text) {
        if (m_mainImage->picture().isEmpty())
            m_mainImage->showReason(text);
        followLoading();
    });
    connect(m_files, &PictureFiles::failuresToTell, this,
            [this](const QString& text) { reportError(m_dialogs, text); });
}

DecodeAhead* MainWindow::decoder() const
{
    return &m_files->decoder();
}

ThumbnailQueue* MainWindow::thumbnails() const
{
    return &m_files->thumbnails();
}

QString MainWindow::shownPath() const
{
    const int e = m_session->strip().shownEntry();
    return e >= 1 && e <= m_session->entryCount() ? m_session->entry(e).path : QString();
}

void MainWindow::showRendition(ThumbSlot* s)
{
    const PictureFile& f = m_files->file(s->file());
    s->setRendition(f.thumbnail(), f.failure());
}

void MainWindow::takeDecoded(const QString& path)
{
    const std::shared_ptr<const Decoded> d = m_files->decoded(path);
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
    QStringList beside;
    for (const int k : m_session->strip().entriesBesideShown())
        beside << m_session->entry(k).path;
    m_files->showInMain(shownPath(), beside, m_mainImage->drawRule());
    followLoading();
}

void MainWindow::followLoading()
{
    // Waiting until the picture's own pixels are drawn at their size; a
    // preview only where nothing of it is drawn yet.
    const QString path = shownPath();
    const bool drawn = m_mainImage->showsDecodedPixels() || !m_mainImage->frame().isNull();
    const std::shared_ptr<const Decoded> d = m_files->decoded(path);
    m_loadingSign->follow(drawn || !m_mainImage->reason().isEmpty() ? QString() : path,
                          !d || (d->image.isNull() && d->band.isNull()));
}

void MainWindow::fillStrip()
{
    QStringList paths;
    for (int i = 1; i <= slotCount(); ++i)
        paths << (m_session->strip().entryInSlot(i) ? slot(i)->file() : QString());
    m_files->showInStrip(paths);
    // A slot that came to a file drawn elsewhere draws it too.
    for (ThumbSlot* s : std::as_const(m_slots))
        if (!s->file().isEmpty() && s->rendition().isNull())
            showRendition(s);
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
        s->setHint(m_session->entry(e).comment);
        s->setEnabled(true);
        s->setFile(m_session->entry(e).path);
    }
    fillStrip();
}

void MainWindow::reloadStrip()
{
    // The files changed: read them again whatever their stamps say.
    QStringList changed;
    for (int i = 1; i <= slotCount(); ++i) {
        const int e = m_session->strip().entryInSlot(i);
        if (e == 0)
            break;
        ThumbSlot* s = slot(i);
        s->setHint(m_session->entry(e).comment);
        s->setFile(m_session->entry(e).path);
        changed << s->file();
    }
    m_files->changed(changed);
    m_mainImage->clearPicture();
    m_session->strip().setShownEntry(m_session->strip().currentEntry());
    showShownTexts();
    m_files->tryAgain();
    fillStrip();
    updateDecodes();
}

Picture MainWindow::currentPicture()
{
    const StripModel& strip = m_session->strip();
    const int e = strip.currentEntry();
    return m_files->commandPicture(m_session->entry(e).path,
                                   e == strip.shownEntry() ? m_mainImage->picture() : Picture());
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

void MainWindow::showWrittenPicture(const QString& path, const Picture& now)
{
    // Every slot of the file follows; the main image shows it as the
    // current entry.
    m_files->written(path, now);
    m_mainImage->setPicture(now, slot(m_session->strip().currentSlot())->standIn());
    // The information panel reads the file anew: its size and orientation changed.
    m_infoPath.clear();
    followPictureInfo();
}

void MainWindow::showReplacedPicture(const Picture& now)
{
    const int e = m_session->currentEntry();
    if (e < 1 || e > m_session->entryCount())
        return;
    showWrittenPicture(m_session->entry(e).path, now);
    m_session->strip().setShownEntry(e);
    showShownTexts();
}

void MainWindow::followColorManaged()
{
    // Everything made for the screen is made again; the files are read anew.
    m_files->recolour();
    m_mainImage->dropPixels(QImage());
}

void MainWindow::followExifOrientation(ExifOrientation exif)
{
    // The picture shown keeps its bytes; only the way it decodes changes.
    m_files->reorient(exif);
    if (!m_mainImage->picture().isEmpty())
        m_mainImage->setPicture(m_mainImage->picture().withExifOrientation(exif));
}
