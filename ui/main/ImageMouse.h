#pragma once
// What the mouse does over the main image: Ctrl+wheel zooms about the
// pointer, the wheel scrolls a picture larger than the view (or steps to
// the next or previous entry), dragging pans with a hand cursor, a
// double-click asks for full screen, and the pointer hides after a while
// without moving while `pointerMayHide` says so. What is a command runs
// only while that command can.
#include "viewer/ViewerCommands.h"

#include <QObject>
#include <QPoint>
#include <QTimer>

#include <functional>

class QScrollArea;
class MainImage;

class ImageMouse : public QObject {
    Q_OBJECT
public:
    // Each wheel notch zooms by this factor, within these scales.
    static constexpr double ZoomFactor = 1.25;
    static constexpr double MinScale = 0.02;
    static constexpr int MaxDrawnSide = 20000;

    struct Actions {
        std::function<bool(ViewerCommand)> canRun;
        std::function<void(ViewerCommand)> run;
        std::function<bool()> pointerMayHide;
    };
    ImageMouse(QScrollArea* area, MainImage* image, Actions actions);

    // The scale the picture is drawn at (drawn width over picture width).
    double scale() const;
    // Draws the picture at `scale`, keeping the picture point under
    // `anchor` (viewport coordinates) where it is.
    void zoomAbout(double scale, QPoint anchor);
    // Whether the picture needs scrolling to be seen whole.
    bool largerThanView() const;
    // The cursor the view shows now: a hand over a picture that pans.
    void updateCursor();

    // Milliseconds without a move before the pointer hides.
    void setIdleInterval(int ms) { m_idle.setInterval(ms); }
    // Starts counting idle time afresh (full screen or a show just began).
    void restartIdle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool wheel(class QWheelEvent* event, QPoint at);
    bool press(class QMouseEvent* event);
    void move(class QMouseEvent* event);
    void hidePointer();
    void showPointer();

    QScrollArea* m_area;
    MainImage* m_image;
    Actions m_actions;
    QTimer m_idle;
    bool m_hidden = false;
    bool m_pointerInside = false; // over the view, as its events last said
    bool m_dragging = false;
    QPoint m_dragStart;
    QPoint m_scrollStart;
    int m_wheelRest = 0; // a part notch, from a fine-grained wheel
};
