#pragma once
// Plays the main image's picture when it is an animation: its frames come
// from a loader of the pool; P (and the View menu's "Pause Animation")
// pauses and resumes; a minimised window holds the frame.
#include "viewer/AnimationPlayer.h"

#include <QObject>

#include <functional>
#include <memory>

class MainImage;
class QAction;
class QMenu;
class QWidget;

class AnimationView : public QObject {
    Q_OBJECT
public:
    // Frames come in display colours while `displayColors` says so.
    AnimationView(QWidget* window, MainImage* image, QMenu* viewMenu, std::function<bool()> displayColors);
    ~AnimationView() override;

    AnimationPlayer& player() { return m_player; }
    QAction* pauseAction() const { return m_pause; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pictureChanged();
    void showState();

    QWidget* m_window;
    MainImage* m_image;
    QAction* m_pause;
    AnimationPlayer m_player;
    std::function<bool()> m_displayColors;
};
