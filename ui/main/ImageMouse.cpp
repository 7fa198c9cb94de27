#include "ui/main/ImageMouse.h"

#include "ui/main/MainImage.h"

#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

ImageMouse::ImageMouse(QScrollArea* area, MainImage* image, Actions actions)
    : QObject(area), m_area(area), m_image(image), m_actions(std::move(actions))
{
    m_area->viewport()->installEventFilter(this);
    m_image->installEventFilter(this);
    // Moves must arrive without a button held, to bring the pointer back.
    m_area->viewport()->setMouseTracking(true);
    m_image->setMouseTracking(true);
    m_idle.setSingleShot(true);
    m_idle.setInterval(2000);
    connect(&m_idle, &QTimer::timeout, this, &ImageMouse::hidePointer);
}

double ImageMouse::scale() const
{
    const QSize picture = m_image->pictureSize();
    return picture.isEmpty() ? 1.0 : double(m_image->drawRect().width()) / picture.width();
}

bool ImageMouse::largerThanView() const
{
    const QSize view = m_area->viewport()->size();
    return !m_image->pictureSize().isEmpty() &&
           (m_image->width() > view.width() || m_image->height() > view.height());
}

void ImageMouse::zoomAbout(double newScale, QPoint anchor)
{
    const QSize picture = m_image->pictureSize();
    const double old = scale();
    if (picture.isEmpty() || old <= 0)
        return;
    const double largest = double(MaxDrawnSide) / std::max(picture.width(), picture.height());
    newScale = std::clamp(newScale, std::min(MinScale, largest), largest);
    // The picture point under the pointer, before the change.
    const QPointF origin = m_image->pos() + m_image->drawRect().topLeft();
    const QPointF fixed = (QPointF(anchor) - origin) / old;

    m_image->setAutoSize(false);
    m_image->setCenter(false);
    m_image->setProportional(true);
    m_image->setStretch(true);
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_image->resize(std::max(1, int(std::lround(picture.width() * newScale))),
                    std::max(1, int(std::lround(picture.height() * newScale))));
    m_area->horizontalScrollBar()->setValue(int(std::lround(fixed.x() * newScale - anchor.x())));
    m_area->verticalScrollBar()->setValue(int(std::lround(fixed.y() * newScale - anchor.y())));
    updateCursor();
}

void ImageMouse::updateCursor()
{
    QWidget* view = m_area->viewport();
    if (m_hidden)
        view->setCursor(Qt::BlankCursor);
    else if (m_dragging)
        view->setCursor(Qt::ClosedHandCursor);
    else if (largerThanView())
        view->setCursor(Qt::OpenHandCursor);
    else
        view->unsetCursor();
}

void ImageMouse::restartIdle()
{
    showPointer();
    m_idle.start();
}

void ImageMouse::hidePointer()
{
    if (!m_actions.pointerMayHide || !m_actions.pointerMayHide())
        return;
    if (!m_pointerInside)
        return;
    m_hidden = true;
    updateCursor();
}

void ImageMouse::showPointer()
{
    if (!m_hidden)
        return;
    m_hidden = false;
    updateCursor();
}

bool ImageMouse::wheel(QWheelEvent* event, QPoint at)
{
    const int delta = event->angleDelta().y();
    if (event->modifiers() & Qt::ControlModifier) {
        if (delta != 0 && m_actions.canRun(delta > 0 ? ViewerCommand::ZoomIn : ViewerCommand::ZoomOut))
            zoomAbout(scale() * std::pow(ZoomFactor, delta / 120.0), at);
        return true;
    }
    if (largerThanView())
        return false; // the scroll area scrolls it
    m_wheelRest += delta;
    if (std::abs(m_wheelRest) >= 120) {
        const bool forward = m_wheelRest < 0;
        m_wheelRest = 0;
        m_actions.run(forward ? ViewerCommand::NextEntry : ViewerCommand::PreviousEntry);
    }
    return true;
}

bool ImageMouse::press(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !largerThanView())
        return false;
    m_dragging = true;
    m_dragStart = event->globalPosition().toPoint();
    m_scrollStart = QPoint(m_area->horizontalScrollBar()->value(), m_area->verticalScrollBar()->value());
    updateCursor();
    return true;
}

void ImageMouse::move(QMouseEvent* event)
{
    m_pointerInside = true;
    showPointer();
    m_idle.start();
    if (!m_dragging)
        return;
    const QPoint moved = event->globalPosition().toPoint() - m_dragStart;
    m_area->horizontalScrollBar()->setValue(m_scrollStart.x() - moved.x());
    m_area->verticalScrollBar()->setValue(m_scrollStart.y() - moved.y());
}

bool ImageMouse::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        updateCursor();
        return false;
    }
    // Taken where they land, on the picture or the view around it: a wheel
    // event sent by the program itself is not passed on to the parent.
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::Leave:
        if (watched == m_area->viewport())
            m_pointerInside = event->type() == QEvent::Enter;
        return false;
    case QEvent::Wheel: {
        auto* wheelEvent = static_cast<QWheelEvent*>(event);
        const QPoint at = wheelEvent->position().toPoint();
        return wheel(wheelEvent, watched == m_image ? m_image->mapToParent(at) : at);
    }
    case QEvent::MouseButtonPress:
        return press(static_cast<QMouseEvent*>(event));
    case QEvent::MouseMove:
        move(static_cast<QMouseEvent*>(event));
        return m_dragging;
    case QEvent::MouseButtonRelease:
        if (!m_dragging)
            return false;
        m_dragging = false;
        updateCursor();
        return true;
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return false;
        m_actions.run(ViewerCommand::FullScreen);
        return true;
    default:
        return false;
    }
}
