#pragma once
// The slide show: stopped or running, a timer that makes the steps, and the
// options read from the settings store whenever the show needs them, so an
// edit in the settings dialog counts from the next start or tick. What the
// show does on screen goes through SlideShowView.
#include <QObject>
#include <QString>
#include <QTimer>

class SettingsStore;

class SlideShowView {
public:
    virtual ~SlideShowView() = default;
    // Whether the current entry is the last: the next tick ends the show.
    virtual bool atLastEntry() const = 0;
    // Next, as the Down key does it.
    virtual void showNextSlide() = 0;
    // The current entry in the main image: where a show starts.
    virtual void showCurrentEntry() = 0;
    virtual bool isFullScreen() const = 0;
    virtual void enterFullScreen() = 0;
    // Follow mode on, never off.
    virtual void followCursor() = 0;
    // "Slide Show finished", a modal message.
    virtual void tellFinished() = 0;
    // A failure's text, through the program's error path.
    virtual void tellError(const QString& text) = 0;
    virtual void playSound(const QString& path) = 0;
    virtual void stopSound() = 0;
};

class SlideShow : public QObject {
    Q_OBJECT
public:
    // The first show of a run waits this long for its first step.
    static constexpr int FirstInterval = 5000;

    explicit SlideShow(const SettingsStore& settings, QObject* parent = nullptr);
    void setView(SlideShowView* view) { m_view = view; }

    bool isRunning() const { return m_timer.isActive(); }
    // Start / Stop.
    void toggle();
    // The timer's step: reads the delay, then steps or ends the show.
    void tick();
    // The timer itself, for the window that waits on it and for tests.
    QTimer& timer() { return m_timer; }

signals:
    void runningChanged(bool running);

private:
    void finish();

    const SettingsStore& m_settings;
    SlideShowView* m_view = nullptr;
    QTimer m_timer;
    bool m_telling = false; // an error message is open
};
