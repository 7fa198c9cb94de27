#pragma once
// Plays an animation's frames with the file's timing and loop count: asks
// its source for each frame on a worker while the one before shows, so
// only the shown frame and the next are held here. The clock is given, so
// tests play without waiting; a timer drives it otherwise.
#include "core/JobRunner.h"

#include <QImage>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

struct PlayerFrame {
    QImage image;
    int delayMs = 0;
    int plays = 0; // how often the whole plays; 0: forever
};

class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Frame `index`; none past the last. Throws where the frame can't be
    // read (the frames before it then play on their own). Runs on a worker.
    virtual std::optional<PlayerFrame> frame(int index) = 0;
};

class AnimationLoader;
class Picture;
// The frames of `picture` as `loader` reads them (a loader of its own; the
// player asks from one worker, so several sources may share it).
std::shared_ptr<FrameSource> loaderFrames(std::shared_ptr<AnimationLoader> loader, const Picture& picture,
                                          bool displayColors);

class AnimationPlayer : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<qint64()>; // milliseconds, never going back
    // What browsers show a frame of 10 ms or less for.
    static constexpr int ShortestDelayMs = 100;
    static int shownDelay(int delayMs) { return delayMs <= 10 ? ShortestDelayMs : delayMs; }

    explicit AnimationPlayer(QObject* parent = nullptr);
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // Plays `source` from its first frame; whatever played before stops.
    void play(std::shared_ptr<FrameSource> source);
    void stop();
    // Whether a source is playing frames (paused or not) and has not ended.
    bool playing() const { return m_source && m_shown >= 0 && !m_ended; }
    bool ended() const { return m_ended; }
    int shownIndex() const { return m_shown; }

    // The user's pause, and the window's (minimised): either holds the frame.
    void setPaused(bool paused);
    bool paused() const { return m_paused; }
    void setHeld(bool held);

    // Shows the next frame when it is due by the clock and has arrived.
    void poll();
    // Blocks until the next frame arrived (or none will), and takes it.
    void waitForFrame();

signals:
    void frameShown(const QImage& frame);
    // No more frames will come: the plays are done, or the first frame
    // could not be read (`playing()` then never turned true).
    void finished();

private:
    struct Arrival {
        int index = 0;
        std::optional<PlayerFrame> frame;
    };
    void fetch(int index);
    void arrived(Arrival arrival);
    void show(PlayerFrame frame, int index);
    void finish();
    void schedule();
    // After the pause or the hold changed, `was` telling whether they stopped it.
    void stopChanged(bool was);
    bool stopped() const { return m_paused || m_held; }

    std::shared_ptr<FrameSource> m_source;
    Clock m_clock;
    QTimer m_timer;
    std::optional<Arrival> m_ready; // the next frame, waiting for its time
    JobRunner::Ticket m_ticket = 0;
    bool m_fetching = false;
    int m_shown = -1;
    qint64 m_dueAt = 0;   // when the next frame is due
    qint64 m_leftMs = 0;  // of the shown frame's time, while stopped
    int m_plays = 0; // 0: forever
    int m_playsDone = 0;
    bool m_ended = false;
    bool m_paused = false;
    bool m_held = false;
    JobRunner m_runner; // last: its jobs end before the rest goes
};
