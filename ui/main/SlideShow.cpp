// The main window's slide show and its settings command.
#include "ui/main/MainWindow.h"

#include "platform/SoundPlayer.h"
#include "settings/SettingsModel.h"
#include "ui/common/Dialogs.h"
#include "ui/common/RunCommand.h"
#include "ui/settings/SettingsDialog.h"

#include <QScopedValueRollback>
#include <QToolButton>

namespace {

const QString SlideShowFinished = QStringLiteral("Slide Show finished");

// A tick that arrives while the bad-delay message is open passes by, so the
// messages never pile up one over another.
bool delayMessageOpen = false;

// Effects needs a picture: a show that outlived its collection (an empty
// one opened meanwhile) must not hand the command back.
void keepEffectsWithCollection(MainWindow* w)
{
    if (w->session().entryCount() > 0)
        return;
    w->action("mnuEffects")->setEnabled(false);
    w->action("mnuEffects1")->setEnabled(false);
    w->toolButton("btnEffect")->setEnabled(false);
}

} // namespace

void MainWindow::toggleSlideShow()
{
    if (m_slideTimer->isActive()) {
        m_slideTimer->stop();
        dialogs().information(this, SlideShowFinished);
        setLockedBySlideShow(false);
        keepEffectsWithCollection(this);
        // Stopped only now: the sound plays on while the message is open.
        soundPlayer().stop();
    } else {
        m_slideTimer->start();
        setLockedBySlideShow(true);
        // The settings as last applied, not what the dialog shows unapplied.
        const SettingsValues& o = m_session->settings;
        if (o.soundOn && !o.sound.isEmpty())
            soundPlayer().play(o.sound);
        // Full screen turns follow mode on even when its layout fails.
        if (o.fullScreen && !m_fullScreen)
            toggleFullScreen();
    }
    if (!m_session->followsCursor())
        toggleFollowMode();
}

void MainWindow::nextSlide()
{
    // A tick queued before the show stopped has nothing left to do; one
    // that comes while an open reads waits for the next.
    if (!m_slideTimer->isActive() || delayMessageOpen || m_opening)
        return;
    const QString delay = m_session->settings.delay;
    const std::optional<int> interval = slideShowInterval(delay);
    if (!interval) {
        const QScopedValueRollback open(delayMessageOpen, true);
        reportError(QStringLiteral("'%1' is not a valid integer value").arg(delay));
        return;
    }
    // An unchanged interval leaves the running count alone.
    if (m_slideTimer->interval() != *interval)
        m_slideTimer->setInterval(*interval);

    if (!m_downButton->isEnabled()) {
        m_slideTimer->stop();
        soundPlayer().stop();
        dialogs().information(this, SlideShowFinished);
        setLockedBySlideShow(false);
        keepEffectsWithCollection(this);
        return;
    }
    scrollDown();
}

void MainWindow::showSettings()
{
    if (m_peers.settings)
        m_peers.settings->showFromMain();
}
