#include "ui/main/AnimationView.h"

#include "graphics/AnimationLoader.h"
#include "ui/main/MainImage.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QWidget>

AnimationView::AnimationView(QWidget* window, MainImage* image, QMenu* viewMenu,
                             std::function<bool()> displayColors)
    : QObject(window), m_window(window), m_image(image), m_pause(new QAction(QStringLiteral("Pause Animation"), window)),
      m_displayColors(std::move(displayColors))
{
    m_pause->setObjectName(QStringLiteral("mnuPauseAnimation"));
    m_pause->setShortcut(QKeySequence(Qt::Key_P));
    m_pause->setShortcutContext(Qt::WindowShortcut);
    m_pause->setStatusTip(m_pause->text());
    m_pause->setCheckable(true);
    window->addAction(m_pause);
    if (viewMenu) {
        viewMenu->addSeparator();
        viewMenu->addAction(m_pause);
    }
    connect(m_pause, &QAction::triggered, this, [this] {
        m_player.setPaused(!m_player.paused());
        showState();
    });
    connect(&m_player, &AnimationPlayer::frameShown, m_image, &MainImage::showFrame);
    connect(&m_player, &AnimationPlayer::frameShown, this, &AnimationView::showState);
    connect(&m_player, &AnimationPlayer::finished, this, &AnimationView::showState);
    connect(m_image, &MainImage::pictureChanged, this, &AnimationView::pictureChanged);
    window->installEventFilter(this);
    showState();
}

AnimationView::~AnimationView()
{
    m_player.stop();
}

void AnimationView::pictureChanged()
{
    const Picture& picture = m_image->picture();
    m_player.setPaused(false);
    // A loader for this picture alone: it goes back to the pool with the picture.
    if (AnimationLoader::mayAnimate(picture))
        m_player.play(loaderFrames(std::make_shared<AnimationLoader>(), picture, m_displayColors()));
    else
        m_player.stop();
    showState();
}

void AnimationView::showState()
{
    m_pause->setEnabled(m_player.playing());
    m_pause->setChecked(m_player.playing() && m_player.paused());
}

bool AnimationView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::WindowStateChange)
        m_player.setHeld(m_window->isMinimized());
    return false;
}
