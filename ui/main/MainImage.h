#pragma once
// The main image (`Image1`): draws one picture by four flags and its own size,
// like an image control with auto size, stretch, proportional and center.
#include "graphics/Picture.h"

#include <QImage>
#include <QWidget>

// Where a w x h picture lands in a cw x ch control.
QRect placePicture(QSize picture, QSize control, bool stretch, bool proportional, bool center);

class MainImage : public QWidget {
    Q_OBJECT
public:
    explicit MainImage(QWidget* parent = nullptr);

    // Decodes the picture in full: the main image is the one place that does.
    void setPicture(const Picture& picture);
    void clearPicture();
    const Picture& picture() const { return m_picture; }
    QSize pictureSize() const { return m_picture.size(); }
    // The full-size pixels, decoded on first use.
    const QImage& decodedImage() const;

    bool autoSize() const { return m_autoSize; }
    bool stretch() const { return m_stretch; }
    bool proportional() const { return m_proportional; }
    bool center() const { return m_center; }
    void setAutoSize(bool on);
    void setStretch(bool on);
    void setProportional(bool on);
    void setCenter(bool on);

    QRect drawRect() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void adjustToPicture();

    Picture m_picture;
    mutable QImage m_image;
    mutable bool m_decodeFailed = false;
    // Smooth scaling of a big photo is costly: keep the last result.
    mutable QImage m_scaled;
    bool m_autoSize = true;
    bool m_stretch = false;
    bool m_proportional = false;
    bool m_center = true;
};
