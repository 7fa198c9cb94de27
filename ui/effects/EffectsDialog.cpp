#include "ui/effects/EffectsDialog.h"

#include "core/Errors.h"
#include "effects/FullSizeRender.h"
#include "effects/PictureWrite.h"
#include "settings/UiText.h"
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

// An effect's slider, with the range and ticks the effect table gives it.
QSlider* slider(QWidget* parent, const char* name, Effect e, int x, int y, int w, int h)
{
    const EffectDialogControl& c = effectInfo(e).dialog;
    auto* s = make<QSlider>(parent, name, x, y, w, h);
    s->setOrientation(Qt::Horizontal);
    s->setRange(c.min, c.max);
    s->setTickPosition(QSlider::TicksAbove);
    s->setTickInterval(c.tick);
    s->setPageStep(c.tick);
    return s;
}

// An effect's caption, named and worded as its interface text entry.
QLabel* caption(QWidget* parent, Effect e, int x, int y)
{
    const UiTextEntry* entry = uiTextEntry(effectInfo(e).dialog.caption);
    return label(parent, entry->targets.front().element, QString::fromUtf8(entry->english), x, y);
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

EffectsDialog::EffectsDialog(ViewerSession& session, DialogProvider& dialogs,
                             std::function<Picture()> currentPicture, QWidget* parent)
    : QDialog(parent), m_session(&session), m_dialogs(dialogs), m_currentPicture(std::move(currentPicture))
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
            m_preview->showScaled(m_session->colorManaged() ? m_source.inDisplayColors(image) : image);
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
    listEffectControls();
    m_pageList->setCurrentRow(0);
    connectControls();
}

void EffectsDialog::createTonePages()
{
    // Brightness & Contrast.
    m_contrastCaption = caption(m_tonePage, Effect::Contrast, 8, 8);
    m_contrastSlider = slider(m_tonePage, "ContrastBar", Effect::Contrast, 8, 24, 273, 33);
    m_contrastCaption->setBuddy(m_contrastSlider); // also the name a screen reader says
    m_contrastValue = label(m_tonePage, "lblContrast", QStringLiteral("0"), 240, 8);
    m_contrastZero = zeroMark(m_tonePage, "Shape2", m_contrastSlider);
    m_brightnessCaption = caption(m_tonePage, Effect::Brightness, 8, 72);
    m_brightnessSlider = slider(m_tonePage, "BrightBar", Effect::Brightness, 8, 88, 273, 33);
    m_brightnessCaption->setBuddy(m_brightnessSlider);
    m_brightnessValue = label(m_tonePage, "lblBright", QStringLiteral("0"), 240, 72);
    m_brightnessZero = zeroMark(m_tonePage, "Shape4", m_brightnessSlider);

    // Saturation.
    m_saturationCaption = caption(m_saturationPage, Effect::Saturation, 8, 32);
    m_saturationSlider = slider(m_saturationPage, "SaturationBar", Effect::Saturation, 8, 49, 273, 32);
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
    m_posterizeButton->setText(
        QString::fromUtf8(uiTextEntry(effectInfo(Effect::Posterize).dialog.caption)->english));
    m_posterizeButton->setChecked(true);
    m_solarizeButton = make<QRadioButton>(m_effectTabs, "rSolorize", 136, 32, 120, 17);
    m_solarizeButton->setText(
        QString::fromUtf8(uiTextEntry(effectInfo(Effect::Solarize).dialog.caption)->english));
    // One slider for the two levels, with posterize's range.
    m_levelSlider = slider(m_effectTabs, "RizeBar", Effect::Posterize, 8, 48, 265, 41);
    m_noiseCaption = caption(m_effectTabs, Effect::ColorNoise, 8, 88);
    m_noiseSlider = slider(m_effectTabs, "NoiseBar", Effect::ColorNoise, 8, 104, 265, 41);
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
    m_embossBox->setText(QString::fromUtf8(uiTextEntry(effectInfo(Effect::Emboss).dialog.caption)->english));
    // The neighbourhood effects' rows: caption, slider, value.
    struct Row {
        Effect effect;
        QLabel* EffectsDialog::*caption;
        int y;
        QSlider* EffectsDialog::*bar;
        const char* barName;
        QLabel* EffectsDialog::*value;
        const char* valueName;
        int valueX;
    };
    using D = EffectsDialog;
    const Row rows[] = {
        {Effect::Mosaic, &D::m_pixelateCaption, 28, &D::m_pixelateSlider, "MosaicBar", &D::m_pixelateValue,
         "lblMosaic", 215},
        {Effect::SplitBlur, &D::m_splitBlurCaption, 84, &D::m_splitBlurSlider, "SplitBlurBar",
         &D::m_splitBlurValue, "lblSplitBlur", 215},
        {Effect::GaussianBlur, &D::m_blurCaption, 140, &D::m_blurSlider, "BlurBar", &D::m_blurValue,
         "lblBlur", 216},
        {Effect::AntiAlias, &D::m_antiAliasCaption, 196, &D::m_antiAliasSlider, "AntiBar",
         &D::m_antiAliasValue, "lblAnti", 216},
        {Effect::Trace, &D::m_traceCaption, 254, &D::m_traceSlider, "TraceBar", &D::m_traceValue, "lblTrace",
         217},
    };
    for (const Row& r : rows) {
        this->*r.caption = caption(box, r.effect, 5, r.y);
        this->*r.bar = slider(box, r.barName, r.effect, 0, r.y + 16, 249, 33);
        (this->*r.caption)->setBuddy(this->*r.bar);
        this->*r.value = label(box, r.valueName, QStringLiteral("0"), r.valueX, r.y);
    }
}

void EffectsDialog::listEffectControls()
{
    // In the form's order, which Reset follows.
    m_effectControls = {
        {Effect::Contrast, m_contrastSlider, m_contrastValue},
        {Effect::Brightness, m_brightnessSlider, m_brightnessValue},
        {Effect::Saturation, m_saturationSlider, m_saturationValue},
        {Effect::Emboss, nullptr, nullptr, m_embossBox},
        {Effect::Mosaic, m_pixelateSlider, m_pixelateValue},
        {Effect::SplitBlur, m_splitBlurSlider, m_splitBlurValue},
        {Effect::GaussianBlur, m_blurSlider, m_blurValue},
        {Effect::AntiAlias, m_antiAliasSlider, m_antiAliasValue},
        {Effect::Trace, m_traceSlider, m_traceValue},
        {Effect::ColorNoise, m_noiseSlider, nullptr},
    };
}

void EffectsDialog::connectControls()
{

    // Handlers. A failing one reports through the error box and the dialog
    // stays as it was.
    // Every change also asks for the exact preview (repeats cost nothing).
    auto guard = [this](auto f) {
        return [this, f](auto... a) {
            runCommand(m_dialogs, [&] {
                f(a...);
                requestExact();
            });
        };
    };
    connect(m_pageList, &QListWidget::currentRowChanged, this, guard([this](int r) { showEffectPage(r); }));
    connect(m_effectTabs, &QTabBar::currentChanged, this, guard([this](int i) { showEffectTab(i); }));
    for (const EffectControl& c : m_effectControls) {
        if (c.box) {
            connect(c.box, &QCheckBox::toggled, this,
                    guard([this, &c](bool on) { effectChanged(c, on ? 1 : 0); }));
            continue;
        }
        connect(c.bar, &QSlider::valueChanged, this, guard([this, &c](int v) { effectChanged(c, v); }));
    }
    connect(m_levelSlider, &QSlider::valueChanged, this, guard([this](int v) { levelChanged(v); }));
    connect(m_posterizeButton, &QRadioButton::toggled, this, guard([this](bool on) {
                if (on)
                    choosePosterize();
            }));
    connect(m_solarizeButton, &QRadioButton::toggled, this, guard([this](bool on) {
                if (on)
                    chooseSolarize();
            }));
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

void EffectsDialog::effectChanged(const EffectControl& changed, int value)
{
    const EffectStep step = effectInfo(changed.effect).step;
    if (step == EffectStep::Noise)
        ++m_noiseDraw; // each move draws new noise
    // The others of an exclusive step go to zero first; unticking a box,
    // and that clearing itself, only set their own value.
    if (isExclusiveStep(step) && !m_clearing && !(changed.box && value == 0)) {
        m_clearing = true;
        struct Restore {
            bool& flag;
            ~Restore() { flag = false; }
        } restore{m_clearing};
        for (const EffectControl& c : m_effectControls) {
            if (&c == &changed || effectInfo(c.effect).step != step)
                continue;
            if (c.box)
                c.box->setChecked(false);
            else
                c.bar->setValue(0);
        }
    }
    m_preview->engine().setValue(changed.effect, value);
    if (changed.value)
        showValue(changed.value, value);
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
    // Of an exclusive step only the control that is set, so no setting
    // clears another.
    std::vector<EffectSetting> s;
    for (const EffectControl& c : m_effectControls) {
        const int value = c.box ? int(c.box->isChecked()) : c.bar->value();
        if (value != 0 || !isExclusiveStep(effectInfo(c.effect).step))
            s.push_back({c.effect, value});
    }
    s.push_back(
        {m_posterizeButton->isChecked() ? Effect::Posterize : Effect::Solarize, m_levelSlider->value()});
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
    reportError(m_dialogs, text);
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
    // Values are drawn as stored where the viewer converts no colours.
    m_preview->setColorSpace(m_session->colorManaged() ? picture.colorSpace() : QColorSpace());
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
    for (const EffectControl& c : m_effectControls) {
        if (c.box)
            c.box->setChecked(false);
        else if (c.bar != m_noiseSlider || rizeLast)
            c.bar->setValue(0);
    }
    m_levelSlider->setValue(0);
    m_noiseSlider->setValue(0);
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
    runCommand(m_dialogs, [this] { discardEffects(); });
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
        runCommand(m_dialogs, [this] { activate(); });
        m_activatedByShow = true;
        break;
    }
    case QEvent::WindowActivate:
        if (m_activatedByShow)
            m_activatedByShow = false;
        else
            runCommand(m_dialogs, [this] { activate(false); });
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
            runCommand(m_dialogs, [this] { applyEffects(); });
            return true;
        }
        if (key == Qt::Key_Escape) {
            runCommand(m_dialogs, [this] { discardEffects(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
