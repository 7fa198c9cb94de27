#pragma once
// The floating comments window: repeats the comment of the picture shown,
// in the comment font, above all other windows.
#include <QWidget>
#include <optional>

class QAction;
class QLabel;
struct SettingsValues;

class CommentsWindow : public QWidget {
    Q_OBJECT
public:
    // The design's outer size and place on the screen.
    static constexpr QRect DesignFrame{193, 103, 389, 61};

    // settings: the comment font and transparency it starts with; toggle:
    // the command that shows and hides it, which also works from here.
    CommentsWindow(const SettingsValues& settings, QAction* toggle, QWidget* parent = nullptr);

    QLabel* commentLabel() const { return m_label; }
    void setCommentText(const QString& text);
    void setCommentFont(const QFont& font, const QColor& color);
    // Alpha value 1..255 with blending on, or std::nullopt for blending off.
    void setAlpha(std::optional<int> alpha);
    std::optional<int> alpha() const { return m_alpha; }
    // The settings slider's position: 255 is opaque, below it alpha p + 1.
    void setTransparency(int position);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildContents(const SettingsValues& settings, QAction* toggle);
    void fitOuterSize();

    QLabel* m_label = nullptr;
    std::optional<int> m_alpha;
    bool m_sized = false;
};
