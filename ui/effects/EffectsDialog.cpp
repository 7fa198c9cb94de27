#include "ui/effects/EffectsDialog.h"

#include "ui/common/RunCommand.h"
#include "viewer/ViewerSession.h"
#include "effects/FullSizeRender.h"
#include "ui/effects/EffectPreview.h"
#include "effects/PictureWrite.h"
#include "core/Errors.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
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
            ImgPreview->showScaled(m_source.inDisplayColors(image));
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
    ListEffects = make<QListWidget>(this, "ListEffects", 8, 8, 169, 313);
    QFont listFont(QStringLiteral("Verdana"));
    listFont.setPixelSize(12);
    ListEffects->setFont(listFont);
    for (const char* text : {"Brightness & Contrast", "Saturation", "Effects"}) {
        auto* item = new QListWidgetItem(QString::fromLatin1(text), ListEffects);
        item->setSizeHint(QSize(0, 14));
    }
    ListEffects->setUniformItemSizes(true);

    auto page = [this](const char* name) {
        auto* p = make<QFrame>(this, name, 184, 8, 289, 161);
        p->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
        return p;
    };
    Panel0 = page("Panel0");
    Panel1 = page("Panel1");
    Panel2 = page("Panel2");
    Panel1->hide();
    Panel2->hide();

    Shape1 = make<QFrame>(this, "Shape1", 184, 172, 289, 149);
    Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
    ImgPreview = make<EffectPreview>(this, "ImgPreview", 187, 174, 283, 145);
    ImgPreview->engine().setStretch(true);

    CheckAll = make<QCheckBox>(this, "CheckAll", 9, 329, 288, 22);
    CheckAll->setText(QStringLiteral("Apply for all images in collection"));
    butApply = flatButton(this, "butApply", QStringLiteral("   OK"), 320, 328, 73, 22);
    btnClose = flatButton(this, "btnClose", QStringLiteral("Cancel"), 400, 328, 73, 22);

    createTonePages();
    createEffectsPage();
    ListEffects->setCurrentRow(0);
    connectControls();
}

void EffectsDialog::createTonePages()
{
    // Brightness & Contrast.
    Label1 = label(Panel0, "Label1", QStringLiteral("Contrast:"), 8, 8);
    ContrastBar = slider(Panel0, "ContrastBar", 8, 24, 273, 33, -255, 255, 30);
    lblContrast = label(Panel0, "lblContrast", QStringLiteral("0"), 240, 8);
    Shape2 = zeroMark(Panel0, "Shape2", ContrastBar);
    Label2 = label(Panel0, "Label2", QStringLiteral("Brightness:"), 8, 72);
    BrightBar = slider(Panel0, "BrightBar", 8, 88, 273, 33, -255, 255, 30);
    lblBright = label(Panel0, "lblBright", QStringLiteral("0"), 240, 72);
    Shape4 = zeroMark(Panel0, "Shape4", BrightBar);

    // Saturation.
    Label3 = label(Panel1, "Label3", QStringLiteral("Saturation:"), 8, 32);
    SaturationBar = slider(Panel1, "SaturationBar", 8, 49, 273, 32, -255, 255, 30);
    lblSaturation = label(Panel1, "lblSaturation", QStringLiteral("0"), 240, 32);
    Shape3 = zeroMark(Panel1, "Shape3", SaturationBar);
}

void EffectsDialog::createEffectsPage()
{
    // Effects: a tab bar over the neighbourhood group's scroll box, which
    // covers the posterize, solorize and noise controls.
    TabControl1 = make<QTabBar>(Panel2, "TabControl1", 2, 2, 286, 158);
    TabControl1->setDrawBase(false);
    TabControl1->setExpanding(false);
    TabControl1->setUsesScrollButtons(false);
    TabControl1->addTab(QStringLiteral("Effects"));
    TabControl1->addTab(QStringLiteral("Other"));
    TabControl1->setStyleSheet(QStringLiteral(
        "QTabBar::tab { border: 1px solid transparent; border-radius: 2px; padding: 2px 8px; margin: 1px; }"
        "QTabBar::tab:selected { border-color: palette(dark); background: palette(button); }"
        "QTabBar::tab:hover { border-color: palette(highlight); }"));

    rPosterize = make<QRadioButton>(TabControl1, "rPosterize", 8, 32, 120, 17);
    rPosterize->setText(QStringLiteral("Posterize:"));
    rPosterize->setChecked(true);
    rSolorize = make<QRadioButton>(TabControl1, "rSolorize", 136, 32, 120, 17);
    rSolorize->setText(QStringLiteral("Solorize:"));
    RizeBar = slider(TabControl1, "RizeBar", 8, 48, 265, 41, 0, 255, 15);
    Label9 = label(TabControl1, "Label9", QStringLiteral("Noise:"), 8, 88);
    NoiseBar = slider(TabControl1, "NoiseBar", 8, 104, 265, 41, 0, 255, 15);

    ScrollBox1 = make<QScrollArea>(TabControl1, "ScrollBox1", -2, 25, 285, 131);
    ScrollBox1->setFrameStyle(QFrame::NoFrame);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("ScrollBox1Contents"));
    box->setFixedSize(285 - ScrollBox1->verticalScrollBar()->sizeHint().width(), 303);
    ScrollBox1->setWidget(box);
    ScrollBox1->raise();
    createNeighbourhoodRows(box);
}

void EffectsDialog::createNeighbourhoodRows(QWidget* box)
{
    chkEmboss = make<QCheckBox>(box, "chkEmboss", 4, 4, 120, 17);
    chkEmboss->setText(QStringLiteral("Emboss"));
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
        {&D::Label4, "Label4", "Pixelate:", 28, &D::MosaicBar, "MosaicBar", 50, 2, &D::lblMosaic, "lblMosaic", 215},
        {&D::Label5, "Label5", "Split Blur:", 84, &D::SplitBlurBar, "SplitBlurBar", 255, 10, &D::lblSplitBlur,
         "lblSplitBlur", 215},
        {&D::Label6, "Label6", "Gaussian Blur:", 140, &D::BlurBar, "BlurBar", 50, 2, &D::lblBlur, "lblBlur", 216},
        {&D::Label7, "Label7", "Anti Aliasing:", 196, &D::AntiBar, "AntiBar", 50, 2, &D::lblAnti, "lblAnti", 216},
        {&D::Label8, "Label8", "Tracing:", 254, &D::TraceBar, "TraceBar", 2, 1, &D::lblTrace, "lblTrace", 217},
    };
    for (const Row& r : rows) {
        this->*r.caption = label(box, r.captionName, QString::fromLatin1(r.text), 5, r.y);
        this->*r.bar = slider(box, r.barName, 0, r.y + 16, 249, 33, 0, r.max, r.page);
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
    EffectRenderer& fx = ImgPreview->engine();
    connect(ListEffects, &QListWidget::currentRowChanged, this,
            guard([this](int r) { showEffectPage(r); }));
    connect(TabControl1, &QTabBar::currentChanged, this, guard([this](int i) { TabControl1Change(i); }));
    connect(ContrastBar, &QSlider::valueChanged, this, guard([this, &fx](int v) {
                fx.setPicContrast(v);
                showValue(lblContrast, v);
            }));
    connect(BrightBar, &QSlider::valueChanged, this, guard([this, &fx](int v) {
                fx.setPicBrightness(v);
                showValue(lblBright, v);
            }));
    connect(SaturationBar, &QSlider::valueChanged, this, guard([this, &fx](int v) {
                fx.setPicSaturation(v);
                showValue(lblSaturation, v);
            }));
    connect(NoiseBar, &QSlider::valueChanged, this, guard([this, &fx](int v) {
                ++m_noiseDraw; // each move draws new noise
                fx.setPicColorNoise(v);
            }));
    connect(RizeBar, &QSlider::valueChanged, this, guard([this](int v) { RizeBarChange(v); }));
    connect(rPosterize, &QRadioButton::toggled, this, guard([this](bool on) {
                if (on)
                    choosePosterize();
            }));
    connect(rSolorize, &QRadioButton::toggled, this, guard([this](bool on) {
                if (on)
                    chooseSolarize();
            }));
    connect(chkEmboss, &QCheckBox::toggled, this,
            guard([this](bool on) { neighbourhoodChanged(chkEmboss, on ? 1 : 0); }));
    for (QSlider* s : {MosaicBar, SplitBlurBar, BlurBar, AntiBar, TraceBar})
        connect(s, &QSlider::valueChanged, this, guard([this, s](int v) { neighbourhoodChanged(s, v); }));
    connect(butApply, &QToolButton::clicked, this, guard([this](bool) { applyEffects(); }));
    connect(btnClose, &QToolButton::clicked, this, guard([this](bool) { discardEffects(); }));
}

void EffectsDialog::showEffectPage(int row)
{
    Panel0->setVisible(row == 0);
    Panel1->setVisible(row == 1);
    Panel2->setVisible(row == 2);
}

void EffectsDialog::TabControl1Change(int index)
{
    ScrollBox1->setVisible(index == 0);
}

void EffectsDialog::neighbourhoodChanged(QObject* changed, int value)
{
    EffectRenderer& fx = ImgPreview->engine();
    struct Member {
        QObject* control;
        EffectProperty property;
        QLabel* label;
    };
    const Member group[] = {
        {chkEmboss, EffectProperty::PicEmboss, nullptr},
        {MosaicBar, EffectProperty::PicMosaic, lblMosaic},
        {SplitBlurBar, EffectProperty::PicSplitBlur, lblSplitBlur},
        {BlurBar, EffectProperty::PicGaussianBlur, lblBlur},
        {AntiBar, EffectProperty::PicAntiAlias, lblAnti},
        {TraceBar, EffectProperty::PicTrace, lblTrace},
    };
    const Member* self = nullptr;
    for (const Member& m : group)
        if (m.control == changed)
            self = &m;
    if (!self)
        return;

    // Unticking Emboss, and the clearing below, only set their own value.
    if (!m_clearing && !(changed == chkEmboss && value == 0)) {
        m_clearing = true;
        struct Restore {
            bool& flag;
            ~Restore() { flag = false; }
        } restore{m_clearing};
        for (const Member& m : group) {
            if (&m == self)
                continue;
            if (m.control == chkEmboss)
                chkEmboss->setChecked(false);
            else
                static_cast<QSlider*>(m.control)->setValue(0);
        }
    }
    fx.setProperty(self->property, value);
    if (self->label)
        showValue(self->label, value);
}

void EffectsDialog::RizeBarChange(int value)
{
    if (rPosterize->isChecked())
        ImgPreview->engine().setPicPosterize(value);
    else
        ImgPreview->engine().setPicSolorize(value);
}

void EffectsDialog::choosePosterize()
{
    ImgPreview->engine().setPicPosterize(RizeBar->value());
}

void EffectsDialog::chooseSolarize()
{
    ImgPreview->engine().setPicSolorize(RizeBar->value());
}

std::vector<EffectSetting> EffectsDialog::currentSettings() const
{
    using P = EffectProperty;
    std::vector<EffectSetting> s = {
        {P::PicContrast, ContrastBar->value()},
        {P::PicBrightness, BrightBar->value()},
        {P::PicSaturation, SaturationBar->value()},
        {P::PicColorNoise, NoiseBar->value()},
        {rPosterize->isChecked() ? P::PicPosterize : P::PicSolorize, RizeBar->value()},
    };
    if (chkEmboss->isChecked())
        s.push_back({P::PicEmboss, 1});
    const std::pair<QSlider*, P> group[] = {{MosaicBar, P::PicMosaic},
                                            {SplitBlurBar, P::PicSplitBlur},
                                            {BlurBar, P::PicGaussianBlur},
                                            {AntiBar, P::PicAntiAlias},
                                            {TraceBar, P::PicTrace}};
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
        return &ImgPreview->engine().Picture();
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
        ImgPreview->engine().clearPictureOriginal();
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
        values[std::size_t(s.property)] = s.value;
    m_full->request(values, m_noiseDraw, ImgPreview->size() * ImgPreview->devicePixelRatioF());
}

void EffectsDialog::pictureFailed(const QString& text)
{
    if (m_failed)
        return;
    m_failed = true;
    ImgPreview->engine().clearPictureOriginal();
    reportError(text);
}

void EffectsDialog::FormActivate(bool showing)
{
    const Picture picture = m_currentPicture();
    if (!showing && picture.sharesDataWith(m_source))
        return;
    // Nothing of an earlier picture stays behind, whatever happens below.
    EffectRenderer& fx = ImgPreview->engine();
    m_source = picture;
    m_failed = false;
    m_previewReduced = false;
    m_full->clear();
    fx.clearPictureOriginal();
    ImgPreview->setColorSpace(picture.colorSpace());
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
    ContrastBar->setValue(0);
    BrightBar->setValue(0);
    SaturationBar->setValue(0);
    chkEmboss->setChecked(false);
    MosaicBar->setValue(0);
    SplitBlurBar->setValue(0);
    BlurBar->setValue(0);
    AntiBar->setValue(0);
    TraceBar->setValue(0);
    if (rizeLast) {
        NoiseBar->setValue(0);
        RizeBar->setValue(0);
    } else {
        RizeBar->setValue(0);
        NoiseBar->setValue(0);
    }
}

void EffectsDialog::applyEffects()
{
    if (CheckAll->isChecked())
        applyToAll();
    else
        applyToCurrent();
    m_full->clear();
    setAllToZero(true);
    done(QDialog::Accepted);
}

void EffectsDialog::discardEffects()
{
    m_full->clear();
    setAllToZero(false);
    ImgPreview->engine().ResetEffects();
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
        runCommand([this] { FormActivate(); });
        m_activatedByShow = true;
        break;
    }
    case QEvent::WindowActivate:
        if (m_activatedByShow)
            m_activatedByShow = false;
        else
            runCommand([this] { FormActivate(false); });
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
