#include "viewer/SlideShow.h"

#include "settings/SettingsStore.h"

#include <QScopedValueRollback>

#include <optional>

SlideShow::SlideShow(const SettingsStore& settings, QObject* parent) : QObject(parent), m_settings(settings)
{
    m_timer.setObjectName(QStringLiteral("TimerSlide"));
    m_timer.setInterval(FirstInterval);
    connect(&m_timer, &QTimer::timeout, this, &SlideShow::tick);
}

void SlideShow::toggle()
{
    if (!m_view)
        return;
    if (isRunning()) {
        m_timer.stop();
        m_view->tellFinished();
        emit runningChanged(false);
        // Stopped only now: the sound plays on while the message is open.
        m_view->stopSound();
    } else {
        // With the interval the last tick left, FirstInterval the first time.
        m_timer.start();
        emit runningChanged(true);
        const SettingsValues& o = m_settings.values();
        if (o.soundOn && !o.sound.isEmpty())
            m_view->playSound(o.sound);
        // From the highlighted entry, whatever the main image showed: before
        // full screen lays the strip out again around the entry shown.
        m_view->showCurrentEntry();
        if (o.fullScreen && !m_view->isFullScreen())
            m_view->enterFullScreen();
    }
    m_view->followCursor();
}

void SlideShow::tick()
{
    // A tick queued before the show stopped has nothing left to do; one
    // that comes while the delay's message is open passes by, so messages
    // never pile up one over another.
    if (!m_view || !isRunning() || m_telling)
        return;
    const QString delay = m_settings.values().delay;
    const std::optional<int> interval = slideShowInterval(delay);
    if (!interval) {
        const QScopedValueRollback telling(m_telling, true);
        m_view->tellError(QStringLiteral("'%1' is not a valid integer value").arg(delay));
        return;
    }
    // An unchanged interval leaves the running count alone.
    if (m_timer.interval() != *interval)
        m_timer.setInterval(*interval);
    if (m_view->atLastEntry())
        finish();
    else
        m_view->showNextSlide();
}

void SlideShow::finish()
{
    m_timer.stop();
    m_view->stopSound();
    m_view->tellFinished();
    emit runningChanged(false);
}
