#include "ui/effects/EffectsDialog.h"

#include "core/Errors.h"
#include "effects/FullSizeRender.h"
#include "effects/PictureWrite.h"
#include "ui/common/RunCommand.h"
#include "ui/effects/EffectPreview.h"
#include "viewer/ViewerSession.h"

#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QToolButton>

namespace {

template <typename T> T* make(QWidget* parent, const char* name, int x, int y, int w, int h)
{
    auto* c = new T(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setGeometry(x, y, w, h);
    return c;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(x, y);
    l->adjustSize();
    return l;
}

QSlider* slider(QWidget* parent, const char* name, int x, int y, int w, int h, int lo, int hi, int tick)
{
    auto* s = make<QSlider>(parent, name, x, y, w, h);
    s->setOrientation(Qt::Horizontal);
    s->setRange(lo, hi);
    s->setTickPosition(QSlider::TicksAbove);
    s->setTickInterval(tick);
    s->setPageStep(tick);
    return s;
}

// The mark over a signed slider's centre that shows where zero lies.
QFrame* zeroMark(QWidget* parent, const char* name, const QSlider* bar)
{
    auto* f = make<QFrame>(parent, name, 144, bar->y() - 15, 1, 15);
    f->setFrameStyle(QFrame::NoFrame);
    f->setAutoFillBackground(true);
    QPalette pal = f->palette();
    pal.setColor(QPalette::Window, Qt::black);
    f->setPalette(pal);
    return f;
}

QToolButton* flatButton(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h)
{
    auto* b = make<QToolButton>(parent, name, x, y, w, h);
    b->setText(text);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}

// Each slider step shows its value beside the slider.
void showValue(QLabel* l, int v)
{
    l->setText(QString::number(v));
    l->adjustSize();
}

} // namespace

EffectsDialog::EffectsDialog(ViewerSession& session, std::function<Picture()> currentPicture, QWidget* parent)
    : QDialog(parent), m_session(&session), m_currentPicture(std::move(currentPicture))
{
    setObjectName(QStringLiteral("frmEffects"));
    setWindowTitle(QStringLiteral("Image Effects..."));
    // A fixed dialog frame: title and close button, nothing to resize.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFixedSize(481, 358);
    QFont base(QStringLiteral("DejaVu Sans"));
    base.setPixelSize(11);
    setFont(base);
    m_full = new FullSizeRender(this);
    connect(m_full, &FullSizeRender::ready, this, [this](const QImage& image) {
        if (m_previewReduced && !m_failed)
            m_preview->showScaled(m_source.inDisplayColors(image));
    });
    connect(m_full, &FullSizeRender::failed, this, [this](const QString& text) { pictureFailed(text); });
    createControls();
    // Enter and Esc belong to the window before any control sees them.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

void EffectsDialog::createControls()
{
    m_pageList = make<QListWidget>(this, "ListEffects", 8, 8, 169, 313);
    QFont listFont(QStringLiteral("Verdana"));
    listFont.setPixelSize(12);
    m_pageList->setFont(listFont);
    for (const char* text : {"Brightness & Contrast", "Saturation", "Effects"}) {
        auto* item = new QListWidgetItem(QString::fromLatin1(text), m_pageList);
        item->setSizeHint(QSize(0, 14));
    }
    m_pageList->setUniformItemSizes(true);

    auto page = [this](const char* name) {
        auto* p = make<QFrame>(this, name, 184, 8, 289, 161);
        p->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
        return p;
    };
    m_tonePage = page("Panel0");
    m_saturationPage = page("Panel1");
    m_effectsPage = page("Panel2");
    m_saturationPage->hide();
    m_effectsPage->hide();

    m_previewFrame = make<QFrame>(this, "Shape1", 184, 172, 289, 149);
    m_previewFrame->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_preview = make<EffectPreview>(this, "ImgPreview", 187, 174, 283, 145);

    m_allPictures = make<QCheckBox>(this, "CheckAll", 9, 329, 288, 22);
    m_allPictures->setText(QStringLiteral("Apply for all images in collection"));
    m_okButton = flatButton(this, "butApply", QStringLiteral("   OK"), 320, 328, 73, 22);
    m_cancelButton = flatButton(this, "btnClose", QStringLiteral("Cancel"), 396, 328, 77, 22);

    createTonePages();
    createEffectsPage();
    m_pageList->setCurrentRow(0);
    connectControls();
}

void EffectsDialog::createTonePages()
{
    // Brightness & Contrast.
    m_contrastCaption = label(m_tonePage, "Label1", QStringLiteral("Contrast:"), 8, 8);
    m_contrastSlider = slider(m_tonePage, "ContrastBar", 8, 24, 273, 33, -255, 255, 30);
    m_contrastCaption->setBuddy(m_contrastSlider); // also the name a screen reader says
    m_contrastValue = label(m_tonePage, "lblContrast", QStringLiteral("0"), 240, 8);
    m_contrastZero = zeroMark(m_tonePage, "Shape2", m_contrastSlider);
    m_brightnessCaption = label(m_tonePage, "Label2", QStringLiteral("Brightness:"), 8, 72);
    m_brightnessSlider = slider(m_tonePage, "BrightBar", 8, 88, 273, 33, -255, 255, 30);
    m_brightnessCaption->setBuddy(m_brightnessSlider);
    m_brightnessValue = label(m_tonePage, "lblBright", QStringLiteral("0"), 240, 72);
    m_brightnessZero = zeroMark(m_tonePage, "Shape4", m_brightnessSlider);

    // Saturation.
    m_saturationCaption = label(m_saturationPage, "Label3", QStringLiteral("Saturation:"), 8, 32);
    m_saturationSlider = slider(m_saturationPage, "SaturationBar", 8, 49, 273, 32, -255, 255, 30);
    m_saturationCaption->setBuddy(m_saturationSlider);
    m_saturationValue = label(m_saturationPage, "lblSaturation", QStringLiteral("0"), 240, 32);
    m_saturationZero = zeroMark(m_saturationPage, "Shape3", m_saturationSlider);
}

void EffectsDialog::createEffectsPage()
{
    // Effects: a tab bar over the neighbourhood group's scroll box, which
    // covers the posterize, solorize and noise controls.
    m_effectTabs = make<QTabBar>(m_effectsPage, "TabControl1", 2, 2, 286, 158);
    m_effectTabs->setDrawBase(false);
    m_effectTabs->setExpanding(false);
    m_effectTabs->setUsesScrollButtons(false);
    m_effectTabs->addTab(QStringLiteral("Effects"));
    m_effectTabs->addTab(QStringLiteral("Other"));
    m_effectTabs->setStyleSheet(QStringLiteral(
        "QTabBar::tab { border: 1px solid transparent; border-radius: 2px; padding: 2px 8px; margin: 1px; }"
        "QTabBar::tab:selected { border-color: palette(dark); background: palette(button); }"
        "QTabBar::tab:hover { border-color: palette(highlight); }"));

    m_posterizeButton = make<QRadioButton>(m_effectTabs, "rPosterize", 8, 32, 120, 17);
    m_posterizeButton->setText(QStringLiteral("Posterize:"));
    m_posterizeButton->setChecked(true);
    m_solarizeButton = make<QRadioButton>(m_effectTabs, "rSolorize", 136, 32, 120, 17);
    m_solarizeButton->setText(QStringLiteral("Solorize:"));
    m_levelSlider = slider(m_effectTabs, "RizeBar", 8, 48, 265, 41, 0, 255, 15);
    m_noiseCaption = label(m_effectTabs, "Label9", QStringLiteral("Noise:"), 8, 88);
    m_noiseSlider = slider(m_effectTabs, "NoiseBar", 8, 104, 265, 41, 0, 255, 15);
    m_noiseCaption->setBuddy(m_noiseSlider);

    m_neighbourhoodBox = make<QScrollArea>(m_effectTabs, "ScrollBox1", -2, 25, 285, 131);
    m_neighbourhoodBox->setFrameStyle(QFrame::NoFrame);
    m_neighbourhoodBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_neighbourhoodBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("ScrollBox1Contents"));
    box->setFixedSize(285 - m_neighbourhoodBox->verticalScrollBar()->sizeHint().width(), 303);
    m_neighbourhoodBox->setWidget(box);
    m_neighbourhoodBox->raise();
    createNeighbourhoodRows(box);
}

void EffectsDialog::createNeighbourhoodRows(QWidget* box)
{
    m_embossBox = make<QCheckBox>(box, "chkEmboss", 4, 4, 120, 17);
    m_embossBox->setText(QStringLiteral("Emboss"));
    // The neighbourhood effects' rows: caption, slider, value.
    struct Row {
        QLabel* EffectsDialog::*caption;
        const char* captionName;
        const char* text;
        int y;
        QSlider* EffectsDialog::*bar;
        const char* barName;
        int max, page;
        QLabel* EffectsDialog::*value;
        const char* valueName;
        int valueX;
    };
    using D = EffectsDialog;
    const Row rows[] = {
        {&D::m_pixelateCaption, "Label4", "Pixelate:", 28, &D::m_pixelateSlider, "MosaicBar", 50, 2,
         &D::m_pixelateValue, "lblMosaic", 215},
        {&D::m_splitBlurCaption, "Label5", "Split Blur:", 84, &D::m_splitBlurSlider, "SplitBlurBar", 255, 10,
         &D::m_splitBlurValue, "lblSplitBlur", 215},
        {&D::m_blurCaption, "Label6", "Gaussian Blur:", 140, &D::m_blurSlider, "BlurBar", 50, 2,
         &D::m_blurValue, "lblBlur", 216},
        {&D::m_antiAliasCaption, "Label7", "Anti Aliasing:", 196, &D::m_antiAliasSlider, "AntiBar", 50, 2,
         &D::m_antiAliasValue, "lblAnti", 216},
        {&D::m_traceCaption, "Label8", "Tracing:", 254, &D::m_traceSlider, "TraceBar", 2, 1, &D::m_traceValue,
         "lblTrace", 217},
    };
    for (const Row& r : rows) {
        this->*r.caption = label(box, r.captionName, QString::fromLatin1(r.text), 5, r.y);
        this->*r.bar = slider(box, r.barName, 0, r.y + 16, 249, 33, 0, r.max, r.page);
        (this->*r.caption)->setBuddy(this->*r.bar);
        this->*r.value = label(box, r.valueName, QStringLiteral("0"), r.valueX, r.y);
    }
}

void EffectsDialog::connectControls()
{

    // Handlers. A failing one reports through the error box and the dialog
    // stays as it was.
    // Every change also asks for the exact preview (repeats cost nothing).
    auto guard = [this](auto f) {
        return [this, f](auto... a) {
            runCommand([&] {
                f(a...);
                requestExact();
            });
        };
    };
    EffectRenderer& fx = m_preview->engine();
    connect(m_pageList, &QListWidget::currentRowChanged, this, guard([this](int r) { showEffectPage(r); }));
    connect(m_effectTabs, &QTabBar::currentChanged, this, guard([this](int i) { showEffectTab(i); }));
    connect(m_contrastSlider, &QSlider::valueChanged, this, guard([this, &fx](int v) {
                fx.setValue(Effect::Contrast, v);
                showValue(m_contrastValue, v);
            }));
    connect(m_brightnessSlider, &QSlider::valueChanged, this, guard([this, &fx](int v) {
                fx.setValue(Effect::Brightness, v);
                showValue(m_brightnessValue, v);
            }));
    connect(m_saturationSlider, &QSlider::valueChanged, this, guard([this, &fx](int v) {
                fx.setValue(Effect::Saturation, v);
                showValue(m_saturationValue, v);
            }));
    connect(m_noiseSlider, &QSlider::valueChanged, this, guard([this, &fx](int v) {
                ++m_noiseDraw; // each move draws new noise
                fx.setValue(Effect::ColorNoise, v);
            }));
    connect(m_levelSlider, &QSlider::valueChanged, this, guard([this](int v) { levelChanged(v); }));
    connect(m_posterizeButton, &QRadioButton::toggled, this, guard([this](bool on) {
                if (on)
                    choosePosterize();
            }));
    connect(m_solarizeButton, &QRadioButton::toggled, this, guard([this](bool on) {
                if (on)
                    chooseSolarize();
            }));
    connect(m_embossBox, &QCheckBox::toggled, this,
            guard([this](bool on) { neighbourhoodChanged(m_embossBox, on ? 1 : 0); }));
    for (QSlider* s : {m_pixelateSlider, m_splitBlurSlider, m_blurSlider, m_antiAliasSlider, m_traceSlider})
        connect(s, &QSlider::valueChanged, this, guard([this, s](int v) { neighbourhoodChanged(s, v); }));
    connect(m_okButton, &QToolButton::clicked, this, guard([this](bool) { applyEffects(); }));
    connect(m_cancelButton, &QToolButton::clicked, this, guard([this](bool) { discardEffects(); }));
}

void EffectsDialog::showEffectPage(int row)
{
    m_tonePage->setVisible(row == 0);
    m_saturationPage->setVisible(row == 1);
    m_effectsPage->setVisible(row == 2);
}

void EffectsDialog::showEffectTab(int index)
{
    m_neighbourhoodBox->setVisible(index == 0);
}

void EffectsDialog::neighbourhoodChanged(QObject* changed, int value)
{
    EffectRenderer& fx = m_preview->engine();
    struct Member {
        QObject* control;
        Effect property;
        QLabel* label;
    };
    const Member group[] = {
        {m_embossBox, Effect::Emboss, nullptr},
        {m_pixelateSlider, Effect::Mosaic, m_pixelateValue},
        {m_splitBlurSlider, Effect::SplitBlur, m_splitBlurValue},
        {m_blurSlider, Effect::GaussianBlur, m_blurValue},
        {m_antiAliasSlider, Effect::AntiAlias, m_antiAliasValue},
        {m_traceSlider, Effect::Trace, m_traceValue},
    };
    const Member* self = nullptr;
    for (const Member& m : group)
        if (m.control == changed)
            self = &m;
    if (!self)
        return;

    // Unticking Emboss, and the clearing below, only set their own value.
    if (!m_clearing && !(changed == m_embossBox && value == 0)) {
        m_clearing = true;
        struct Restore {
            bool& flag;
            ~Restore() { flag = false; }
        } restore{m_clearing};
        for (const Member& m : group) {
            if (&m == self)
                continue;
            if (m.control == m_embossBox)
                m_embossBox->setChecked(false);
            else
                static_cast<QSlider*>(m.control)->setValue(0);
        }
    }
    fx.setValue(self->property, value);
    if (self->label)
        showValue(self->label, value);
}

void EffectsDialog::levelChanged(int value)
{
    if (m_posterizeButton->isChecked())
        m_preview->engine().setValue(Effect::Posterize, value);
    else
        m_preview->engine().setValue(Effect::Solarize, value);
}

void EffectsDialog::choosePosterize()
{
    m_preview->engine().setValue(Effect::Posterize, m_levelSlider->value());
}

void EffectsDialog::chooseSolarize()
{
    m_preview->engine().setValue(Effect::Solarize, m_levelSlider->value());
}

std::vector<EffectSetting> EffectsDialog::currentSettings() const
{
    using P = Effect;
    std::vector<EffectSetting> s = {
        {P::Contrast, m_contrastSlider->value()},
        {P::Brightness, m_brightnessSlider->value()},
        {P::Saturation, m_saturationSlider->value()},
        {P::ColorNoise, m_noiseSlider->value()},
        {m_posterizeButton->isChecked() ? P::Posterize : P::Solarize, m_levelSlider->value()},
    };
    if (m_embossBox->isChecked())
        s.push_back({P::Emboss, 1});
    const std::pair<QSlider*, P> group[] = {{m_pixelateSlider, P::Mosaic},
                                            {m_splitBlurSlider, P::SplitBlur},
                                            {m_blurSlider, P::GaussianBlur},
                                            {m_antiAliasSlider, P::AntiAlias},
                                            {m_traceSlider, P::Trace}};
    for (const auto& [bar, p] : group)
        if (bar->value() != 0)
            s.push_back({p, bar->value()});
    return s;
}

const Bitmap24* EffectsDialog::renderFullSize()
{
    if (m_failed || m_source.isEmpty())
        return nullptr;
    if (!m_previewReduced)
        return &m_preview->engine().rendered();
    requestExact();
    struct WaitCursor {
        WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
        ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    };
    const Bitmap24* full = nullptr;
    {
        const WaitCursor busy;
        full = m_full->result();
    }
    if (full)
        return full;
    if (!m_full->error().isEmpty()) {
        // Failed on the worker, not told yet: this is the one message.
        m_failed = true;
        m_preview->engine().clearPictureOriginal();
        throw AppError(m_full->error());
    }
    return nullptr;
}

void EffectsDialog::requestExact()
{
    if (!m_previewReduced || m_failed || m_full->source().isEmpty())
        return;
    FullSizeRender::Values values{};
    for (const EffectSetting& s : currentSettings())
        values[std::size_t(s.effect)] = s.value;
    m_full->request(values, m_noiseDraw, m_preview->size() * m_preview->devicePixelRatioF());
}

void EffectsDialog::pictureFailed(const QString& text)
{
    if (m_failed)
        return;
    m_failed = true;
    m_preview->engine().clearPictureOriginal();
    reportError(text);
}

void EffectsDialog::activate(bool showing)
{
    const Picture picture = m_currentPicture();
    if (!showing && picture.sharesDataWith(m_source))
        return;
    // Nothing of an earlier picture stays behind, whatever happens below.
    EffectRenderer& fx = m_preview->engine();
    m_source = picture;
    m_failed = false;
    m_previewReduced = false;
    m_full->clear();
    fx.clearPictureOriginal();
    m_preview->setColorSpace(picture.colorSpace());
    if (picture.isEmpty())
        return;
    m_previewReduced = qint64(picture.width()) * picture.height() > PreviewMaxPixels;
    try {
        if (!m_previewReduced) {
            fx.setPictureOriginal(picture.toBitmap24());
            return;
        }
        // The stand-in: a reduced copy, decoded at a reduced scale where
        // the codec can, shown while the worker renders the full picture.
        const QSize box = picture.width() >= picture.height() ? QSize(640, 480) : QSize(480, 640);
        fx.setPictureOriginal(Bitmap24::fromImage(picture.reducedTo(box)));
    } catch (...) {
        m_failed = true;
        fx.clearPictureOriginal();
        throw;
    }
    m_full->setSource(picture);
    requestExact();
}

void EffectsDialog::setAllToZero(bool rizeLast)
{
    m_contrastSlider->setValue(0);
    m_brightnessSlider->setValue(0);
    m_saturationSlider->setValue(0);
    m_embossBox->setChecked(false);
    m_pixelateSlider->setValue(0);
    m_splitBlurSlider->setValue(0);
    m_blurSlider->setValue(0);
    m_antiAliasSlider->setValue(0);
    m_traceSlider->setValue(0);
    if (rizeLast) {
        m_noiseSlider->setValue(0);
        m_levelSlider->setValue(0);
    } else {
        m_levelSlider->setValue(0);
        m_noiseSlider->setValue(0);
    }
}

void EffectsDialog::applyEffects()
{
    if (m_allPictures->isChecked()) {
        if (!applyToAll())
            return;
    } else {
        applyToCurrent();
    }
    m_full->clear();
    setAllToZero(true);
    done(QDialog::Accepted);
}

void EffectsDialog::discardEffects()
{
    m_full->clear();
    setAllToZero(false);
    m_preview->engine().resetEffects();
    done(QDialog::Rejected);
}

void EffectsDialog::reject()
{
    runCommand([this] { discardEffects(); });
}

bool EffectsDialog::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show: {
        // Centred on the screen at every showing.
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
        runCommand([this] { activate(); });
        m_activatedByShow = true;
        break;
    }
    case QEvent::WindowActivate:
        if (m_activatedByShow)
            m_activatedByShow = false;
        else
            runCommand([this] { activate(false); });
        break;
    case QEvent::Hide:
        m_activatedByShow = false;
        break;
    default:
        break;
    }
    return QDialog::event(event);
}

bool EffectsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel) {
        // A slider takes wheel steps only while it has the keyboard focus;
        // elsewhere a notch must not change an effect by accident, and it
        // scrolls the page the slider is on.
        auto* bar = qobject_cast<QSlider*>(watched);
        if (bar && !bar->hasFocus()) {
            for (QWidget* w = bar->parentWidget(); w && w != this; w = w->parentWidget()) {
                if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
                    QCoreApplication::sendEvent(area->verticalScrollBar(), event);
                    break;
                }
            }
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            runCommand([this] { applyEffects(); });
            return true;
        }
        if (key == Qt::Key_Escape) {
            runCommand([this] { discardEffects(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
