#pragma once
// The modal effects dialog: sliders drive the effect properties of the
// preview, OK writes the result into the current picture's file (with undo)
// or into every picture file of the collection.
#include "effects/EffectSettings.h"
#include "graphics/Picture.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QListWidget;
class QProgressDialog;
class QRadioButton;
class QScrollArea;
class QSlider;
class QTabBar;
class QToolButton;
class DialogProvider;
class FullSizeRender;
class EffectPreview;
class ViewerSession;

class EffectsDialog : public QDialog {
    Q_OBJECT
public:
    // currentPicture: the picture the viewer shows now, which OK replaces.
    EffectsDialog(ViewerSession& session, DialogProvider& dialogs, std::function<Picture()> currentPicture,
                  QWidget* parent = nullptr);

    // Pictures with more pixels than this are previewed from a reduced copy
    // at once, then from the full picture rendered on a worker, which is
    // what OK writes.
    static constexpr int PreviewMaxPixels = 640 * 480;

    // OK and Cancel, as the buttons and Enter / Esc run them.
    void applyEffects();
    void discardEffects();
    // Activation: the preview takes a copy of the main image's picture.
    // Reactivation over the same picture keeps what the preview has.
    void activate(bool showing = true);

    // The settings the controls stand for, in an order whose exclusions
    // leave exactly these values set.
    std::vector<EffectSetting> currentSettings() const;
    // Whether the preview works on a reduced copy of the picture.
    bool previewReduced() const { return m_previewReduced; }
    // The full-resolution rendering behind a reduced preview.
    FullSizeRender& fullSize() const { return *m_full; }

    // Called after each picture of the all-pictures path has been written
    // (done of total); tests use it to cancel the progress dialog.
    void setProgressObserver(std::function<void(int done, int total)> observer)
    {
        m_progressObserver = std::move(observer);
    }
    QProgressDialog* progressDialog() const { return m_progress; }

    // The preview, whose engine renders the controls' settings.
    EffectPreview* preview() const { return m_preview; }

public slots:
    void reject() override;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createTonePages();
    void createEffectsPage();
    // The emboss box and the slider rows inside the effects scroll box.
    void createNeighbourhoodRows(QWidget* box);
    void connectControls();
    void showEffectPage(int row);
    void showEffectTab(int index);
    // An effect's control in the form: a slider and its value label, or a
    // check box.
    struct EffectControl {
        Effect effect;
        QSlider* bar = nullptr;
        QLabel* value = nullptr;
        QCheckBox* box = nullptr;
    };
    void listEffectControls();
    void effectChanged(const EffectControl& changed, int value);
    void levelChanged(int value);
    void choosePosterize();
    void chooseSolarize();
    void setAllToZero(bool rizeLast);
    void applyToCurrent();
    // False when the user stopped the run before it began.
    bool applyToAll();
    // The rendered full-size picture for the settings of the controls, or
    // null when the picture could not be decoded.
    const Bitmap24* renderFullSize();
    // Asks the worker for the full picture with the controls' settings.
    void requestExact();
    void pictureFailed(const QString& text);

    Picture m_source;
    FullSizeRender* m_full = nullptr;
    int m_noiseDraw = 0;
    bool m_failed = false; // m_source could not be decoded; told once
    bool m_previewReduced = false;
    bool m_clearing = false;
    bool m_activatedByShow = false;
    QProgressDialog* m_progress = nullptr;
    std::function<void(int, int)> m_progressObserver;
    ViewerSession* m_session;
    DialogProvider& m_dialogs;
    std::function<Picture()> m_currentPicture;

    // Controls; their object names are the form's.
    QListWidget* m_pageList = nullptr;
    QWidget* m_tonePage = nullptr;
    QWidget* m_saturationPage = nullptr;
    QWidget* m_effectsPage = nullptr;
    QFrame* m_previewFrame = nullptr;
    EffectPreview* m_preview = nullptr;
    QCheckBox* m_allPictures = nullptr;
    QToolButton* m_okButton = nullptr;
    QToolButton* m_cancelButton = nullptr;
    QLabel* m_contrastCaption = nullptr;
    QSlider* m_contrastSlider = nullptr;
    QLabel* m_contrastValue = nullptr;
    QLabel* m_brightnessCaption = nullptr;
    QSlider* m_brightnessSlider = nullptr;
    QLabel* m_brightnessValue = nullptr;
    QLabel* m_saturationCaption = nullptr;
    QSlider* m_saturationSlider = nullptr;
    QLabel* m_saturationValue = nullptr;
    QFrame* m_contrastZero = nullptr;
    QFrame* m_saturationZero = nullptr;
    QFrame* m_brightnessZero = nullptr;
    QTabBar* m_effectTabs = nullptr;
    QScrollArea* m_neighbourhoodBox = nullptr;
    QCheckBox* m_embossBox = nullptr;
    QLabel* m_pixelateCaption = nullptr;
    QSlider* m_pixelateSlider = nullptr;
    QLabel* m_pixelateValue = nullptr;
    QLabel* m_splitBlurCaption = nullptr;
    QSlider* m_splitBlurSlider = nullptr;
    QLabel* m_splitBlurValue = nullptr;
    QLabel* m_blurCaption = nullptr;
    QSlider* m_blurSlider = nullptr;
    QLabel* m_blurValue = nullptr;
    QLabel* m_antiAliasCaption = nullptr;
    QSlider* m_antiAliasSlider = nullptr;
    QLabel* m_antiAliasValue = nullptr;
    QLabel* m_traceCaption = nullptr;
    QSlider* m_traceSlider = nullptr;
    QLabel* m_traceValue = nullptr;
    QRadioButton* m_posterizeButton = nullptr;
    QRadioButton* m_solarizeButton = nullptr;
    QSlider* m_levelSlider = nullptr;
    QLabel* m_noiseCaption = nullptr;
    QSlider* m_noiseSlider = nullptr;
    std::vector<EffectControl> m_effectControls;
};
