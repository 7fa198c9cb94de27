#pragma once
// One thumbnail slot ("Img" + number): draws a rendition of its entry's
// picture at slot size. The rendition is made elsewhere (off the GUI thread
// for the strip, by a command for a picture it changed); until it arrives
// the slot shows an empty frame.
#include "graphics/Picture.h"
#include "viewer/SlotThumbnail.h"

#include <QImage>
#include <QWidget>

class QPainter;

class ThumbSlot : public QWidget {
    Q_OBJECT
public:
    static constexpr int Size = 145;

    ThumbSlot(int number, QWidget* parent);

    int number() const { return m_number; }
    // The slot now stands for `path`: a rendition of another file goes, one
    // of this file stays until a new one arrives.
    void setFile(const QString& path);
    const QString& file() const { return m_path; }
    // Whether a rendition is to be made: none is held, it
    // was marked stale, or the file changed since it was made.
    bool needsRendition() const;
    // A rendition made for this slot's file; on failure the slot shows a
    // broken picture, the file's name and (as its tooltip) why.
    void setThumbnail(const SlotThumbnail& made);
    // A picture that is not (or no longer) what its file held when last
    // read: its rendition is made here, now.
    void setPicture(const Picture& picture);
    // Takes another slot's file and rendition.
    void takeThumbnail(const ThumbSlot& other);
    void clearPicture();
    // What is held stays on view, but is to be made again.
    void markStale();
    // Why the picture could not be read, or nothing.
    const QString& failure() const { return m_failure; }
    const QImage& rendition() const { return m_thumb; }
    // What the main image shows until its own pixels arrive.
    const QImage& standIn() const { return m_thumb; }

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
    QImage m_thumb;
    QString m_path;
    FileStamp m_stamp; // the file as it was when m_thumb was made
    bool m_stale = false;
    QString m_hint;
    QString m_failure;
};
