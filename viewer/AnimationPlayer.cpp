#include "viewer/AnimationPlayer.h"

#include "graphics/AnimationLoader.h"

#include <QElapsedTimer>

namespace {

class LoaderFrames : public FrameSource {
public:
    LoaderFrames(std::shared_ptr<AnimationLoader> loader, const Picture& picture, bool displayColors)
        : m_loader(std::move(loader)), m_picture(picture), m_displayColors(displayColors)
    {
    }
    std::optional<PlayerFrame> frame(int index) override
    {
        AnimationLoader::Frame f = m_loader->frame(m_picture, index, m_displayColors);
        if (f.image.isNull())
            return std::nullopt;
        return PlayerFrame{std::move(f.image), f.delayMs, f.plays};
    }

private:
    std::shared_ptr<AnimationLoader> m_loader;
    Picture m_picture;
    bool m_displayColors;
};

} // namespace

std::shared_ptr<FrameSource> loaderFrames(std::shared_ptr<AnimationLoader> loader, const Picture& picture,
                                          bool displayColors)
{
    return std::make_shared<LoaderFrames>(std::move(loader), picture, displayColors);
}

AnimationPlayer::AnimationPlayer(QObject* parent) : QObject(parent), m_runner(1)
{
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    m_clock = [started] { return started->elapsed(); };
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &AnimationPlayer::poll);
}

void AnimationPlayer::play(std::shared_ptr<FrameSource> source)
{
    stop();
    m_source = std::move(source);
    if (m_source)
        fetch(0);
}

void AnimationPlayer::stop()
{
    m_runner.cancelAll(JobRunner::Running::Finish);
    m_timer.stop();
    m_source.reset();
    m_ready.reset();
    m_fetching = false;
    m_shown = -1;
    m_plays = 0;
    m_playsDone = 0;
    m_ended = false;
}

void AnimationPlayer::setPaused(bool paused)
{
    const bool was = stopped();
    m_paused = paused;
    stopChanged(was);
}

void AnimationPlayer::setHeld(bool held)
{
    const bool was = stopped();
    m_held = held;
    stopChanged(was);
}

void AnimationPlayer::stopChanged(bool was)
{
    const qint64 now = m_clock();
    if (!was && stopped()) {
        m_timer.stop();
        m_leftMs = std::max<qint64>(0, m_dueAt - now);
    } else if (was && !stopped()) {
        m_dueAt = now + m_leftMs;
        poll();
    }
}

void AnimationPlayer::fetch(int index)
{
    m_fetching = true;
    std::shared_ptr<FrameSource> source = m_source;
    m_ticket = m_runner.submit(
        [this, source, index](const JobRunner::StopFlag&) -> JobRunner::Delivery {
            Arrival a{index, source->frame(index)};
            return [this, a = std::move(a)]() mutable { arrived(std::move(a)); };
        },
        // A damaged frame ends the frames as their end would.
        [this, index](std::exception_ptr) { arrived(Arrival{index, std::nullopt}); });
}

void AnimationPlayer::arrived(Arrival arrival)
{
    m_fetching = false;
    if (!arrival.frame) {
        if (arrival.index == 0) {
            finish(); // nothing to play
            return;
        }
        ++m_playsDone;
        if (m_plays > 0 && m_playsDone >= m_plays) {
            finish(); // the last frame stays
            return;
        }
        fetch(0);
        return;
    }
    m_plays = arrival.frame->plays;
    if (m_shown < 0) {
        show(std::move(*arrival.frame), arrival.index);
        return;
    }
    m_ready = std::move(arrival);
    poll();
}

void AnimationPlayer::poll()
{
    if (!m_ready || stopped())
        return;
    if (m_clock() < m_dueAt) {
        schedule();
        return;
    }
    Arrival next = std::move(*m_ready);
    m_ready.reset();
    show(std::move(*next.frame), next.index);
}

void AnimationPlayer::show(PlayerFrame frame, int index)
{
    // Due from when this one was due, so late timer events don't add up.
    const qint64 now = m_clock();
    const qint64 from = m_shown < 0 || now - m_dueAt > ShortestDelayMs ? now : m_dueAt;
    m_shown = index;
    m_dueAt = from + shownDelay(frame.delayMs);
    m_leftMs = m_dueAt - now;
    emit frameShown(frame.image);
    fetch(index + 1);
}

void AnimationPlayer::finish()
{
    m_ended = true;
    m_timer.stop();
    emit finished();
}

void AnimationPlayer::schedule()
{
    if (m_ready && !stopped())
        m_timer.start(int(std::clamp<qint64>(m_dueAt - m_clock(), 0, INT_MAX)));
}

void AnimationPlayer::waitForFrame()
{
    // Past the last frame the first is asked for again.
    while (m_fetching && !m_ready)
        m_runner.waitFor(m_ticket);
}
