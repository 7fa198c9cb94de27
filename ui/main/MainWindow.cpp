#include "ui/main/MainWindow.h"

#include "core/Errors.h"
#include "ui/common/AccessibleNames.h"
#include "ui/common/Icons.h"
#include "ui/common/RunCommand.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/main/ImageMouse.h"
#include "ui/main/LongTextLabel.h"
#include "ui/main/MainCommands.h"
#include "ui/main/AnimationView.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"
#include "viewer/FolderListing.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScrollArea>
#include <QStatusTipEvent>
#include <QToolButton>
#include <QWheelEvent>

#include <cmath>

namespace {

constexpr int ZoomPanelWidth = 56;

// The highlight frame: a navy two-pixel rectangle filled with the strip colour.
class HighlightFrame : public QFrame {
public:
    explicit HighlightFrame(QWidget* parent) : QFrame(parent) {}
    void setFill(const QColor& color)
    {
        m_fill = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), m_fill);
        p.setPen(QPen(QColor(0, 0, 128), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
        // The strip has the keyboard focus: say so on the current slot.
        if (parentWidget()->hasFocus()) {
            p.setPen(QPen(QColor(0, 0, 128), 1, Qt::DotLine));
            p.drawRect(QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5));
        }
    }

private:
    QColor m_fill = Qt::white;
};

void setBackground(QWidget* w, const QColor& c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

} // namespace

MainWindow::MainWindow(ViewerSession& session, SoundPlayer& sound, DialogProvider& dialogs, QWidget* parent)
    : QMainWindow(parent), m_session(&session), m_sound(sound), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmMain"));
    accessibleNames::nameControlsByHints();
    buildContents();
    connectSession();
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
    m_session->slideShow().setView(nullptr);
}

void MainWindow::connectSession()
{
    m_session->slideShow().setView(this);
    connect(m_session, &ViewerSession::commandStatesChanged, this, &MainWindow::showCommandStates);
    connect(m_session, &ViewerSession::followModeChanged, m_commands, &MainCommands::showFollowMode);
    connect(m_session, &ViewerSession::exifOrientationChanged, this, &MainWindow::followExifOrientation);
    connect(m_session, &ViewerSession::colorManagedChanged, this, &MainWindow::followColorManaged);
    connect(m_session, &ViewerSession::currentPictureReplaced, this, &MainWindow::showReplacedPicture);
    connect(m_session, &ViewerSession::stripReloadRequested, this, &MainWindow::reloadStrip);
    connect(m_session, &ViewerSession::entriesChanged, this, &MainWindow::showChangedEntries);
    connect(m_session, &ViewerSession::reopenRequested, this, &MainWindow::openCollectionFile);
    connect(m_session, &ViewerSession::statusAnnounced, this,
            [this](const QString& text) { m_statusPanels[0]->setText(text); });
    connect(m_session, &ViewerSession::failuresWithheld, this,
            [this](const QStringList& texts) { reportError(m_dialogs, texts.join(QLatin1Char('\n'))); });
}

void MainWindow::showCommandStates()
{
    m_commands->showStates([this](ViewerCommand c) { return m_session->commandState(c); });
}

void MainWindow::buildContents()
{
    m_session->strip().setSlotCount(0);
    m_session->setFollowsCursor(false);

    setWindowTitle(m_session->texts().TitleText);
    QFont base(QStringLiteral("DejaVu Sans"));
    base.setPixelSize(11);
    setFont(base);

    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(m_central);
    m_central->installEventFilter(this);

    createNavButtons();
    createPictureArea();
    createStatusBar();

    m_commands =
        new MainCommands(this, [this](ViewerCommand c) { runCommand(m_dialogs, [this, c] { run(c); }); });
    m_commands->createMenus(menuBar());
    m_animation = new AnimationView(this, m_mainImage, m_commands->action(ViewerCommand::ViewModes)->menu(),
                                    [this] { return m_session->colorManaged(); });
    m_toolBar = m_commands->createToolBar(m_central);
    createInfoPanel();
    showCommandStates();
    m_commands->showFollowMode(m_session->followsCursor());

    connect(m_imageScroller, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        m_commands->contextMenu()->popup(m_imageScroller->mapToGlobal(pos));
    });

    const int menuH = menuBar()->sizeHint().height();
    setMinimumSize(600 - FrameWidth, 400 - NonClientHeight + menuH);
    resize(FirstClientSize + QSize(0, menuH));
    move(209, 115);

    // Slots for the design height; the layout routine keeps them in step.
    createSlots(1, std::min(MaxSlots, stripPanelHeight() / 130));
    relayout();

    qApp->installEventFilter(this);
    setAcceptDrops(true);
}

void MainWindow::createNavButtons()
{
    const auto make = [this](const char* name, const char* icon, const char* hint,
                             void (MainWindow::*step)()) {
        auto* b = new QToolButton(m_central);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoRaise(true);
        b->setIcon(pvIcon(QString::fromLatin1(icon)));
        b->setToolTip(QString::fromLatin1(hint));
        b->setStatusTip(b->toolTip());
        b->setFocusPolicy(Qt::NoFocus);
        b->setEnabled(false);
        connect(b, &QToolButton::clicked, this,
                [this, step] { runCommand(m_dialogs, [this, step] { (this->*step)(); }); });
        return b;
    };
    m_upButton = make("BtnUp", "up", "Key Up or Backspace", &MainWindow::stepBack);
    m_upButton->setGeometry(2, 9, 161, 16);
    m_downButton = make("BtnDown", "down", "Key Down or Space", &MainWindow::stepForward);
}

void MainWindow::createPictureArea()
{
    m_stripPanel = new QWidget(m_central);
    m_stripPanel->setObjectName(QStringLiteral("Panel1"));
    setBackground(m_stripPanel, Qt::white);
    m_stripPanel->setFocusPolicy(Qt::StrongFocus);

    m_highlight = new HighlightFrame(m_stripPanel);
    m_highlight->setObjectName(QStringLiteral("ShapeCur"));
    m_highlight->setGeometry(6, 6, 149, 149);
    m_highlight->hide();

    m_imageScroller = new QScrollArea(m_central);
    m_imageScroller->setObjectName(QStringLiteral("BordShape"));
    m_imageScroller->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_imageScroller->setLineWidth(1);
    m_imageScroller->setWidgetResizable(false);
    m_imageScroller->setContextMenuPolicy(Qt::CustomContextMenu);
    setBackground(m_imageScroller->viewport(), Qt::white);
    m_mainImage = new MainImage;
    accessibleNames::markAsPicture(m_mainImage);
    m_imageScroller->setWidget(m_mainImage);
    m_mainImage->setContextMenuPolicy(Qt::NoContextMenu);
    connectPictureFiles();
    m_mouse =
        new ImageMouse(m_imageScroller, m_mainImage,
                       {[this](ViewerCommand c) { return m_session->commandState(c).enabled; },
                        [this](ViewerCommand c) { runCommand(m_dialogs, [this, c] { run(c); }); },
                        [this] { return m_session->isFullScreen() || m_session->slideShow().isRunning(); }});
    connect(m_mainImage, &MainImage::drawingChanged, this, &MainWindow::showZoomText);
    connect(&m_session->slideShow(), &SlideShow::runningChanged, m_mouse, &ImageMouse::restartIdle);

    m_commentLabel = new LongTextLabel(m_central);
    m_commentLabel->setObjectName(QStringLiteral("LabelComent"));
    m_commentLabel->setAlignment(Qt::AlignCenter);
    m_commentLabel->setTextFormat(Qt::PlainText);
    QFont commentFont(QStringLiteral("Verdana"));
    commentFont.setPixelSize(13);
    m_commentLabel->setFont(commentFont);
}

void MainWindow::createStatusBar()
{
    m_statusBar = new QWidget(m_central);
    m_statusBar->setObjectName(QStringLiteral("StatusBar"));
    for (int i = 0; i < 4; ++i) {
        auto* l = new LongTextLabel(m_statusBar); // hints carry whole comments
        l->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setTextFormat(Qt::PlainText);
        l->setIndent(2);
        l->setElidesMiddle(i == 2); // the file's path and its notes
        m_statusPanels[i] = l;
    }
}

void MainWindow::createSlots(int from, int to)
{
    for (int i = from; i <= to; ++i) {
        auto* s = new ThumbSlot(i, m_stripPanel);
        accessibleNames::markAsPicture(s);
        s->move(8, 8 + 153 * (i - 1));
        s->setEnabled(false);
        s->show();
        connect(s, &ThumbSlot::clicked, this,
                [this](int n) { runCommand(m_dialogs, [this, n] { selectSlot(n); }); });
        m_slots.append(s);
    }
}

int MainWindow::stripPanelHeight() const
{
    return m_central->height() + NonClientHeight - 130;
}

void MainWindow::setOuterSize(int W, int H)
{
    resize(W - FrameWidth, H - NonClientHeight + (height() - m_central->height()));
}

QSize MainWindow::outerSize() const
{
    return QSize(m_central->width() + FrameWidth, m_central->height() + NonClientHeight);
}

// ---------------------------------------------------------------- layout

void MainWindow::relayout()
{
    const int cw = m_central->width();
    const int ch = m_central->height();
    const int W = cw + FrameWidth;
    const int P = stripPanelHeight();

    m_stripPanel->setGeometry(2, 32, 161, std::max(P, 0));
    m_downButton->setGeometry(2, P + 32, 161, 16);
    m_commentLabel->setGeometry(0, ch - 17 - 19, cw, 19);
    m_statusBar->setGeometry(0, ch - 17, cw, 17);
    placeStatusPanels();
    const bool fullScreen = m_session->isFullScreen();
    scrollArea(fullScreen);
    if (!m_mainImage->autoSize()) {
        // The window manager may deliver the full-screen size only after the
        // switch: keep the fitted picture filling the area then too.
        if (fullScreen)
            m_mainImage->resize(m_imageScroller->size() - QSize(2, 2));
        else
            m_mainImage->resize(std::max(W - 180, 0), std::max(P - 4, 0));
    }

    const int count = std::clamp(P / 130, 0, int(MaxSlots));
    if (count > slotCount())
        createSlots(slotCount() + 1, count);
    while (slotCount() > count)
        delete m_slots.takeLast();
    m_session->strip().setSlotCount(count);
    placeHighlight();

    loadSlotPictures();
    if (m_session->entryCount() > 0)
        showSlot(m_session->strip().currentSlot());
    updateNavButtons();
}

void MainWindow::scrollArea(bool fullScreen)
{
    const int cw = m_central->width();
    const int ch = m_central->height();
    if (fullScreen)
        m_imageScroller->setGeometry(0, 0, cw, std::max(ch - 19 - 17, 0));
    else
        m_imageScroller->setGeometry(168, 32, std::max(cw + FrameWidth - 176, 0),
                                     std::max(stripPanelHeight(), 0));
    m_imageScroller->raise();
    if (!fullScreen) {
        m_stripPanel->raise();
        m_toolBar->raise();
    }
}

void MainWindow::placeStatusPanels()
{
    // The last entry's number is the widest a collection shows; a long
    // prefix or a count of hundreds would otherwise lose its end.
    QLabel* position = m_statusPanels[1];
    const int frame = position->width() - position->contentsRect().width();
    const QString widest = positionText(std::max(m_session->entryCount(), 1));
    const int needed = position->fontMetrics().horizontalAdvance(widest) + position->indent() + frame + 2;
    const int positionWidth = std::max(80, needed);
    const int cw = m_statusBar->width();
    const int fileLeft = 163 + positionWidth;
    const int fileWidth = std::max(cw - fileLeft - ZoomPanelWidth, 50);
    m_statusPanels[0]->setGeometry(0, 0, 163, 17);
    position->setGeometry(163, 0, positionWidth, 17);
    m_statusPanels[2]->setGeometry(fileLeft, 0, fileWidth, 17);
    m_statusPanels[3]->setGeometry(fileLeft + fileWidth, 0, ZoomPanelWidth, 17);
}

// ---------------------------------------------------------------- texts

void MainWindow::placeHighlight()
{
    m_highlight->move(6, 6 + 153 * (m_session->strip().currentSlot() - 1));
}

void MainWindow::updateNavButtons()
{
    m_upButton->setEnabled(m_session->strip().canGoBack());
    m_downButton->setEnabled(m_session->strip().canGoForward());
    for (int i = 1; i <= slotCount(); ++i)
        slot(i)->setAccessibleName(spokenName(m_session->strip().entryInSlot(i)));
}

QString MainWindow::spokenName(int entry) const
{
    if (entry < 1 || entry > m_session->entryCount())
        return {};
    return m_session->texts()
        .SlotAccessibleName.arg(entry)
        .arg(m_session->entryCount())
        .arg(m_session->entry(entry).comment);
}

QString MainWindow::positionText(int entry) const
{
    // A picture's folder still being listed: its count is not known yet.
    const bool listing = m_folderListing && m_folderListing->isListing();
    return m_session->texts().ImagePrefix + QString::number(entry) + QStringLiteral(" / ") +
           (listing ? QStringLiteral("\u2026") : QString::number(m_session->entryCount()));
}

void MainWindow::updatePositionTexts(int entry)
{
    m_statusPanels[1]->setText(positionText(entry));
    placeStatusPanels();
    QString file =
        entry >= 1 && entry <= m_session->entryCount() ? m_session->entry(entry).path : QString();
    // A picture that decoded only in part says so beside its name.
    const PictureDamage damage = m_mainImage->picture().knownDamage();
    if (!file.isEmpty() && damage != PictureDamage::None)
        file += QStringLiteral(" \u2014 ") + m_session->texts().DamagedNote.arg(damageReason(damage));
    if (const int pages = m_mainImage->picture().pageCount(); !file.isEmpty() && pages > 1)
        file += QStringLiteral(" \u2014 ") + m_session->texts().PageNote.arg(1).arg(pages);
    m_statusPanels[2]->setText(file);
    const QString shown = m_session->texts().MainImageAccessibleName.arg(spokenName(entry));
    m_mainImage->setAccessibleName(shown);
    m_imageScroller->setAccessibleName(shown);
    followPictureInfo();
}

void MainWindow::showZoomText()
{
    const int percent = int(std::lround(m_mouse->scale() * 100));
    m_statusPanels[3]->setText(
        m_mainImage->pictureSize().isEmpty() ? QString() : m_session->texts().ZoomText.arg(percent));
}

void MainWindow::applyWindowTitle()
{
    const ProgramTexts& t = m_session->texts();
    // Pictures no file lists yet are named by their folder.
    const QString name = m_session->collectionUnsaved()
                             ? QFileInfo(m_session->entry(1).path).absolutePath()
                             : m_session->collectionFileName();
    setWindowTitle(name.isEmpty() ? t.TitleText : name + QStringLiteral(" - ") + t.TitleText);
}

// ---------------------------------------------------------------- colours and fonts

void MainWindow::setStripColor(const QColor& color)
{
    setBackground(m_stripPanel, color);
    static_cast<HighlightFrame*>(m_highlight)->setFill(color);
}

void MainWindow::setMainColor(const QColor& color)
{
    setBackground(m_imageScroller->viewport(), color);
}

void MainWindow::setCommentFont(const QFont& font, const QColor& color)
{
    m_commentLabel->setFont(font);
    QPalette pal = m_commentLabel->palette();
    pal.setColor(QPalette::WindowText, color);
    m_commentLabel->setPalette(pal);
}

// ---------------------------------------------------------------- events

bool MainWindow::event(QEvent* event)
{
    if (event->type() == QEvent::Show && !std::exchange(m_shownOnce, true))
        watchFirstFrame();
    if (event->type() == QEvent::StatusTip) {
        m_statusPanels[0]->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_stripPanel || watched == m_imageScroller) &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        showFocus();
        return false;
    }
    if (event->type() == QEvent::Wheel && watched->isWidgetType() &&
        (watched == m_stripPanel || m_stripPanel->isAncestorOf(static_cast<QWidget*>(watched)))) {
        stepStripByWheel(static_cast<QWheelEvent*>(event)->angleDelta().y());
        return true;
    }
    if (watched == m_central && event->type() == QEvent::Resize) {
        runCommand(m_dialogs, [this] { relayout(); });
        return false;
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && !QApplication::activePopupWidget()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w->window() == this) {
            auto* ke = static_cast<QKeyEvent*>(event);
            // A key whose command fails is spent too: passed on, the filter
            // would see it again on the way up and run it twice.
            bool handled = true;
            runCommand(m_dialogs, [&] { handled = handleKey(ke->key(), ke->modifiers()); });
            if (handled)
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::stepStripByWheel(int delta)
{
    // One entry per notch, as the strip's buttons step; a fine-grained
    // wheel's part notches add up.
    m_stripWheelRest += delta;
    while (std::abs(m_stripWheelRest) >= 120) {
        const bool forward = m_stripWheelRest < 0;
        m_stripWheelRest += forward ? 120 : -120;
        runCommand(m_dialogs, [this, forward] {
            run(forward ? ViewerCommand::StripForward : ViewerCommand::StripBack);
        });
    }
}

void MainWindow::showFocus()
{
    m_highlight->update();
    // The picture area's border takes the highlight colour while focused.
    QPalette pal = m_imageScroller->palette();
    pal.setColor(QPalette::WindowText,
                 m_imageScroller->hasFocus()
                     ? pal.color(QPalette::Highlight)
                     : QApplication::palette(m_imageScroller).color(QPalette::WindowText));
    m_imageScroller->setPalette(pal);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The program's end would lose the editor's changes too.
    CollectionEditor* editor = m_peers.editor.ifBuilt();
    bool mayEnd = true;
    if (editor && editor->isVisible())
        runCommand(m_dialogs, [&] { mayEnd = editor->mayCloseEdits(); });
    if (!mayEnd) {
        event->ignore();
        return;
    }
    event->accept();
    // Closing the main window ends the program, hidden windows included.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}
