// Opening a collection into the main window.
#include "ui/main/MainWindow.h"

#include "collection/CollectionListModel.h"
#include "core/Errors.h"
#include "ui/common/Dialogs.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QToolButton>

#include <cerrno>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

namespace {
const QString kCollectionFilter = QStringLiteral("Pictavo Files (*.PVX)|*.pvx");

// A file that can't be read changes nothing at all: the open collection
// stays as it was, strip and list included.
void checkReadable(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        throw AppError(ioErrorText(errno, path));
    ::close(fd);
    if (QFileInfo(path).isDir())
        throw AppError(ioErrorText(EISDIR, path));
}

} // namespace

void MainWindow::openCollectionFile()
{
    // Slide-show ticks and resizes wait until the open has ended.
    const QScopedValueRollback opening(m_opening, true);
    std::exception_ptr failure;
    try {
        openCollection();
    } catch (...) {
        failure = std::current_exception();
    }
    m_opening = false;
    if (std::exchange(m_resizePending, false)) {
        try {
            relayout();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

QString MainWindow::chooseCollectionPath()
{
    QString path = m_session->collectionFileName();
    if (!m_session->reopenWithoutDialog) {
        const QString chosen = dialogs().openFile(this, kCollectionFilter, QString());
        if (!chosen.isEmpty())
            path = chosen;
    }
    m_session->reopenWithoutDialog = false;
    return path;
}

CollectionListModel* MainWindow::startCollection(const QString& path)
{
    m_session->startCollection(path);
    placeShape(1);
    m_upButton->setEnabled(false);
    m_layoutFailures.clear();
    CollectionListModel* list = m_peers.editor ? m_peers.editor->list() : nullptr;
    if (list)
        list->clear();
    if (m_peers.editor)
        m_peers.editor->setListSource(path);
    return list;
}

void MainWindow::syncOpeningWindow(CollectionListModel* list)
{
    if (list)
        list->flush();
    updateNavButtons();
    if (m_session->entryCount() > 0)
        updatePositionTexts(1);
    m_commentLabel->setText(slotCount() >= 1 ? slot(1)->hint() : QString());
}

// A picture that can't be read ends the collection in memory there; the
// editor's list still gets every entry, so that no save can drop the rest.
void MainWindow::takeEntry(int k, const CollectionEntry& e, CollectionListModel* list,
                           std::exception_ptr& pictureFailure)
{
    if (list)
        list->appendDeferred(e);
    if (pictureFailure)
        return;
    if (k <= slotCount()) {
        ThumbSlot* s = slot(k);
        s->setEnabled(false);
        s->setHint(e.Comment);
        try {
            s->loadPicture(e.FileName, m_exifOrientation);
        } catch (...) {
            pictureFailure = std::current_exception();
            return;
        }
        s->setEnabled(true);
    }
    m_session->appendEntry(e);
    if (k == 1) {
        setCollectionCommandsEnabled(true);
        setUndoEnabled(false);
        applyWindowTitle();
        m_highlight->show();
        // Not showSlot(): opening leaves the comments window's text alone.
        if (slotCount() >= 1 && !slot(1)->picture().isEmpty())
            m_mainImage->setPicture(slot(1)->picture(), slot(1)->standIn());
        showActualSize();
    }
}

void MainWindow::finishCollection()
{
    for (int i = m_session->entryCount() + 1; i <= slotCount(); ++i) {
        slot(i)->clearPicture();
        slot(i)->setHint(QString());
        slot(i)->setEnabled(false);
    }
    applyWindowTitle();
    if (m_session->entryCount() == 0) {
        // Nothing to show, nothing to act on, and no position to tell.
        setCollectionCommandsEnabled(false);
        m_highlight->hide();
        m_mainImage->clearPicture();
        m_commentLabel->clear();
        m_statusPanels[1]->clear();
        m_statusPanels[2]->clear();
    }
}

void MainWindow::openCollection()
{
    const QString path = chooseCollectionPath();
    if (path.isEmpty())
        return;
    // The snapshot belongs to a picture of what was open: never write it
    // into whatever this open brings.
    m_session->clearUndo();
    checkReadable(path);
    CollectionListModel* list = startCollection(path);

    // Only a long read (a huge collection) lets the window repaint on the
    // way: first after a second, then four times a second.
    QElapsedTimer sinceSync;
    sinceSync.start();
    bool synced = false;
    std::exception_ptr pictureFailure;
    std::exception_ptr failure;
    try {
        readCollection(path, [&](int k, const CollectionEntry& e) {
            takeEntry(k, e, list, pictureFailure);
            // Keep the window alive on huge collections without letting
            // user input run commands in the middle of a read.
            if (k <= slotCount() || sinceSync.elapsed() > (synced ? m_syncLaterMs : m_syncFirstMs)) {
                syncOpeningWindow(list);
                if (k > slotCount()) {
                    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                    sinceSync.restart();
                    synced = true;
                }
            }
        });
    } catch (...) {
        failure = std::current_exception();
    }
    finishCollection();
    syncOpeningWindow(list);
    if (failure)
        std::rethrow_exception(failure);
    if (pictureFailure)
        std::rethrow_exception(pictureFailure);
}
