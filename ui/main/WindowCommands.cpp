// What each command runs, the commands that only open other windows, and
// what the slide show does on screen.
#include "ui/main/MainWindow.h"

#include "platform/SoundPlayer.h"
#include "ui/common/AboutBox.h"
#include "ui/common/CommentsWindow.h"
#include "ui/common/Dialogs.h"
#include "ui/common/RunCommand.h"
#include "ui/help/HelpBinding.h"
#include "ui/settings/SettingsDialog.h"

void MainWindow::run(ViewerCommand command)
{
    // Keys and gestures come here as menus do, and are refused alike.
    if (!m_session->commandState(command).enabled)
        return;
    using C = ViewerCommand;
    switch (command) {
    case C::NewCollection:
        return newCollection();
    case C::OpenCollection:
        return openCollectionFile();
    case C::EditCollection:
        return editCollection();
    case C::Exit:
        return quit();
    case C::Undo:
        return undo();
    case C::ZoomIn:
        return zoomIn();
    case C::ZoomOut:
        return zoomOut();
    case C::ActualSize:
    case C::AsIs:
        return showActualSize();
    case C::RotateLeft:
        return rotateLeft();
    case C::RotateRight:
        return rotateRight();
    case C::Effects:
        return showEffects();
    case C::FitCentred:
        return fitCentred();
    case C::FitTopLeft:
        return fitTopLeft();
    case C::Stretch:
        return stretchToFit();
    case C::FullScreen:
        return toggleFullScreen();
    case C::FollowMode:
        return toggleFollowMode();
    case C::SlideShow:
        return m_session->slideShow().toggle();
    case C::Comments:
        return toggleComments();
    case C::Settings:
        return showSettings();
    case C::Help:
        return showHelp();
    case C::About:
        return showAbout();
    case C::MoveToTrash:
        return moveToTrash();
    case C::ShowInFileManager:
        return showInFileManager();
    case C::OpenWith:
        return openWith();
    case C::PictureInfo:
        return togglePictureInfo();
    case C::Print:
        return printPicture();
    case C::CopyPicture:
        return copyPicture();
    case C::PreviousEntry:
        return goToEntry(m_session->currentEntry() - 1);
    case C::NextEntry:
        return goToEntry(m_session->currentEntry() + 1);
    case C::FirstEntry:
        return goToEntry(1);
    case C::LastEntry:
        return goToEntry(m_session->entryCount());
    case C::StripBack:
        return stepBack();
    case C::StripForward:
        return stepForward();
    case C::ShowHighlighted:
        return showSlot(m_session->strip().currentSlot());
    case C::ViewModes:
    case C::ImageMenu:
        return; // menus: their items are the commands
    }
}

void MainWindow::toggleComments()
{
    CommentsWindow* comments = m_peers.comments.get();
    if (!comments)
        return;
    if (comments->isVisible()) {
        comments->hide();
    } else {
        comments->show();
        comments->raise();
    }
}

void MainWindow::showSettings()
{
    if (SettingsDialog* settings = m_peers.settings.get())
        settings->showFromMain(m_commentLabel->text());
}

void MainWindow::showHelp()
{
    if (m_peers.help)
        m_peers.help->showContents(this);
}

void MainWindow::showAbout()
{
    AboutBox* about = m_peers.about.get();
    if (!about)
        return;
    about->show();
    about->raise();
    about->activateWindow();
}

void MainWindow::quit()
{
    close();
}

// ---------------------------------------------------------------- the slide show on screen

bool MainWindow::atLastEntry() const
{
    return !m_session->strip().canGoForward();
}

void MainWindow::showNextSlide()
{
    stepForward();
}

void MainWindow::showCurrentEntry()
{
    const StripModel& strip = m_session->strip();
    if (strip.holdsEntries() && strip.shownEntry() != strip.currentEntry())
        showSlot(strip.currentSlot());
}

void MainWindow::enterFullScreen()
{
    toggleFullScreen();
}

void MainWindow::followCursor()
{
    if (!m_session->followsCursor())
        toggleFollowMode();
}

void MainWindow::tellFinished()
{
    m_dialogs.information(this, QStringLiteral("Slide Show finished"));
}

void MainWindow::tellError(const QString& text)
{
    reportError(m_dialogs, text);
}

void MainWindow::playSound(const QString& path)
{
    m_sound.play(path);
}

void MainWindow::stopSound()
{
    m_sound.stop();
}
