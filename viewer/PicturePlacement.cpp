#include "viewer/PicturePlacement.h"

QRect placePicture(QSize picture, QSize control, bool stretch, bool proportional, bool center)
{
    const int w = picture.width(), h = picture.height();
    const int cw = control.width(), ch = control.height();
    int dw = w, dh = h;
    if (stretch || (proportional && (w > cw || h > ch))) {
        if (proportional && w >= 1 && h >= 1) {
            const double a = double(w) / double(h);
            if (w > h) {
                dw = cw;
                dh = int(cw / a);
                if (dh > ch) {
                    dh = ch;
                    dw = int(ch * a);
                }
            } else {
                dh = ch;
                dw = int(ch * a);
                if (dw > cw) {
                    dw = cw;
                    dh = int(cw / a);
                }
            }
        } else {
            dw = cw;
            dh = ch;
        }
    }
    int x = 0, y = 0;
    if (center) {
        x = (cw - dw) / 2; // C++ division truncates toward zero, as required
        y = (ch - dh) / 2;
    }
    return QRect(x, y, dw, dh);
}

QSize deviceSize(QSize logical, qreal dpr)
{
    return (QSizeF(logical) * dpr).toSize();
}

DrawTarget drawTarget(QSize picture, QSize control, bool stretch, bool proportional, bool center, qreal dpr,
                      QRect viewport)
{
    const QRect r = placePicture(picture, control, stretch, proportional, center);
    if (r.size() == picture)
        return {picture, viewport.translated(-r.topLeft()).intersected(QRect(QPoint(), picture))};
    return {deviceSize(r.size(), dpr), QRect()};
}
