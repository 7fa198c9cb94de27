#pragma once
// One thumbnail slot ("Img" + number): draws a rendition of its entry's
// picture at slot size. The rendition is the picture file's (PictureFiles);
// one slow to arrive has a light frame standing for it meanwhile.

#include "viewer/LoadingSign.h"

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
    // Draws the file's rendition; with a failure, a broken picture, the
    // file's name and (as its tooltip) why.
    void setRendition(const QImage& rendition, const QString& failure);
    // Takes another slot's file and rendition.
    void takeThumbnail(const ThumbSlot& other);
    void clearPicture();
    // Why the picture could not be read, or nothing.
    const QString& failure() const { return m_failure; }
    const QImage& rendition() const { return m_thumb; }
    // What the main image shows until its own pixels arrive.
    const QImage& standIn() const { return m_thumb; }

    QString hint() const { return m_hint; }
    void setHint(const QString& hint);

    // Where the rendition is drawn: fitted to the cell, from its top-left.
    QRect drawRect() const;
    // Whether the slot waits for its rendition, and shows it.
    const LoadingSign& loadingSign() const { return m_sign; }
    LoadingSign& loadingSign() { return m_sign; }

signals:
    void clicked(int number);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void paintFailure(QPainter& p);
    void followLoading();

    int m_number;
    QImage m_thumb;
    QString m_path;
    QString m_hint;
    QString m_failure;
    LoadingSign m_sign;
};
