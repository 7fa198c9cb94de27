#pragma once
// EffectPreview: the effect image control. It owns an EffectRenderer and only
// paints: the engine's rendered picture, drawn into DestRect.
#include "effects/EffectRenderer.h"

#include <QColorSpace>
#include <QWidget>

class EffectPreview : public QWidget {
    Q_OBJECT
public:
    explicit EffectPreview(QWidget* owner = nullptr);

    EffectRenderer& engine() noexcept { return m_engine; }
    const EffectRenderer& engine() const noexcept { return m_engine; }

    bool AutoSize() const noexcept { return m_autoSize; }
    void setAutoSize(bool v);
    bool IncrementalDisplay() const noexcept { return m_incrementalDisplay; }
    void setIncrementalDisplay(bool v) { m_incrementalDisplay = v; }
    const QString& PictureEffects() const noexcept { return m_pictureEffects; }
    void setPictureEffects(const QString& v) { m_pictureEffects = v; }

    // The colour space of the picture's values: the engine computes on
    // them, and they are converted for the screen only when painted.
    void setColorSpace(const QColorSpace& space);

    // A rendering of the whole picture already fitted to the control, shown
    // in place of Picture until Picture next changes.
    void showScaled(const QImage& image);
    const QImage& shownScaled() const noexcept { return m_scaled; }

signals:
    void OnMouseEnter();
    void OnMouseExit();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void PictureChanged();

    EffectRenderer m_engine;
    bool m_autoSize = false;
    bool m_incrementalDisplay = false;
    bool m_drawing = false;
    QString m_pictureEffects;
    QImage m_scaled;
    QColorSpace m_colorSpace;
};
