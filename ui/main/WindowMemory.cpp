// What the main window remembers between runs: its place and size, follow
// mode and where in which collection it was.
#include "ui/main/MainWindow.h"

#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

void MainWindow::restore(const WindowSettings& remembered)
{
    m_session->setFollowsCursor(remembered.followMode);
    const QRect wanted = remembered.geometry.value_or(geometry());
    QScreen* screen = QGuiApplication::screenAt(wanted.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // The frame is unknown before the window is shown: take the one the
    // layout rules count with.
    const int half = FrameWidth / 2;
    const QMargins frame(half, std::max(NonClientHeight - half - menuBar()->sizeHint().height(), 0), half,
                         half);
    // On a small screen (or a large scale factor) even the smallest size
    // the layout allows may not fit.
    setMinimumSize(minimumSize().boundedTo(available.marginsRemoved(frame).size()));
    setGeometry(placeWithin(wanted, frame, available, minimumSize()));
    if (remembered.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

QRect MainWindow::placeFramed(const QRect& client, const QMargins& frame, const QRect& available,
                              const QSize& minimum)
{
    QRect wanted = client;
    // The screen holds it only just: from the top of the free area down.
    if (client.bottom() + frame.bottom() > available.bottom())
        wanted.moveTop(available.top() + frame.top());
    return placeWithin(wanted, frame, available, minimum);
}

void MainWindow::watchFirstFrame()
{
    // The window manager tells its frame only after the window is shown,
    // and it may be deeper than the one counted with before.
    auto* poll = new QTimer(this);
    poll->setInterval(50);
    connect(poll, &QTimer::timeout, this, [this, poll, tries = 0]() mutable {
        const QRect frame = frameGeometry();
        if (frame == geometry() && ++tries < 40)
            return;
        poll->deleteLater();
        QScreen* s = screen();
        if (frame == geometry() || !s || isMaximized() || m_session->isFullScreen())
            return;
        const QRect client = geometry();
        const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                               frame.right() - client.right(), frame.bottom() - client.bottom());
        const QRect available = s->availableGeometry();
        setMinimumSize(minimumSize().boundedTo(available.marginsRemoved(margins).size()));
        const QRect placed = placeFramed(client, margins, available, minimumSize());
        if (placed != client)
            setGeometry(placed);
    });
    poll->start();
}

WindowSettings MainWindow::remembered() const
{
    WindowSettings w;
    if (m_session->isFullScreen())
        w.geometry = m_normalGeometry;
    else
        w.geometry = isMaximized() ? normalGeometry() : geometry();
    if (!w.geometry->isValid())
        w.geometry.reset();
    w.maximized = !m_session->isFullScreen() && isMaximized();
    w.followMode = m_session->followsCursor();
    if (m_session->entryCount() > 0) {
        w.collection = m_session->collectionFileName();
        const int shown = m_session->strip().shownEntry();
        w.entry = shown >= 1 ? shown : m_session->currentEntry();
    }
    return w;
}
