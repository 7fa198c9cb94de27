// The main window's commands on the current picture's file itself: to the
// trash and back, in the file manager, opened with another program.
#include "ui/main/MainWindow.h"

#include "platform/DesktopFiles.h"
#include "settings/SettingsStore.h"
#include "ui/common/Dialogs.h"
#include "ui/common/RunCommand.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"

void MainWindow::moveToTrash()
{
    if (!m_session->strip().holdsEntries())
        return;
    const int e = m_session->currentEntry();
    const ProgramTexts& t = m_session->texts();
    const QString path = m_session->entry(e).path;
    // The editor's list follows the move: changes still open there are asked for first.
    CollectionEditor* editor = m_peers.editor.ifBuilt();
    if (editor && editor->isVisible() && !editor->mayCloseEdits())
        return;
    SettingsStore* store = m_peers.store;
    const int naming = m_session->entriesNamingFileOf(e);
    // Once a run, and again whenever more than this entry would leave.
    if ((!m_trashAsked || naming > 1) && (!store || store->values().askBeforeTrash)) {
        QString question = t.TrashQuestion.arg(path);
        if (naming > 1)
            question += QStringLiteral("\n\n") + t.TrashSeveralNote.arg(naming);
        bool dontAsk = false;
        if (!m_dialogs.question(this, question, t.TrashCaption, t.CancelCaption, t.DontAskAgainCaption,
                                dontAsk))
            return;
        m_trashAsked = true;
        if (dontAsk && store) {
            SettingsValues v = store->values();
            v.askBeforeTrash = false;
            store->setValues(v);
        }
    }
    m_session->moveEntryToTrash(e);
}

void MainWindow::showChangedEntries()
{
    clearSlotsPastTheEntries();
    // Every slot may show another entry now, the current one included.
    loadSlotPictures();
    placeHighlight();
    updateNavButtons();
    m_mainImage->clearPicture();
    showSlot(m_session->strip().currentSlot());
}

DesktopFiles& MainWindow::desktopFiles()
{
    // Made when first used, so a window that never asks never touches the bus.
    if (!m_desktop)
        m_desktop = new DesktopFiles(this);
    return *m_desktop;
}

void MainWindow::handToDesktop(bool openWith)
{
    if (!m_session->strip().holdsEntries())
        return;
    const QString path = m_session->entry(m_session->currentEntry()).path;
    const QString failed =
        (openWith ? m_session->texts().OpenWithFailedMessage : m_session->texts().FileManagerFailedMessage)
            .arg(path);
    const DesktopFiles::Done done = [failed, dialogs = &m_dialogs](DesktopFiles::Outcome outcome) {
        if (outcome == DesktopFiles::Outcome::Failed)
            reportError(*dialogs, failed);
    };
    openWith ? desktopFiles().openWith(path, done) : desktopFiles().showInFileManager(path, done);
}

void MainWindow::showInFileManager()
{
    handToDesktop(false);
}

void MainWindow::openWith()
{
    handToDesktop(true);
}
