#include "ui/settings/SettingsDialog.h"

#include "core/TextEncoding.h"
#include "platform/DataFolder.h"
#include "platform/SystemColors.h"
#include "settings/SettingsStore.h"
#include "settings/UiText.h"
#include "ui/common/Dialogs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
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

SettingsDialog::SettingsDialog(SettingsStore& store, const UiProgramTexts& texts, DialogProvider& dialogs,
                               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_store(store),
      m_texts(texts), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings..."));
    setModal(false);
    setFixedSize(386, 340);
    // The design's 8-point dialog font; the desktop's default is too wide
    // for the fixed layout.
    QFont base(QStringLiteral("DejaVu Sans"));
    base.setPixelSize(11);
    setFont(base);
    buildControls();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    showValues();
    connectEdits();
}

void SettingsDialog::buildControls()
{
    m_pageTabs = make<QTabBar>(this, "TabControl1", 4, 4, 378, 26);
    m_pageTabs->setShape(QTabBar::RoundedNorth);
    m_pageTabs->setDrawBase(false);
    m_pageTabs->addTab(glyph("main"), QStringLiteral("Main"));
    m_pageTabs->addTab(glyph("slides"), QStringLiteral("Slide Show"));
    connect(m_pageTabs, &QTabBar::currentChanged, this, &SettingsDialog::showPage);

    buildMainPage();
    buildSlideShowPage();

    auto* line = make<QFrame>(this, "Bevel1", 4, 298, 378, 2);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    m_okButton = make<QToolButton>(this, "btnOK", 286, 306, 92, 28);
    m_okButton->setAutoRaise(true);
    m_okButton->setText(QStringLiteral("    OK"));
    m_okButton->setIcon(glyph("ok"));
    m_okButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(m_okButton, &QToolButton::clicked, this, &SettingsDialog::applySettings);

    // The dialog sees every key before its controls: Esc and Enter close it
    // from wherever the focus is.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

void SettingsDialog::buildMainPage()
{
    // Page "Main".
    m_mainPage = make<QFrame>(this, "Panel1", 4, 32, 378, 260);
    QLabel* languageLabel = label(m_mainPage, "Label5", QStringLiteral("Language:"), 8, 10, 60);
    m_languageBox = make<QComboBox>(m_mainPage, "ComboLng", 70, 6, 108, 22);
    languageLabel->setBuddy(m_languageBox); // also the name a screen reader says
    // English, the languages shipped, each by its own name, and the chooser
    // for any other file last.
    m_languageBox->addItem(EnglishLanguage);
    const QDir shipped(dataFolder().path + QStringLiteral("/lang"));
    for (const QFileInfo& file : shipped.entryInfoList({QStringLiteral("*.pvl"), QStringLiteral("*.PVL")},
                                                       QDir::Files, QDir::Name | QDir::IgnoreCase))
        m_languageBox->addItem(languageFileName(file.absoluteFilePath(), knownCodePage(m_store.values().codePage)), file.absoluteFilePath());
    m_languageBox->addItem(QStringLiteral("Select Other..."));
    connect(m_languageBox, &QComboBox::activated, this, &SettingsDialog::chooseLanguage);
    // The code page of text files written on Windows; empty for the locale's.
    QLabel* codePageLabel = label(m_mainPage, "LabelCodePage", QStringLiteral("Code page:"), 184, 10, 66);
    m_codePageBox = make<QComboBox>(m_mainPage, "ComboCodePage", 252, 6, 118, 22);
    codePageLabel->setBuddy(m_codePageBox);
    m_codePageBox->setEditable(true);
    m_codePageBox->lineEdit()->setObjectName(QStringLiteral("ComboCodePageText"));
    m_codePageBox->lineEdit()->setAccessibleName(codePageLabel->text());
    for (int page = 1250; page <= 1258; ++page)
        m_codePageBox->addItem(QStringLiteral("windows-%1").arg(page));
    m_codePageBox->lineEdit()->setPlaceholderText(QString::fromLatin1(localeCodePage()));

    buildCommentsGroup();

    auto* colorsGroup = make<QGroupBox>(m_mainPage, "GroupBox2", 4, 140, 370, 76);
    colorsGroup->setTitle(QStringLiteral("Colors"));
    QLabel* stripColorLabel =
        label(colorsGroup, "Label2", QStringLiteral("Previews panel background:"), 8, 24, 200);
    m_stripColorBox = make<QComboBox>(colorsGroup, "ColorBoxPrev", 212, 20, 150, 22);
    stripColorLabel->setBuddy(m_stripColorBox);
    QLabel* mainColorLabel =
        label(colorsGroup, "Label3", QStringLiteral("Main image background:"), 8, 50, 200);
    m_mainColorBox = make<QComboBox>(colorsGroup, "ColorBoxMain", 212, 46, 150, 22);
    mainColorLabel->setBuddy(m_mainColorBox);
    for (QComboBox* box : {m_stripColorBox, m_mainColorBox}) {
        fillColorBox(box);
        selectColor(box, 0xFFFFFF);
        connect(box, &QComboBox::activated, this, [this, box] { colorChosen(box); });
    }
    m_autoOrientBox = make<QCheckBox>(m_mainPage, "chkAutoOrient", 12, 218, 196, 20);
    m_autoOrientBox->setText(QStringLiteral("Turn camera pictures upright"));
    m_autoOrientBox->setChecked(true);
    // Colour profiles converted for the screen where pictures are drawn.
    m_colorManagedBox = make<QCheckBox>(m_mainPage, "chkColorManaged", 212, 218, 158, 20);
    m_colorManagedBox->setText(QStringLiteral("Show true colours"));
    m_colorManagedBox->setChecked(true);
    // Today's camera pictures are far larger than the window.
    m_fitPicturesBox = make<QCheckBox>(m_mainPage, "chkFitPictures", 12, 240, 358, 20);
    m_fitPicturesBox->setText(QStringLiteral("Show pictures fitted to the window"));
}

void SettingsDialog::buildCommentsGroup()
{
    auto* commentsGroup = make<QGroupBox>(m_mainPage, "GroupBox1", 4, 32, 370, 106);
    commentsGroup->setTitle(QStringLiteral("Comments"));
    m_fontButton = make<QToolButton>(commentsGroup, "SpeedButton2", 8, 22, 228, 24);
    m_fontButton->setAutoRaise(true);
    m_fontButton->setIcon(glyph("font"));
    m_fontButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_fontButton->setText(QStringLiteral("   Choose comment's label font"));
    connect(m_fontButton, &QToolButton::clicked, this, &SettingsDialog::chooseCommentFont);
    m_fontPreview = make<QLabel>(commentsGroup, "lblCurFont", 240, 16, 121, 41);
    m_fontPreview->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_fontPreview->setAlignment(Qt::AlignCenter);
    // A long comment wraps in the sample rather than losing both its ends.
    m_fontPreview->setWordWrap(true);
    m_fontPreview->setText(m_texts.FontPreviewText);
    QLabel* transparencyLabel =
        label(commentsGroup, "Label4", QStringLiteral("Comment's window transparency:"), 8, 62, 250);
    m_transparencySlider = make<QSlider>(commentsGroup, "TranspBar", 8, 78, 354, 26);
    transparencyLabel->setBuddy(m_transparencySlider);
    m_transparencySlider->setOrientation(Qt::Horizontal);
    m_transparencySlider->setRange(0, 255);
    m_transparencySlider->setTickInterval(20);
    m_transparencySlider->setTickPosition(QSlider::TicksAbove);
    m_transparencySlider->setValue(255);
}

void SettingsDialog::buildSlideShowPage()
{
    // Page "Slide Show".
    m_slideShowPage = make<QFrame>(this, "Panel2", 4, 32, 378, 260);
    m_slideShowPage->hide();
    auto* slideShowGroup = make<QGroupBox>(m_slideShowPage, "GroupBox3", 4, 4, 370, 200);
    QLabel* delayLabel =
        label(slideShowGroup, "Label1", QStringLiteral("Slide show delay, seconds:"), 8, 20, 200);
    m_delayEdit = make<QLineEdit>(slideShowGroup, "edDelay", 212, 16, 40, 22);
    delayLabel->setBuddy(m_delayEdit);
    // Two characters for what is typed or pasted; a longer value loaded
    // from the file stays whole (a length limit would cut it).
    m_delayEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral(".{0,2}")), m_delayEdit));
    m_delayEdit->setText(QStringLiteral("5"));
    m_delayEdit->installEventFilter(this);
    m_fullScreenBox = make<WrappingCheckBox>(slideShowGroup, "chkAuto", 8, 48, 354, 36);
    m_fullScreenBox->setText(
        QStringLiteral("Automatically switch to the Full Screen mode when slide show starts"));
    m_fullScreenBox->setChecked(true);
    m_soundBox = make<QCheckBox>(slideShowGroup, "chkBckgr", 8, 92, 354, 20);
    m_soundBox->setText(QStringLiteral("Play background sound (WAV):"));
    connect(m_soundBox, &QCheckBox::toggled, this, &SettingsDialog::updateSoundControls);
    m_soundEdit = make<QLineEdit>(slideShowGroup, "wavName", 8, 118, 324, 22);
    m_soundEdit->setEnabled(false);
    m_browseButton = make<QToolButton>(slideShowGroup, "btnBrowse", 336, 118, 26, 22);
    m_browseButton->setAutoRaise(true);
    m_browseButton->setText(QStringLiteral("..."));
    m_browseButton->setIcon(glyph("open"));
    m_browseButton->setEnabled(false);
    connect(m_browseButton, &QToolButton::clicked, this, &SettingsDialog::chooseSoundFile);
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

void SettingsDialog::colorChosen(QComboBox* box)
{
    if (box->currentData().isValid())
        return;
    // "Custom...": choose any colour, starting from the one held before.
    const qint32 before =
        box->property("lastColor").isValid() ? box->property("lastColor").value<qint32>() : qint32(0xFFFFFF);
    QColor c = syscolor::toQColor(quint32(before));
    if (m_dialogs.chooseColor(this, c))
        selectColor(box, qint32(syscolor::fromQColor(c)));
    else
        selectColor(box, before);
}

void SettingsDialog::showValues()
{
    const SettingsValues& v = m_store.values();
    showFontPreview();
    selectColor(m_stripColorBox, v.previewsColor);
    selectColor(m_mainColorBox, v.mainColor);
    for (QComboBox* box : {m_stripColorBox, m_mainColorBox})
        box->setProperty("lastColor", QVariant::fromValue(selectedColor(box)));
    m_transparencySlider->setValue(v.alpha);
    showLanguage(v.languageItem == 0 ? EnglishLanguage : v.languageSetting);
    m_codePageBox->setEditText(v.codePage);
    m_delayEdit->setText(v.delay);
    m_fullScreenBox->setChecked(v.fullScreen);
    m_autoOrientBox->setChecked(v.autoOrient);
    m_colorManagedBox->setChecked(v.colorManaged);
    m_fitPicturesBox->setChecked(v.fitPictures);
    m_soundEdit->setText(v.sound);
    m_soundBox->setChecked(v.soundOn);
    updateSoundControls();
}

void SettingsDialog::edit(const std::function<void(SettingsValues&)>& change)
{
    SettingsValues v = m_store.values();
    change(v);
    m_store.setValues(v);
}

void SettingsDialog::connectEdits()
{
    for (QComboBox* box : {m_stripColorBox, m_mainColorBox}) {
        connect(box, &QComboBox::currentIndexChanged, this, [box, this] {
            if (!box->currentData().isValid())
                return; // "Custom...", on its way to a colour
            box->setProperty("lastColor", QVariant::fromValue(selectedColor(box)));
            const qint32 color = selectedColor(box);
            edit(
                [&](SettingsValues& v) { (box == m_stripColorBox ? v.previewsColor : v.mainColor) = color; });
        });
    }
    connect(m_transparencySlider, &QSlider::valueChanged, this,
            [this](int p) { edit([p](SettingsValues& v) { v.alpha = p; }); });
    connect(m_delayEdit, &QLineEdit::textChanged, this,
            [this](const QString& t) { edit([&t](SettingsValues& v) { v.delay = t; }); });
    connect(m_fullScreenBox, &QCheckBox::toggled, this,
            [this](bool on) { edit([on](SettingsValues& v) { v.fullScreen = on; }); });
    connect(m_autoOrientBox, &QCheckBox::toggled, this,
            [this](bool on) { edit([on](SettingsValues& v) { v.autoOrient = on; }); });
    connect(m_colorManagedBox, &QCheckBox::toggled, this,
            [this](bool on) { edit([on](SettingsValues& v) { v.colorManaged = on; }); });
    connect(m_fitPicturesBox, &QCheckBox::toggled, this,
            [this](bool on) { edit([on](SettingsValues& v) { v.fitPictures = on; }); });
    connect(m_soundBox, &QCheckBox::toggled, this,
            [this](bool on) { edit([on](SettingsValues& v) { v.soundOn = on; }); });
    connect(m_soundEdit, &QLineEdit::textChanged, this,
            [this](const QString& t) { edit([&t](SettingsValues& v) { v.sound = t; }); });
}

void SettingsDialog::showFromMain(const QString& commentLineText)
{
    m_fontPreview->setText(commentLineText.isEmpty() ? m_texts.FontPreviewText : commentLineText);
    show();
    raise();
    activateWindow();
}

void SettingsDialog::showFontPreview()
{
    QPalette p = m_fontPreview->palette();
    p.setColor(QPalette::WindowText, syscolor::toQColor(quint32(m_store.values().fontColor)));
    m_fontPreview->setPalette(p);
    m_fontPreview->setFont(commentFont(m_store.values()));
}

void SettingsDialog::applySettings()
{
    // A name the file already held passes (the viewer reads with the
    // locale's instead); a new one must be a code page the converter knows.
    const QString held = m_store.values().codePage;
    const QString codePage = m_codePageBox->currentText().trimmed();
    if (codePage != held && !codePage.isEmpty() && knownCodePage(codePage).isEmpty()) {
        m_codePageBox->setEditText(held);
        m_dialogs.error(this, m_texts.UnknownCodePageMessage.arg(codePage));
        return;
    }
    if (codePage != held) {
        edit([&codePage](SettingsValues& v) { v.codePage = codePage; });
    }
    emit applied();
    hide();
}

void SettingsDialog::showPage(int index)
{
    m_mainPage->setVisible(index == 0);
    m_slideShowPage->setVisible(index == 1);
}

void SettingsDialog::chooseCommentFont()
{
    QFont font = commentFont(m_store.values());
    const qint32 before = m_store.values().fontColor;
    QColor color = syscolor::toQColor(quint32(before));
    if (!m_dialogs.chooseFont(this, font, color))
        return;
    if (font.pointSize() > 20)
        font.setPointSize(limitChosenFontSize(font.pointSize()));
    edit([&](SettingsValues& v) {
        ::setCommentFont(v, font);
        // An unchanged colour keeps following the desktop's system colour.
        if (color != syscolor::toQColor(quint32(before)))
            v.fontColor = qint32(syscolor::fromQColor(color));
    });
    showFontPreview();
}

void SettingsDialog::updateSoundControls()
{
    const bool on = m_soundBox->isChecked();
    m_soundEdit->setEnabled(on);
    m_browseButton->setEnabled(on);
}

void SettingsDialog::chooseSoundFile()
{
    const QString file =
        m_dialogs.openFile(this, m_texts.SoundFilesFilter + QStringLiteral("|*.wav"), QString());
    if (!file.isEmpty())
        m_soundEdit->setText(file);
}

void SettingsDialog::showLanguage(const QString& languageSetting)
{
    int index = 0;
    if (languageSetting != EnglishLanguage) {
        index = m_languageBox->findData(languageSetting);
        if (index < 0) {
            // A file of the user's own: listed by its name before the chooser.
            index = m_languageBox->count() - 1;
            m_languageBox->insertItem(index, languageFileName(languageSetting, knownCodePage(m_store.values().codePage)), languageSetting);
        }
    }
    m_languageBox->setCurrentIndex(index);
}

void SettingsDialog::chooseLanguage(int index)
{
    QString chosen = m_languageBox->itemData(index).toString();
    if (index == 0) {
        chosen = EnglishLanguage;
    } else if (index == m_languageBox->count() - 1) { // "Select Other..."
        chosen = m_dialogs.openFile(this, m_texts.LanguageFilesFilter + QStringLiteral("|*.PVL"),
                                    dataFolder().path + QStringLiteral("/lang")); // where ours are shipped
        // Cancelled: back to English, which is what the file will say.
        if (chosen.isEmpty())
            chosen = EnglishLanguage;
    }
    showLanguage(chosen);
    edit([&chosen](SettingsValues& v) {
        v.languageItem = languageItemFor(chosen);
        if (chosen != EnglishLanguage)
            v.languageSetting = chosen;
    });
    m_dialogs.information(this, m_texts.RestartMessage);
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
        if (watched == m_delayEdit && (!key->text().isEmpty() || key->key() == Qt::Key_Delete) &&
            !delayKeyAccepted(key->key(), key->modifiers()))
            return true;
        // A digit typed into a full box, also one loaded longer than two.
        if (watched == m_delayEdit && key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9 &&
            m_delayEdit->text().size() - m_delayEdit->selectedText().size() >= 2)
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
