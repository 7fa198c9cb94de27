#include "ui/settings/SettingsDialog.h"

#include "core/Errors.h"
#include "core/TextEncoding.h"
#include "platform/DataFolder.h"
#include "ui/common/Dialogs.h"
#include "platform/SystemColors.h"
#include "settings/IniFile.h"
#include "settings/SettingsTarget.h"
#include "ui/common/UiTextWidgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSlider>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTabBar>
#include <QToolButton>

namespace {

const QString FontPreview = QStringLiteral("Font Preview");

template <class W> W* make(QWidget* parent, const char* name, int x, int y, int w, int h)
{
    auto* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y, int w)
{
    auto* l = make<QLabel>(parent, name, x, y, w, 16);
    l->setText(text);
    return l;
}

// A check box whose caption wraps onto more lines instead of being cut off.
class WrappingCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter p(this);
        QStyleOptionButton opt;
        initStyleOption(&opt);
        const QString caption = opt.text;
        opt.text.clear();
        p.drawControl(QStyle::CE_CheckBox, opt);
        opt.text = caption;
        const QRect r = style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, this);
        p.drawItemText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic,
                       palette(), isEnabled(), caption, QPalette::WindowText);
    }
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// The dialog's small glyphs, drawn here so they need no image files.
QIcon glyph(const char* kind)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(40, 52, 86), accent(214, 120, 32);
    const QByteArray k(kind);
    if (k == "main") { // a small window
        p.setPen(QPen(ink, 1.2));
        p.setBrush(QColor(250, 250, 246));
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.fillRect(QRectF(2, 3, 12, 3), accent);
    } else if (k == "slides") { // a play triangle
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawPolygon(QPolygonF({QPointF(4, 2), QPointF(14, 8), QPointF(4, 14)}));
    } else if (k == "font") { // a letter A
        p.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(2.5, 14), QPointF(8, 2), QPointF(13.5, 14)}));
        p.setPen(QPen(accent, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 10), QPointF(11, 10));
    } else if (k == "open") { // a folder
        p.setPen(QPen(ink, 1.1));
        p.setBrush(QColor(240, 200, 110));
        p.drawPolygon(QPolygonF({QPointF(1.5, 4), QPointF(6, 4), QPointF(7.5, 5.5), QPointF(14.5, 5.5),
                                 QPointF(14.5, 13.5), QPointF(1.5, 13.5)}));
    } else if (k == "ok") { // a tick
        p.setPen(QPen(QColor(40, 140, 60), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(2.5, 8.5), QPointF(6.5, 12.5), QPointF(13.5, 3.5)}));
    }
    return QIcon(pm);
}

QIcon swatch(const QColor& color)
{
    QPixmap p(16, 12);
    p.fill(color);
    return QIcon(p);
}

} // namespace

SettingsDialog::SettingsDialog(SettingsTarget* target, const QString& settingsPath, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_target(target),
      m_path(settingsPath)
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings..."));
    setModal(false);
    setFixedSize(386, 318);
    // The design's 8-point dialog font; the desktop's default is too wide
    // for the fixed layout.
    QFont base(QStringLiteral("DejaVu Sans"));
    base.setPixelSize(11);
    setFont(base);
    buildControls();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    buildContents();
}

SettingsDialog::~SettingsDialog()
{
    try {
        saveSettings();
    } catch (const AppError& e) {
        dialogs().error(nullptr, e.text());
    }
}

void SettingsDialog::buildControls()
{
    TabControl1 = make<QTabBar>(this, "TabControl1", 4, 4, 378, 26);
    TabControl1->setShape(QTabBar::RoundedNorth);
    TabControl1->setDrawBase(false);
    TabControl1->addTab(glyph("main"), QStringLiteral("Main"));
    TabControl1->addTab(glyph("slides"), QStringLiteral("Slide Show"));
    connect(TabControl1, &QTabBar::currentChanged, this, &SettingsDialog::TabControl1Change);

    buildMainPage();
    buildSlideShowPage();

    auto* line = make<QFrame>(this, "Bevel1", 4, 276, 378, 2);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    btnOK = make<QToolButton>(this, "btnOK", 286, 284, 92, 28);
    btnOK->setAutoRaise(true);
    btnOK->setText(QStringLiteral("    OK"));
    btnOK->setIcon(glyph("ok"));
    btnOK->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(btnOK, &QToolButton::clicked, this, &SettingsDialog::applySettings);

    // The dialog sees every key before its controls: Esc and Enter close it
    // from wherever the focus is.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

void SettingsDialog::buildMainPage()
{
    // Page "Main".
    Panel1 = make<QFrame>(this, "Panel1", 4, 32, 378, 238);
    label(Panel1, "Label5", QStringLiteral("Language:"), 8, 10, 60);
    ComboLng = make<QComboBox>(Panel1, "ComboLng", 70, 6, 108, 22);
    ComboLng->addItems({EnglishLanguage, QStringLiteral("Select Other...")});
    connect(ComboLng, &QComboBox::activated, this, &SettingsDialog::ComboLngChange);
    // The code page of text files written on Windows; empty for the locale's.
    label(Panel1, "LabelCodePage", QStringLiteral("Code page:"), 184, 10, 66);
    ComboCodePage = make<QComboBox>(Panel1, "ComboCodePage", 252, 6, 118, 22);
    ComboCodePage->setEditable(true);
    for (int page = 1250; page <= 1258; ++page)
        ComboCodePage->addItem(QStringLiteral("windows-%1").arg(page));
    ComboCodePage->lineEdit()->setPlaceholderText(QString::fromLatin1(localeCodePage()));

    buildCommentsGroup();

    auto* GroupBox2 = make<QGroupBox>(Panel1, "GroupBox2", 4, 140, 370, 76);
    GroupBox2->setTitle(QStringLiteral("Colors"));
    label(GroupBox2, "Label2", QStringLiteral("Previews panel background:"), 8, 24, 170);
    ColorBoxPrev = make<QComboBox>(GroupBox2, "ColorBoxPrev", 184, 20, 178, 22);
    label(GroupBox2, "Label3", QStringLiteral("Main image background:"), 8, 50, 170);
    ColorBoxMain = make<QComboBox>(GroupBox2, "ColorBoxMain", 184, 46, 178, 22);
    for (QComboBox* box : {ColorBoxPrev, ColorBoxMain}) {
        fillColorBox(box);
        selectColor(box, 0xFFFFFF);
        connect(box, &QComboBox::activated, this, [this, box] { ColorBoxChange(box); });
    }
    chkAutoOrient = make<QCheckBox>(Panel1, "chkAutoOrient", 12, 218, 196, 20);
    chkAutoOrient->setText(QStringLiteral("Turn camera pictures upright"));
    chkAutoOrient->setChecked(true);
    // Colour profiles converted for the screen where pictures are drawn.
    chkColorManaged = make<QCheckBox>(Panel1, "chkColorManaged", 212, 218, 158, 20);
    chkColorManaged->setText(QStringLiteral("Show true colours"));
    chkColorManaged->setChecked(true);
}

void SettingsDialog::buildCommentsGroup()
{
    auto* GroupBox1 = make<QGroupBox>(Panel1, "GroupBox1", 4, 32, 370, 106);
    GroupBox1->setTitle(QStringLiteral("Comments"));
    SpeedButton2 = make<QToolButton>(GroupBox1, "SpeedButton2", 8, 22, 200, 24);
    SpeedButton2->setAutoRaise(true);
    SpeedButton2->setIcon(glyph("font"));
    SpeedButton2->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    SpeedButton2->setText(QStringLiteral("   Choose comment's label font"));
    connect(SpeedButton2, &QToolButton::clicked, this, &SettingsDialog::chooseCommentFont);
    lblCurFont = make<QLabel>(GroupBox1, "lblCurFont", 216, 16, 145, 41);
    lblCurFont->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lblCurFont->setAlignment(Qt::AlignCenter);
    // A long comment wraps in the sample rather than losing both its ends.
    lblCurFont->setWordWrap(true);
    lblCurFont->setText(FontPreview);
    label(GroupBox1, "Label4", QStringLiteral("Comment's window transparency:"), 8, 62, 250);
    TranspBar = make<QSlider>(GroupBox1, "TranspBar", 8, 78, 354, 26);
    TranspBar->setOrientation(Qt::Horizontal);
    TranspBar->setRange(0, 255);
    TranspBar->setTickInterval(20);
    TranspBar->setTickPosition(QSlider::TicksAbove);
    TranspBar->setValue(255);
}

void SettingsDialog::buildSlideShowPage()
{
    // Page "Slide Show".
    Panel2 = make<QFrame>(this, "Panel2", 4, 32, 378, 238);
    Panel2->hide();
    auto* GroupBox3 = make<QGroupBox>(Panel2, "GroupBox3", 4, 4, 370, 200);
    label(GroupBox3, "Label1", QStringLiteral("Slide show delay, seconds:"), 8, 20, 170);
    edDelay = make<QLineEdit>(GroupBox3, "edDelay", 184, 16, 40, 22);
    // Two characters for what is typed or pasted; a longer value loaded
    // from the file stays whole (a length limit would cut it).
    edDelay->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral(".{0,2}")), edDelay));
    edDelay->setText(QStringLiteral("5"));
    edDelay->installEventFilter(this);
    chkAuto = make<WrappingCheckBox>(GroupBox3, "chkAuto", 8, 48, 354, 36);
    chkAuto->setText(QStringLiteral("Automatically switch to the Full Screen mode when slide show starts"));
    chkAuto->setChecked(true);
    chkBckgr = make<QCheckBox>(GroupBox3, "chkBckgr", 8, 92, 354, 20);
    chkBckgr->setText(QStringLiteral("Play background sound (WAV):"));
    connect(chkBckgr, &QCheckBox::toggled, this, &SettingsDialog::updateSoundControls);
    wavName = make<QLineEdit>(GroupBox3, "wavName", 8, 118, 324, 22);
    wavName->setEnabled(false);
    btnBrowse = make<QToolButton>(GroupBox3, "btnBrowse", 336, 118, 26, 22);
    btnBrowse->setAutoRaise(true);
    btnBrowse->setText(QStringLiteral("..."));
    btnBrowse->setIcon(glyph("open"));
    btnBrowse->setEnabled(false);
    connect(btnBrowse, &QToolButton::clicked, this, &SettingsDialog::chooseSoundFile);
}

void SettingsDialog::fillColorBox(QComboBox* box)
{
    for (const syscolor::NamedColor& c : syscolor::colorListEntries())
        box->addItem(swatch(syscolor::toQColor(c.value)), c.name, QVariant::fromValue(qint32(c.value)));
    box->addItem(QStringLiteral("Custom..."));
}

void SettingsDialog::selectColor(QComboBox* box, qint32 value)
{
    int index = box->findData(QVariant::fromValue(value));
    if (index < 0) {
        // A colour the list doesn't name gets an entry of its own.
        const QColor c = syscolor::toQColor(quint32(value));
        index = box->count() - 1;
        box->insertItem(index, swatch(c), c.name(QColor::HexRgb).toUpper(), QVariant::fromValue(value));
    }
    box->setCurrentIndex(index);
}

qint32 SettingsDialog::selectedColor(const QComboBox* box) const
{
    const QVariant v = box->currentData();
    return v.isValid() ? v.value<qint32>() : qint32(0xFFFFFF);
}

void SettingsDialog::ColorBoxChange(QComboBox* box)
{
    if (box->currentData().isValid())
        return;
    // "Custom...": choose any colour, starting from the one held before.
    const qint32 before =
        box->property("lastColor").isValid() ? box->property("lastColor").value<qint32>() : qint32(0xFFFFFF);
    QColor c = syscolor::toQColor(quint32(before));
    if (dialogs().chooseColor(this, c))
        selectColor(box, qint32(syscolor::fromQColor(c)));
    else
        selectColor(box, before);
}

void SettingsDialog::buildContents()
{
    const IniFile ini(m_path);
    m_values = loadSettings(ini);

    m_font = ::commentFont(m_values);
    lblCurFont->setFont(m_font);
    showFontPreview();
    m_target->setCommentFont(m_font, commentColor());

    selectColor(ColorBoxPrev, m_values.previewsColor);
    m_target->setStripColor(syscolor::toQColor(quint32(selectedColor(ColorBoxPrev))));
    selectColor(ColorBoxMain, m_values.mainColor);
    m_target->setMainColor(syscolor::toQColor(quint32(selectedColor(ColorBoxMain))));
    for (QComboBox* box : {ColorBoxPrev, ColorBoxMain}) {
        box->setProperty("lastColor", QVariant::fromValue(selectedColor(box)));
        connect(box, &QComboBox::currentIndexChanged, this, [box, this] {
            if (box->currentData().isValid())
                box->setProperty("lastColor", QVariant::fromValue(selectedColor(box)));
        });
    }

    TranspBar->setValue(m_values.alpha);
    ComboLng->setCurrentIndex(m_values.languageItem);
    ComboCodePage->setEditText(m_values.codePage);
    edDelay->setText(m_values.delay);
    chkAuto->setChecked(m_values.fullScreen);
    chkAutoOrient->setChecked(m_values.autoOrient);
    m_target->setAutoOrient(m_values.autoOrient);
    chkColorManaged->setChecked(m_values.colorManaged);
    m_target->setColorManaged(m_values.colorManaged);
    wavName->setText(m_values.sound);
    chkBckgr->setChecked(m_values.soundOn);
    updateSoundControls();
    m_target->setAppliedSettings(currentValues());

    WidgetTextSink sink({},
                        [this](ProgramText id, const QString& text) { m_target->setProgramText(id, text); });
    applyLanguage(m_values.languageSetting, sink);
}

void SettingsDialog::showFromMain()
{
    const QString shown = m_target->commentLineText();
    lblCurFont->setText(shown.isEmpty() ? FontPreview : shown);
    show();
    raise();
    activateWindow();
}

void SettingsDialog::showFontPreview()
{
    QPalette p = lblCurFont->palette();
    p.setColor(QPalette::WindowText, commentColor());
    lblCurFont->setPalette(p);
    lblCurFont->setFont(m_font);
}

void SettingsDialog::applySettings()
{
    // A name the file already held passes (the viewer reads with the
    // locale's instead); a new one must be a code page the converter knows.
    const QString codePage = ComboCodePage->currentText().trimmed();
    if (codePage != m_values.codePage && !codePage.isEmpty() && knownCodePage(codePage).isEmpty()) {
        ComboCodePage->setEditText(m_values.codePage);
        dialogs().error(this, QStringLiteral("Unknown code page \"%1\"").arg(codePage));
        return;
    }
    if (codePage != m_values.codePage) {
        m_values.codePage = codePage;
        setLegacyCodePage(codePage);
    }
    const QColor color = commentColor();
    m_target->setCommentFont(m_font, color);
    m_target->setCommentsWindow(m_font, color, alphaForSlider(TranspBar->value()));
    m_target->setMainColor(syscolor::toQColor(quint32(selectedColor(ColorBoxMain))));
    m_target->setStripColor(syscolor::toQColor(quint32(selectedColor(ColorBoxPrev))));
    m_target->setAutoOrient(chkAutoOrient->isChecked());
    m_target->setColorManaged(chkColorManaged->isChecked());
    m_target->setAppliedSettings(currentValues());
    hide();
}

void SettingsDialog::TabControl1Change(int index)
{
    Panel1->setVisible(index == 0);
    Panel2->setVisible(index == 1);
}

void SettingsDialog::chooseCommentFont()
{
    QFont font = m_font;
    const QColor before = commentColor();
    QColor color = before;
    if (!dialogs().chooseFont(this, font, color))
        return;
    if (font.pointSize() > 20)
        font.setPointSize(limitChosenFontSize(font.pointSize()));
    m_font = font;
    ::setCommentFont(m_values, font);
    // An unchanged colour keeps following the desktop's system colour.
    if (color != before)
        m_values.fontColor = qint32(syscolor::fromQColor(color));
    showFontPreview();
}

void SettingsDialog::updateSoundControls()
{
    const bool on = chkBckgr->isChecked();
    wavName->setEnabled(on);
    btnBrowse->setEnabled(on);
}

void SettingsDialog::chooseSoundFile()
{
    const QString file = dialogs().openFile(this, QStringLiteral("WAV Files|*.wav"), QString());
    if (!file.isEmpty())
        wavName->setText(file);
}

void SettingsDialog::ComboLngChange(int index)
{
    if (index == 1) {
        const QString file =
            dialogs().openFile(this, QStringLiteral("Pictavo Language files (*.PVL)|*.PVL"),
                               dataFolder().path + QStringLiteral("/lang")); // where ours are shipped
        if (!file.isEmpty())
            m_values.languageSetting = file;
        else
            ComboLng->setCurrentIndex(0);
    }
    dialogs().information(this, m_target->programText(ProgramText::RestartMessage));
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            applySettings();
            return true;
        }
        // Keys that type nothing (arrows, Home, End) keep moving the cursor.
        if (watched == edDelay && (!key->text().isEmpty() || key->key() == Qt::Key_Delete) &&
            !delayKeyAccepted(key->key(), key->modifiers()))
            return true;
        // A digit typed into a full box, also one loaded longer than two.
        if (watched == edDelay && key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9 &&
            edDelay->text().size() - edDelay->selectedText().size() >= 2)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void SettingsDialog::closeEvent(QCloseEvent* event)
{
    // There is no cancel: a window manager that draws a close box anyway
    // gets the same as OK.
    event->ignore();
    applySettings();
}

void SettingsDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        applySettings();
        return;
    }
    QDialog::keyPressEvent(event);
}

QString SettingsDialog::delayText() const
{
    return edDelay->text();
}
bool SettingsDialog::autoFullScreen() const
{
    return chkAuto->isChecked();
}
bool SettingsDialog::backgroundSound() const
{
    return chkBckgr->isChecked();
}
QString SettingsDialog::wavFile() const
{
    return wavName->text();
}
QColor SettingsDialog::commentColor() const
{
    return syscolor::toQColor(quint32(m_values.fontColor));
}
int SettingsDialog::transparency() const
{
    return TranspBar->value();
}

SettingsValues SettingsDialog::currentValues() const
{
    SettingsValues v = m_values;
    ::setCommentFont(v, m_font);
    v.fontColor = m_values.fontColor;
    v.previewsColor = selectedColor(ColorBoxPrev);
    v.mainColor = selectedColor(ColorBoxMain);
    v.alpha = TranspBar->value();
    v.languageItem = ComboLng->currentIndex();
    v.delay = edDelay->text();
    v.fullScreen = chkAuto->isChecked();
    v.autoOrient = chkAutoOrient->isChecked();
    v.colorManaged = chkColorManaged->isChecked();
    v.sound = wavName->text();
    v.soundOn = chkBckgr->isChecked();
    return v;
}

void SettingsDialog::saveSettings()
{
    IniFile ini(m_path);
    storeSettings(ini, currentValues());
    ini.save();
}
