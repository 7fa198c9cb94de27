#pragma once
// Where a picture lands in the control that draws it, and what it needs
// decoded for that: the rules of an image control with stretch,
// proportional and center flags.
#include <QRect>
#include <QSize>

#include <functional>

// How a picture of a given upright size is drawn: the size of the drawn
// rectangle in device pixels and, for one shown at its own size, the part
// seen first (empty otherwise).
struct DrawTarget {
    QSize drawn;
    QRect visible;
    bool operator==(const DrawTarget& o) const { return drawn == o.drawn && visible == o.visible; }
};
using DrawRule = std::function<DrawTarget(QSize pictureSize)>;

// Where a w x h picture lands in a cw x ch control.
QRect placePicture(QSize picture, QSize control, bool stretch, bool proportional, bool center);
// A size in logical pixels in device pixels.
QSize deviceSize(QSize logical, qreal dpr);
// What a picture placed so needs decoded: its drawn size in device pixels,
// or at its own size the part of it `viewport` (control coordinates) shows.
DrawTarget drawTarget(QSize picture, QSize control, bool stretch, bool proportional, bool center, qreal dpr,
                      QRect viewport);
