#pragma once
// The floating comments window: repeats the comment of the picture shown.
#include <QWidget>

class QLabel;

class TfrmComments : public QWidget {
    Q_OBJECT
public:
    explicit TfrmComments(QWidget* parent = nullptr);

    QLabel* LabelComments() const { return m_label; }
    void setCommentText(const QString& text);
    // Slider position 0..255: 255 and above is opaque, otherwise alpha p + 1.
    void setTransparency(int position);
    void setCommentFont(const QFont& font, const QColor& color);
    // The alpha value applied (1..255), or 0 while blending is off.
    int alphaValue() const { return m_alpha; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_label = nullptr;
    int m_alpha = 0;
};
