// Opening a collection into the main window, and the New and Add / Delete
// commands, which hand over to the collection editor.
#include "ui/main/MainWindow.h"

#include "ui/common/Dialogs.h"
#include "ui/common/RunCommand.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"
#include "viewer/CollectionOpen.h"
#include "viewer/FolderListing.h"
#include "viewer/FolderPictures.h"
#include "viewer/PictureFiles.h"

#include <QApplication>
#include <QFileInfo>
#include <QToolButton>

#include <exception>
#include <utility>

namespace {
const QString kCollectionFilter = QStringLiteral("Pictavo Files (*.PVX)|*.pvx");

// One busy cursor while a collection is read off the GUI thread.
void showReading(bool& shown, bool on)
{
    if (std::exchange(shown, on) == on)
        return;
    if (on)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}
} // namespace

QString MainWindow::chooseCollectionPath()
{
    QString path = m_session->collectionFileName();
    if (!m_session->takeReopenRequest()) {
        // Beside the open collection, where its neighbours most likely are.
        const QString folder = path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
        const QString chosen = m_dialogs.openFile(this, kCollectionFilter, folder);
        if (!chosen.isEmpty())
            path = chosen;
    }
    return path;
}

void MainWindow::openCollectionFile()
{
    const QString path = chooseCollectionPath();
    if (path.isEmpty())
        return;
    // A picture (or a folder) chosen here opens as from the command line:
    // read as a collection, it would list nothing.
    if (opensAsFolderPictures(path)) {
        openPicture(path);
        return;
    }
    stopReading();
    if (!m_collectionRead)
        m_collectionRead = new CollectionRead(this);
    // Read on a worker; a small file is there before start() returns. A
    // dialog or message box standing sees no collection change under it.
    m_collectionRead->start(
        path, m_session->codePage(),
        [this](CollectionContents& read) {
            showReading(m_readingCursor, false);
            runCommand(m_dialogs, [this, &read] {
                CollectionOpen open(*m_session, std::move(read), slotCount(),
                                    [this](int k, const CollectionEntry& e) { loadOpeningSlot(k, e); });
                if (const std::exception_ptr failure = runOpen(open))
                    std::rethrow_exception(failure);
            });
        },
        [] { return !QApplication::activeModalWidget() && !QApplication::activePopupWidget(); });
    showReading(m_readingCursor, isReadingCollection());
}

bool MainWindow::isReadingCollection() const
{
    return (m_collectionRead && m_collectionRead->isReading()) || (m_folderListing && m_folderListing->isListing());
}

void MainWindow::stopReading()
{
    if (m_collectionRead && m_collectionRead->isReading())
        m_collectionRead->cancel();
    if (m_folderListing)
        m_folderListing->cancel();
    showReading(m_readingCursor, false);
}

void MainWindow::openPicture(const QString& path)
{
    // What this opens comes before a collection or a folder still being read.
    stopReading();
    const bool byItself = !isFolder(path);
    if (byItself && !isPictureFile(path))
        return;
    if (!m_folderListing)
        m_folderListing = new FolderListing(this);
    // The folder is listed on a worker while the picture, alone for now,
    // is read and shown; a folder named shows once it is listed.
    m_folderListing->start(
        path,
        [this, byItself](const FolderPictures& found) {
            runCommand(m_dialogs, [&] { takeFolderListing(found, byItself); });
        },
        [this](std::exception_ptr failure) {
            showOpenProgress();
            runCommand(m_dialogs, [&] { std::rethrow_exception(failure); });
        },
        [] { return !QApplication::activeModalWidget() && !QApplication::activePopupWidget(); });
    if (!byItself)
        return;
    CollectionOpen open(*m_session, namedPicture(path).entries, slotCount(),
                        [this](int k, const CollectionEntry& e) { loadOpeningSlot(k, e); });
    if (const std::exception_ptr failure = runOpen(open))
        std::rethrow_exception(failure);
}

void MainWindow::takeFolderListing(const FolderPictures& found, bool pictureShown)
{
    // The picture asked for went meanwhile: it stays alone.
    if (found.current == 0) {
        showOpenProgress();
        return;
    }
    const QString shown = shownPath();
    CollectionOpen open(*m_session, found.entries, slotCount(),
                        [this](int k, const CollectionEntry& e) { loadOpeningSlot(k, e); });
    if (!pictureShown) {
        if (const std::exception_ptr failure = runOpen(open))
            std::rethrow_exception(failure);
        return;
    }
    // The picture shown keeps what it has drawn or is being decoded for.
    while (open.step()) {
    }
    const std::exception_ptr failure = open.finish();
    StripModel& strip = m_session->strip();
    if (found.entries.at(found.current - 1).path == shown)
        strip.setShownEntry(found.current);
    goToEntry(found.current);
    finishShowingCollection();
    if (failure)
        std::rethrow_exception(failure);
}

std::exception_ptr MainWindow::runOpen(CollectionOpen& open)
{
    open.setProgressIntervals(m_progressFirstMs, m_progressLaterMs);
    placeHighlight();
    m_upButton->setEnabled(false);
    while (open.step()) {
        if (open.taken() == 1)
            showFirstEntry();
        if (open.progressDue())
            showOpenProgress();
    }
    const std::exception_ptr failure = open.finish();
    finishShowingCollection();
    showOpenProgress();
    return failure;
}

void MainWindow::loadOpeningSlot(int k, const CollectionEntry& e)
{
    ThumbSlot* s = slot(k);
    s->setHint(e.comment);
    // A picture that can't be read still has its entry to click.
    s->setEnabled(true);
    // Nothing is read here: the main image goes first, then the strip fills
    // off the GUI thread. A failure is told again at each open.
    s->setFile(e.path);
}

void MainWindow::showFirstEntry()
{
    applyWindowTitle();
    m_highlight->show();
    // Not showSlot(): opening leaves the comments window's text alone. The
    // first entry's picture is read and decoded before any rendition.
    m_mainImage->clearPicture();
    m_session->strip().setShownEntry(1);
    m_files->beginOpen();
    showChosenPicture();
    updateDecodes();
}

void MainWindow::showOpenProgress()
{
    updateNavButtons();
    if (m_session->entryCount() > 0)
        updatePositionTexts(1);
    m_commentLabel->setText(slotCount() >= 1 ? slot(1)->hint() : QString());
    // A long open shows how far it got without running the event loop.
    if (m_session->entryCount() > slotCount())
        m_statusPanels[1]->repaint();
}

void MainWindow::clearSlotsPastTheEntries()
{
    for (int i = m_session->entryCount() + 1; i <= slotCount(); ++i) {
        slot(i)->clearPicture();
        slot(i)->setHint(QString());
        slot(i)->setEnabled(false);
    }
}

void MainWindow::finishShowingCollection()
{
    clearSlotsPastTheEntries();
    applyWindowTitle();
    fillStrip();
    if (m_session->entryCount() == 0) {
        // Nothing to show, nothing to act on, and no position to tell.
        m_highlight->hide();
        m_mainImage->clearPicture();
        m_commentLabel->clear();
        m_statusPanels[1]->clear();
        m_statusPanels[2]->clear();
    }
}

void MainWindow::newCollection()
{
    if (CollectionEditor* editor = m_peers.editor.get())
        editor->startNewCollection();
}

void MainWindow::editCollection()
{
    if (m_session->collectionFileName().isEmpty() && !m_session->collectionUnsaved())
        return;
    if (CollectionEditor* editor = m_peers.editor.get())
        editor->startEditing();
}
