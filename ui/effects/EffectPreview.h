#pragma once
// The effects dialog's preview: owns an EffectRenderer and only paints the
// engine's rendered picture, stretched over the control.
#include "effects/EffectRenderer.h"

#include <QColorSpace>
#include <QWidget>

class EffectPreview : public QWidget {
    Q_OBJECT
public:
    explicit EffectPreview(QWidget* owner = nullptr);

    EffectRenderer& engine() noexcept { return m_engine; }
    const EffectRenderer& engine() const noexcept { return m_engine; }

    // The colour space of the picture's values: the engine computes on
    // them, and they are converted for the screen only when painted.
    void setColorSpace(const QColorSpace& space);

    // A rendering of the whole picture already fitted to the control, shown
    // in place of Picture until Picture next changes.
    void showScaled(const QImage& image);
    const QImage& shownScaled() const noexcept { return m_scaled; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void renderingChanged();

    EffectRenderer m_engine;
    bool m_drawing = false;
    QImage m_scaled;
    QColorSpace m_colorSpace;
};
