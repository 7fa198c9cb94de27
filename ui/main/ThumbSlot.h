#pragma once
// One thumbnail slot ("Img" + number): holds the entry's whole picture, as
// loaded, but draws a small rendition made once when the picture arrives.
#include "graphics/Picture.h"
#include "viewer/DecodeAhead.h"

#include <QImage>
#include <QWidget>

class QPainter;

class ThumbSlot : public QWidget {
    Q_OBJECT
public:
    static constexpr int Size = 145;

    ThumbSlot(int number, QWidget* parent);

    int number() const { return m_number; }
    // Reads the picture file; on failure the slot shows a broken picture,
    // the file's name and (as its tooltip) why, and the error is thrown. A file
    // unchanged since this slot read it (same size and modification time)
    // is not read again.
    void loadPicture(const QString& path, ExifOrientation exif);
    // Takes a picture read from `path` elsewhere, with its rendition.
    void setPrepared(const QString& path, const FileStamp& stamp, const Picture& picture, const QImage& thumb,
                     const QImage& decoded);
    // A picture that is not (or no longer) what its file holds.
    void setPicture(const Picture& picture);
    // Takes another slot's picture and rendition without reading anything.
    void takePicture(const ThumbSlot& other);
    void clearPicture();
    // The rendition made again from the picture held (its display colours
    // changed).
    void remakeRendition();
    const Picture& picture() const { return m_picture; }
    // Why the picture could not be read, or nothing.
    const QString& failure() const { return m_failure; }
    const QImage& rendition() const { return m_thumb; }
    // The scaled decode the rendition was made from (JPEGs): the main image
    // shows it until its own pixels arrive, and uses it when it fits.
    const QImage& scaledDecode() const { return m_decoded; }
    const QImage& standIn() const { return m_decoded.isNull() ? m_thumb : m_decoded; }

    QString hint() const { return m_hint; }
    void setHint(const QString& hint);

    // Where the rendition is drawn: fitted to the cell, from its top-left.
    QRect drawRect() const;

signals:
    void clicked(int number);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void paintFailure(QPainter& p);

    int m_number;
    Picture m_picture;
    QImage m_thumb;
    QImage m_decoded;
    QString m_path; // the file m_picture was read from, as it was then
    FileStamp m_stamp;
    QString m_hint;
    QString m_failure;
};
