#pragma once
// The main image ("Image1"): draws one picture by four flags and its own size,
// like an image control with auto size, stretch, proportional and center.
#include "graphics/Picture.h"
#include "viewer/DecodeAhead.h"
#include "viewer/PictureTiles.h"

#include <QImage>
#include <QWidget>

class MainImage : public QWidget {
    Q_OBJECT
public:
    explicit MainImage(QWidget* parent = nullptr);

    // Shows `standIn` (a small rendition, enlarged) until decoded pixels
    // are offered; the decode itself happens elsewhere, off this thread.
    void setPicture(const Picture& picture, const QImage& standIn = QImage());
    void clearPicture();
    // No picture, and why: the text shows where the picture would.
    void showReason(const QString& text);
    const QString& reason() const { return m_reason; }
    // Forgets the pixels made for the picture (their colours changed) and
    // shows `standIn` until new ones are offered.
    void dropPixels(const QImage& standIn);
    const Picture& picture() const { return m_picture; }
    QSize pictureSize() const { return m_picture.size(); }
    // Pixels made for this picture; taken when they are its own.
    void offer(const std::shared_ptr<const Decoded>& decoded);
    // Whether what is drawn is the decoded picture at the drawn size,
    // rather than a stand-in or only the visible band; for a giant picture,
    // whether the tiles of the view have all arrived.
    bool showsDecodedPixels() const;
    // An animation's frame, drawn in place of the picture's pixels as they
    // would be, until the picture changes.
    void showFrame(const QImage& frame);
    const QImage& frame() const { return m_frame; }
    // How this control would draw a picture of a given size, as it stands.
    DrawRule drawRule() const;

    bool autoSize() const { return m_autoSize; }
    bool stretch() const { return m_stretch; }
    bool proportional() const { return m_proportional; }
    bool center() const { return m_center; }
    void setAutoSize(bool on);
    void setStretch(bool on);
    void setProportional(bool on);
    void setCenter(bool on);

    QRect drawRect() const;
    // Tiles of a picture drawn too large to decode whole (null otherwise).
    const PictureTiles* tiles() const { return m_tiles.picture().isEmpty() ? nullptr : &m_tiles; }

signals:
    // Another picture (or none) is shown.
    void pictureChanged();
    // The picture or the way it is drawn changed and no pixels fit it yet.
    void pixelsWanted();
    // The picture, its size on screen, the way it is drawn or what of it
    // is drawn (a tile arrived) changed.
    void drawingChanged();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void moveEvent(QMoveEvent*) override;

private:
    void adjustToPicture();
    void changed();
    // Tells the tiles what is seen now, when the picture is tiled.
    void followView();
    void paintTiles(QPainter& p, const QRect& r);

    Picture m_picture;
    QImage m_standIn;
    std::shared_ptr<const Decoded> m_decoded;
    QImage m_frame;
    bool m_autoSize = true;
    bool m_stretch = false;
    bool m_proportional = false;
    bool m_center = true;
    QString m_reason;
    PictureTiles m_tiles;
};
