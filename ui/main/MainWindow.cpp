#include "ui/main/MainWindow.h"

#include "collection/CollectionListModel.h"
#include "core/Errors.h"
#include "ui/common/AboutBox.h"
#include "ui/common/CommentsWindow.h"
#include "ui/common/Dialogs.h"
#include "ui/common/Icons.h"
#include "ui/common/RunCommand.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/effects/EffectsDialog.h"
#include "ui/help/HelpBinding.h"
#include "ui/main/LongTextLabel.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusTipEvent>
#include <QToolButton>

#include <cerrno>
#include <exception>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

// The highlight frame: a navy two-pixel rectangle filled with the strip colour.
class ShapeFrame : public QFrame {
public:
    explicit ShapeFrame(QWidget* parent) : QFrame(parent) {}
    QColor fill = Qt::white;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), fill);
        p.setPen(QPen(QColor(0, 0, 128), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
};

// Whether the file reads back as exactly these entries.
bool collectionHolds(const QString& path, const QList<CollectionEntry>& entries)
{
    try {
        return readCollectionAll(path) == entries;
    } catch (const AppError&) {
        return false;
    }
}

void setBackground(QWidget* w, const QColor& c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}
} // namespace

MainWindow::MainWindow(ViewerSession& session, QWidget* parent) : QMainWindow(parent), m_session(&session)
{
    setObjectName(QStringLiteral("frmMain"));
    buildContents();
    connectSession();
}

void MainWindow::connectSession()
{
    connect(m_session, &ViewerSession::undoAvailableChanged, this, &MainWindow::setUndoEnabled);
    connect(m_session, &ViewerSession::followModeChanged, this, [this](bool on) {
        action("mnuFollows")->setChecked(on);
        toolButton("btnFollow")->setChecked(on);
    });
    connect(m_session, &ViewerSession::currentPictureReplaced, this, &MainWindow::showReplacedPicture);
    connect(m_session, &ViewerSession::stripReloadRequested, this, &MainWindow::reloadStrip);
    connect(m_session, &ViewerSession::reopenRequested, this, &MainWindow::openCollectionFile);
}

void MainWindow::enableCollectionEditing()
{
    for (const char* name : {"mnuAdd", "AddDeleteimage1"})
        action(name)->setEnabled(true);
    toolButton("btnAdd")->setEnabled(true);
}

void MainWindow::reloadStrip()
{
    for (int i = 1; i <= slotCount(); ++i) {
        const int e = m_session->firstIndex() + i;
        if (e > m_session->entryCount())
            break;
        ThumbSlot* s = slot(i);
        s->setHint(m_session->entry(e).Comment);
        // The files changed: read them again whatever their stamps say.
        s->clearPicture();
        pictureFileChanged(m_session->entry(e).FileName);
        s->loadPicture(m_session->entry(e).FileName, m_exifOrientation);
    }
    ThumbSlot* current = slot(m_session->currentSlot());
    m_mainImage->setPicture(current->picture(), current->standIn());
}

void MainWindow::showReplacedPicture(const Picture& now)
{
    const int e = m_session->currentEntry();
    if (e >= 1 && e <= m_session->entryCount())
        pictureFileChanged(m_session->entry(e).FileName);
    ThumbSlot* current = slot(m_session->currentSlot());
    current->setPicture(now);
    m_mainImage->setPicture(now, current->standIn());
}

void MainWindow::pictureFileChanged(const QString& path)
{
    m_decoder->forget(path);
}

void MainWindow::loadSlot(ThumbSlot* s, const CollectionEntry& e)
{
    const std::shared_ptr<const Decoded> d = m_decoder->find(e.FileName);
    if (d && d->stamp.isValid() && !d->thumb.isNull() &&
        d->picture.withExifOrientation(m_exifOrientation).sharesDataWith(d->picture) &&
        d->stamp == FileStamp::of(e.FileName)) {
        s->setPrepared(e.FileName, d->stamp, d->picture, d->thumb, d->thumbSource);
        return;
    }
    s->loadPicture(e.FileName, m_exifOrientation);
}

void MainWindow::connectDecoder()
{
    m_decoder = new DecodeAhead(QSize(ThumbSlot::Size, ThumbSlot::Size), this);
    // A command may change the picture and its size several times: ask once
    // it is done.
    connect(m_mainImage, &MainImage::pixelsWanted, this, [this] {
        if (std::exchange(m_decodesQueued, true))
            return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_decodesQueued = false;
                updateDecodes();
            },
            Qt::QueuedConnection);
    });
    connect(m_decoder, &DecodeAhead::ready, this, [this](const QString& path) {
        if (m_shownEntry >= 1 && m_shownEntry <= m_session->entryCount() &&
            m_session->entry(m_shownEntry).FileName == path)
            m_mainImage->offer(m_decoder->find(path));
    });
    // A picture another command put into the main image is that command's
    // to report; one from the strip is told here, once.
    connect(m_decoder, &DecodeAhead::failed, this, [this](const QString&, const QString& text) {
        const Picture& failed = m_mainImage->picture();
        if (failed.sharesDataWith(m_failedPicture))
            return;
        m_failedPicture = failed;
        if (std::any_of(m_slots.cbegin(), m_slots.cend(),
                        [&](const ThumbSlot* s) { return s->picture().sharesDataWith(failed); }))
            reportError(text);
    });
}

void MainWindow::updateDecodes()
{
    const Picture& picture = m_mainImage->picture();
    // The commands that put the current slot's picture into the main image
    // show the current entry.
    const ThumbSlot* current =
        m_session->currentSlot() <= slotCount() ? slot(m_session->currentSlot()) : nullptr;
    if (current && !picture.isEmpty() && current->picture().sharesDataWith(picture))
        m_shownEntry = m_session->currentEntry();
    const int count = m_session->entryCount();
    const int e = m_shownEntry;
    const QString path = e >= 1 && e <= count ? m_session->entry(e).FileName : QString();
    m_mainImage->offer(m_decoder->find(path));

    QList<DecodeAhead::Entry> ahead;
    for (int k : {e + 1, e - 1}) {
        if (k < 1 || k > count)
            continue;
        const int i = k - m_session->firstIndex();
        if (i >= 1 && i <= slotCount())
            ahead.append({m_session->entry(k).FileName, slot(i)->picture(), slot(i)->scaledDecode()});
        else
            ahead.append({m_session->entry(k).FileName, Picture()});
    }
    DecodeAhead::Entry shown{path, picture.sharesDataWith(m_failedPicture) ? Picture() : picture};
    if (current && current->picture().sharesDataWith(picture))
        shown.known = current->scaledDecode();
    m_decoder->want(shown, ahead, m_mainImage->drawRule(), m_exifOrientation);
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
}

void MainWindow::buildContents()
{
    m_session->texts = ProgramTexts();
    m_session->setCurrentSlot(1);
    m_session->setFollowsCursor(false);

    setWindowTitle(m_session->texts.TitleText);
    setWindowIcon(appIcon());
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

    m_slideTimer = new QTimer(this);
    m_slideTimer->setObjectName(QStringLiteral("TimerSlide"));
    m_slideTimer->setInterval(5000);
    connect(m_slideTimer, &QTimer::timeout, this, [this] { runCommand([this] { nextSlide(); }); });

    createActions();
    createMenus();
    createToolBar();

    // Disabled until a collection is open.
    setCollectionCommandsEnabled(false);
    setUndoEnabled(false);

    connect(m_imageScroller, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_imageMenu->popup(m_imageScroller->mapToGlobal(pos)); });

    // The design's client area is 616 x 535 below the menu bar.
    const int menuH = menuBar()->sizeHint().height();
    setMinimumSize(600 - FrameWidth, 400 - NonClientHeight + menuH);
    resize(616, 535 + menuH);
    move(209, 115);

    // Slots for the design height; the layout routine keeps them in step.
    createSlots(1, std::min(MaxSlots, stripPanelHeight() / 130));
    relayout();

    qApp->installEventFilter(this);
}

void MainWindow::createNavButtons()
{
    m_upButton = new QToolButton(m_central);
    m_upButton->setObjectName(QStringLiteral("BtnUp"));
    m_upButton->setAutoRaise(true);
    m_upButton->setIcon(pvIcon(QStringLiteral("up")));
    m_upButton->setGeometry(2, 9, 161, 16);
    m_upButton->setToolTip(QStringLiteral("Key Up or Backspace"));
    m_upButton->setStatusTip(m_upButton->toolTip());
    m_upButton->setFocusPolicy(Qt::NoFocus);
    m_upButton->setEnabled(false);
    connect(m_upButton, &QToolButton::clicked, this, [this] { runCommand([this] { scrollUp(); }); });

    m_downButton = new QToolButton(m_central);
    m_downButton->setObjectName(QStringLiteral("BtnDown"));
    m_downButton->setAutoRaise(true);
    m_downButton->setIcon(pvIcon(QStringLiteral("down")));
    m_downButton->setToolTip(QStringLiteral("Key Down or Space"));
    m_downButton->setStatusTip(m_downButton->toolTip());
    m_downButton->setFocusPolicy(Qt::NoFocus);
    m_downButton->setEnabled(false);
    connect(m_downButton, &QToolButton::clicked, this, [this] { runCommand([this] { scrollDown(); }); });
}

void MainWindow::createPictureArea()
{
    m_stripPanel = new QWidget(m_central);
    m_stripPanel->setObjectName(QStringLiteral("Panel1"));
    setBackground(m_stripPanel, Qt::white);

    auto* shape = new ShapeFrame(m_stripPanel);
    shape->setObjectName(QStringLiteral("ShapeCur"));
    shape->setGeometry(6, 6, 149, 149);
    shape->hide();
    m_highlight = shape;

    m_imageScroller = new QScrollArea(m_central);
    m_imageScroller->setObjectName(QStringLiteral("BordShape"));
    m_imageScroller->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_imageScroller->setLineWidth(1);
    m_imageScroller->setWidgetResizable(false);
    m_imageScroller->setContextMenuPolicy(Qt::CustomContextMenu);
    setBackground(m_imageScroller->viewport(), Qt::white);
    m_mainImage = new MainImage;
    m_imageScroller->setWidget(m_mainImage);
    m_mainImage->setContextMenuPolicy(Qt::NoContextMenu);
    connectDecoder();

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
    for (int i = 0; i < 3; ++i) {
        auto* l = new LongTextLabel(m_statusBar); // hints carry whole comments
        l->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setTextFormat(Qt::PlainText);
        l->setIndent(2);
        m_statusPanels[i] = l;
    }
}

QToolButton* MainWindow::makeToolButton(const char* name, const QString& hint, const QIcon& icon,
                                        void (MainWindow::*handler)(), int x)
{
    auto* b = new QToolButton(m_toolBar);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoRaise(true);
    b->setIcon(icon);
    b->setIconSize(QSize(18, 18));
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(x, 0, 27, 25);
    if (handler)
        connect(b, &QToolButton::clicked, this,
                [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
    return b;
}

void MainWindow::createSlots(int from, int to)
{
    for (int i = from; i <= to; ++i) {
        auto* s = new ThumbSlot(i, m_stripPanel);
        s->move(8, 8 + 153 * (i - 1));
        s->setEnabled(false);
        s->show();
        connect(s, &ThumbSlot::clicked, this, [this](int n) { runCommand([this, n] { selectSlot(n); }); });
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

void MainWindow::setCollectionCommandsEnabled(bool on)
{
    static const char* const names[] = {
        "mnuAdd",        "btnAdd",         "AddDeleteimage1",  "btnEffect",     "mnuEffects",
        "mnuEffects1",   "mnuRotateLeft",  "mnuRotateRight",   "btnLeft",       "btnRight",
        "RotateLeft2",   "RotateRight1",   "mnuZoomIn",        "mnuZoomOut",    "mnuOriginalSize",
        "mnuZoomIn1",    "mnuZoomOut1",    "mnuOriginalSize1", "mnuSlideShow",  "btnSlideShow",
        "mnuComments",   "mnuImgView",     "mnuImgView1",      "btnImgView",    "AsIs1",
        "Proportional2", "Stretch1",       "mnuFullScreen1",   "AsIs2",         "Proportional3",
        "Stretch2",      "mnuFullScreen3", "mnuAsIs",          "Proportional1", "Stretch3",
        "mnuFullScreen2"};
    for (const char* n : names) {
        const QString name = QString::fromLatin1(n);
        if (QAction* a = findChild<QAction*>(name))
            a->setEnabled(on);
        else if (QWidget* w = findChild<QWidget*>(name))
            w->setEnabled(on);
    }
    if (QMenu* image = findChild<QMenu*>(QStringLiteral("mnuImage")))
        image->menuAction()->setEnabled(on);
    // A running slide show keeps Effects locked.
    if (on && m_slideTimer->isActive())
        setLockedBySlideShow(true);
}

void MainWindow::setUndoEnabled(bool on)
{
    action("mnuUndo")->setEnabled(on);
    action("mnuUndo1")->setEnabled(on);
    toolButton("butUndo")->setEnabled(on);
}

void MainWindow::setLockedBySlideShow(bool locked)
{
    action("mnuEffects")->setEnabled(!locked);
    action("mnuEffects1")->setEnabled(!locked);
    toolButton("btnEffect")->setEnabled(!locked);
    action("mnuFollows")->setEnabled(!locked);
    toolButton("btnFollow")->setEnabled(!locked);
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
    m_statusPanels[0]->setGeometry(0, 0, 163, 17);
    m_statusPanels[1]->setGeometry(163, 0, 80, 17);
    m_statusPanels[2]->setGeometry(243, 0, std::max(cw - 243, 50), 17);
    scrollArea(m_fullScreen);
    if (!m_mainImage->autoSize()) {
        // The window manager may deliver the full-screen size only after the
        // switch: keep the fitted picture filling the area then too.
        if (m_fullScreen)
            m_mainImage->resize(m_imageScroller->size() - QSize(2, 2));
        else
            m_mainImage->resize(std::max(W - 180, 0), std::max(P - 4, 0));
    }

    m_session->setCurrentSlot(1);
    placeShape(1);

    const int old = slotCount();
    const int count = std::clamp(P / 130, 0, int(MaxSlots));
    if (count > old)
        createSlots(old + 1, count);
    while (slotCount() > count)
        delete m_slots.takeLast();

    const QStringList failures = loadSlotPictures();
    if (!m_session->collectionFileName().isEmpty() && m_session->entryCount() > 0)
        showSlot(1);
    updateNavButtons();

    // A resize comes as a stream of events: each failure is told once, for
    // as long as it lasts.
    QStringList news;
    for (const QString& f : std::as_const(failures))
        if (!m_layoutFailures.contains(f))
            news << f;
    m_layoutFailures = failures;
    if (!news.isEmpty())
        throw AppError(news.join(QLatin1Char('\n')));
}

QStringList MainWindow::loadSlotPictures()
{
    // A picture that can't be read leaves its slot empty; the other slots
    // and the steps after them still get done.
    QStringList failures;
    for (int i = 1; i <= slotCount(); ++i) {
        ThumbSlot* s = slot(i);
        const int e = m_session->firstIndex() + i;
        if (e <= m_session->entryCount()) {
            s->setHint(m_session->entry(e).Comment);
            s->setEnabled(true);
            try {
                loadSlot(s, m_session->entry(e));
            } catch (const AppError& error) {
                failures << error.text();
            }
        }
    }
    return failures;
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

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
}

// ---------------------------------------------------------------- texts

void MainWindow::placeShape(int slotNumber)
{
    m_highlight->move(6, 6 + 153 * (slotNumber - 1));
}

void MainWindow::updateNavButtons()
{
    const int c = m_session->currentEntry();
    const bool open = m_session->entryCount() > 0;
    m_upButton->setEnabled(open && c > 1);
    m_downButton->setEnabled(open && c < m_session->entryCount());
}

void MainWindow::updatePositionTexts(int entry)
{
    m_statusPanels[1]->setText(m_session->texts.ImagePrefix + QString::number(entry) + QStringLiteral(" / ") +
                               QString::number(m_session->entryCount()));
    m_statusPanels[2]->setText(
        entry >= 1 && entry <= m_session->entryCount() ? m_session->entry(entry).FileName : QString());
}

void MainWindow::applyWindowTitle()
{
    setWindowTitle(m_session->collectionFileName().isEmpty()
                       ? m_session->texts.TitleText
                       : m_session->collectionFileName() + QStringLiteral(" - ") +
                             m_session->texts.TitleText);
}

void MainWindow::showSlot(int n)
{
    if (n < 1 || n > slotCount())
        return;
    ThumbSlot* s = slot(n);
    if (s->picture().isEmpty())
        m_mainImage->clearPicture();
    else
        m_mainImage->setPicture(s->picture(), s->standIn());
    m_shownEntry = m_session->firstIndex() + n;
    // What was decoded ahead shows at once; the rest is asked for.
    updateDecodes();
    m_commentLabel->setText(s->hint());
    if (m_peers.comments)
        m_peers.comments->setCommentText(s->hint());
    updatePositionTexts(m_session->firstIndex() + n);
}

// ---------------------------------------------------------------- collection

void MainWindow::newCollection()
{
    if (!m_peers.editor)
        return;
    m_peers.editor->setWindowTitle(m_session->texts.NewCollectionCaption);
    m_session->newCollectionMode = true;
    m_peers.editor->clearPreview();
    CollectionListModel* list = m_peers.editor->list();
    // Only while the list still holds the open collection may it be written
    // back: rows of an unsaved new collection never replace its entries.
    // An unchanged list is not written, so what the reader skips survives.
    if (!m_session->collectionFileName().isEmpty() && list->entryCount() > 0 &&
        m_peers.editor->listHoldsCollection(m_session->collectionFileName()) &&
        !collectionHolds(m_session->collectionFileName(), list->entries()))
        writeCollection(m_session->collectionFileName(), list->entries());
    list->clear();
    m_peers.editor->markListAsNew();
    m_peers.editor->show();
    m_peers.editor->raise();
    m_peers.editor->activateWindow();
}

void MainWindow::editCollection()
{
    if (!m_peers.editor || m_session->collectionFileName().isEmpty())
        return;
    m_peers.editor->setWindowTitle(m_session->texts.AddDeleteCaption);
    CollectionListModel* list = m_peers.editor->list();
    for (int e = 1; e <= m_session->entryCount(); ++e)
        list->appendDeferred(m_session->entry(e));
    list->flush();
    m_session->newCollectionMode = false;
    m_peers.editor->show();
    m_peers.editor->raise();
    m_peers.editor->activateWindow();
    if (list->entryCount() > 0 && !list->entry(0).FileName.isEmpty()) {
        m_peers.editor->enableDelete(true);
        m_peers.editor->previewRow(0);
        m_session->reopenWithoutDialog = true;
        openCollectionFile();
    }
}

// ---------------------------------------------------------------- navigation

// ---------------------------------------------------------------- view modes

// ---------------------------------------------------------------- other commands

void MainWindow::toggleComments()
{
    if (!m_peers.comments)
        return;
    if (m_peers.comments->isVisible()) {
        m_peers.comments->hide();
    } else {
        m_peers.comments->show();
        m_peers.comments->raise();
    }
}

void MainWindow::showHelp()
{
    if (m_peers.help)
        m_peers.help->showContents(this);
}

void MainWindow::showAbout()
{
    if (!m_peers.about)
        return;
    m_peers.about->show();
    m_peers.about->raise();
    m_peers.about->activateWindow();
}

void MainWindow::quit()
{
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    // Closing the main window ends the program, hidden windows included.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

// ---------------------------------------------------------------- colours and fonts

void MainWindow::setStripColor(const QColor& color)
{
    setBackground(m_stripPanel, color);
    static_cast<ShapeFrame*>(m_highlight)->fill = color;
    m_highlight->update();
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
    if (event->type() == QEvent::StatusTip) {
        m_statusPanels[0]->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_central && event->type() == QEvent::Resize) {
        if (m_opening)
            m_resizePending = true;
        else
            runCommand([this] { relayout(); });
        return false;
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && !QApplication::activePopupWidget()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w->window() == this) {
            auto* ke = static_cast<QKeyEvent*>(event);
            bool handled = false;
            runCommand([&] { handled = handleKey(ke->key(), ke->modifiers()); });
            if (handled)
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
