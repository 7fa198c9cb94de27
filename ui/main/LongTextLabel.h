#pragma once
// A one-line label that stays quick with any length of text. QLabel lays out
// its whole text to paint or size it, which takes seconds for a comment of
// megabytes; past a few screens' worth only the start can ever be seen, so
// only the start is measured and drawn, elided at the edge. text() keeps the
// whole text for whoever reads it.
#include <QLabel>
#include <QPainter>
#include <QStyle>

class LongTextLabel : public QLabel {
public:
    using QLabel::QLabel;

    // More characters than any screen shows on one line.
    static constexpr qsizetype ShownCharacters = 2000;

    QSize sizeHint() const override { return isLong() ? shortHint() : QLabel::sizeHint(); }
    QSize minimumSizeHint() const override { return isLong() ? shortHint() : QLabel::minimumSizeHint(); }

    // Text wider than the label loses its middle, not its end: a path's
    // file name and the notes after it stay readable.
    void setElidesMiddle(bool on)
    {
        m_elidesMiddle = on;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        const bool narrow = m_elidesMiddle && fontMetrics().horizontalAdvance(visibleStart()) > area.width();
        if (!isLong() && !narrow) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        drawFrame(&painter);
        const QString shown = fontMetrics().elidedText(visibleStart(), narrow ? Qt::ElideMiddle : Qt::ElideRight,
                                                       area.width() - indent());
        style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown,
                              foregroundRole());
    }

private:
    bool m_elidesMiddle = false;
    bool isLong() const { return text().size() > ShownCharacters; }
    QString visibleStart() const { return text().left(ShownCharacters); }
    QSize shortHint() const
    {
        const QMargins m = contentsMargins();
        return QSize(fontMetrics().horizontalAdvance(visibleStart()) + m.left() + m.right() + 2 * margin(),
                     fontMetrics().height() + m.top() + m.bottom() + 2 * margin());
    }
};
