#include "ui/editor/CollectionEditor.h"

#include "collection/CollectionListModel.h"
#include "core/Errors.h"
#include "graphics/Picture.h"
#include "ui/common/Dialogs.h"
#include "ui/common/Icons.h"
#include "ui/common/RunCommand.h"
#include "viewer/FolderPictures.h"
#include "viewer/ViewerSession.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QUrl>

const QString CollectionEditor::CollectionFilter = QStringLiteral("Pictavo Files (*.PVX)|*.pvx");

// The preview: the picture scaled up or down to fit, proportional, centred.
class PreviewImage : public QWidget {
public:
    explicit PreviewImage(QWidget* parent) : QWidget(parent) {}

    void setImage(QImage image)
    {
        m_image = std::move(image);
        update();
    }
    const QImage& image() const { return m_image; }
    QRect drawRect() const
    {
        if (m_image.isNull())
            return {};
        const QSize s = m_image.size().scaled(size(), Qt::KeepAspectRatio);
        return QRect(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), s);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (m_image.isNull())
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(drawRect(), m_image);
    }

private:
    QImage m_image;
};

namespace {

// The comment cell's edit field. Every keystroke reaches the model at once,
// so a save started from the field never misses what was just typed.
class CommentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override
    {
        if (index.column() != 1)
            return nullptr;
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(QStringLiteral("CommentEdit"));
        edit->setAccessibleName(index.model()->headerData(1, Qt::Horizontal).toString());
        edit->setFrame(false);
        // "^" ends a field in the collection file: a comment holding one
        // would lose its tail on the next read.
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^\\^\\r\\n]*")), edit));
        auto* self = const_cast<CommentDelegate*>(this);
        connect(edit, &QLineEdit::textEdited, self, [self, edit] { emit self->commitData(edit); });
        return edit;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        auto* edit = static_cast<QLineEdit*>(editor);
        const QString text = index.data(Qt::EditRole).toString();
        if (edit->text() != text) // keeps the cursor where the user types
            edit->setText(text);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        model->setData(index, static_cast<QLineEdit*>(editor)->text(), Qt::EditRole);
    }

protected:
    // The field stays open when the focus leaves it; the text is already in
    // the model, and a field being replaced must not close another.
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut)
            return false;
        return QStyledItemDelegate::eventFilter(object, event);
    }
};

// File names keep their end in view: the folders are what a narrow column
// may drop, the full path is in the tool-tip.
class FileNameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideLeft;
    }
};

// Whether the file reads back as exactly these entries.
bool collectionHolds(const QString& path, const QList<CollectionEntry>& entries, const QByteArray& codePage)
{
    try {
        return readCollectionAll(path, codePage) == entries;
    } catch (const AppError&) {
        return false;
    }
}

QStringList droppedPictures(const QMimeData* mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile() && isPictureFile(url.toLocalFile()))
            paths << url.toLocalFile();
    }
    return paths;
}

} // namespace

CollectionEditor::CollectionEditor(ViewerSession& session, DialogProvider& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_session(&session), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmNewCollection"));
    setMinimumSize(500 - FrameWidth, 400 - NonClientHeight);

    createGrid();
    createPreviewAndButtons();
    createFindBox();

    setTabOrder(m_grid, m_findEdit);
    resize(697, 508);
    relayout();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->availableGeometry();
        move(desk.center() - QPoint(outerSize().width() / 2, outerSize().height() / 2));
    }
    // Keys reach the window before its controls do; so do drops on the list.
    qApp->installEventFilter(this);
    // Every open refills the list from what the file lists.
    connect(m_session, &ViewerSession::openBegan, this, [this] {
        m_model->clear();
        m_listSource = m_session->collectionFileName();
        m_listIsNew = false;
    });
    connect(m_session, &ViewerSession::collectionOpened, this, &CollectionEditor::listOpenedEntries);
    // A move to the trash or its undo: a list of the open collection follows.
    connect(m_session, &ViewerSession::entriesChanged, this, [this] {
        if (m_listIsNew || m_listSource != m_session->collectionFileName())
            return;
        m_model->clear();
        listOpenedEntries();
    });
    // Made after an open: the list as that open would have left it.
    if (!m_session->listedEntries().isEmpty()) {
        m_listSource = m_session->collectionFileName();
        listOpenedEntries();
    }
}

void CollectionEditor::listOpenedEntries()
{
    for (const CollectionEntry& e : m_session->listedEntries())
        m_model->appendDeferred(e);
    m_model->flush();
}

void CollectionEditor::startNewCollection()
{
    setWindowTitle(m_session->texts().NewCollectionCaption);
    m_session->setEditorMode(ViewerSession::EditorMode::NewCollection);
    clearPreview();
    // Only while the list still holds the open collection may it be written
    // back: rows of an unsaved new collection never replace its entries.
    // An unchanged list is not written, so what the reader skips survives.
    const QString open = m_session->collectionFileName();
    if (!open.isEmpty() && m_model->entryCount() > 0 && m_listSource == open &&
        !collectionHolds(open, m_model->entries(), m_session->codePage()))
        writeCollection(open, m_model->entries(), m_session->codePage());
    m_model->clear();
    m_listSource.clear();
    m_listIsNew = true;
    show();
    raise();
    activateWindow();
}

void CollectionEditor::startEditing()
{
    // The list starts over below: changes still open there are asked for.
    if (isVisible() && !mayCloseEdits()) {
        raise();
        activateWindow();
        return;
    }
    setWindowTitle(m_session->texts().AddDeleteCaption);
    const bool unsaved = m_session->collectionUnsaved();
    // The list starts over from the session: the re-read below replaces it
    // again, and where that read fails each entry is still listed once.
    m_model->clear();
    for (const CollectionEntry& e : m_session->entries())
        m_model->appendDeferred(e);
    m_model->flush();
    m_listIsNew = false;
    m_session->setEditorMode(ViewerSession::EditorMode::EditCollection);
    show();
    raise();
    activateWindow();
    if (m_model->entryCount() > 0 && !m_model->entry(0).path.isEmpty()) {
        enableDelete(true);
        previewRow(0);
        // Read again from its file: the list refills, the strip starts over.
        if (!unsaved)
            m_session->requestReopen();
    }
}

CollectionEditor::~CollectionEditor()
{
    qApp->removeEventFilter(this);
}

void CollectionEditor::createGrid()
{
    m_model = new CollectionListModel(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("ValueListEditor1"));
    m_grid->setModel(m_model);
    m_grid->setItemDelegateForColumn(0, new FileNameDelegate(m_grid));
    m_grid->setItemDelegateForColumn(1, new CommentDelegate(m_grid));
    m_grid->setGeometry(0, 0, 417, 300);
    m_grid->setColumnWidth(0, 226);
    m_grid->setColumnWidth(1, 185);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(18);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers); // the comment field is always open
    m_grid->setTabKeyNavigation(false);
    m_grid->setWordWrap(false);
    m_grid->viewport()->setAcceptDrops(true);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                currentRowChanged(current.row(), previous.row());
            });
    // A list that gains rows without a selection selects row 1, as the
    // grid's always-present first row would be.
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!m_grid->selectionModel()->currentIndex().isValid() && m_model->rowCount() > 0) {
            const bool quiet = m_quiet;
            m_quiet = true;
            selectRow(0);
            m_quiet = quiet;
        }
    });
}

void CollectionEditor::createPreviewAndButtons()
{
    m_previewFrame = new QFrame(this);
    m_previewFrame->setObjectName(QStringLiteral("Shape1"));
    m_previewFrame->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_previewFrame->setGeometry(421, 5, 175, 175);
    m_preview = new PreviewImage(this);
    m_preview->setObjectName(QStringLiteral("ImgPreview"));
    m_preview->setGeometry(424, 8, 169, 169);

    m_buttonPanel = new QWidget(this);
    m_buttonPanel->setObjectName(QStringLiteral("BtnPanel"));
    m_buttonPanel->setGeometry(420, 181, 180, 172);
    using N = CollectionEditor;
    m_upButton = makeButton(m_buttonPanel, "BtnUp", QString(), QRect(1, 19, 32, 22), &N::moveSelectedUp);
    m_upButton->setIcon(pvIcon(QStringLiteral("up")));
    m_upButton->setEnabled(false);
    m_downButton =
        makeButton(m_buttonPanel, "btnDown", QString(), QRect(1, 43, 32, 22), &N::moveSelectedDown);
    m_downButton->setIcon(pvIcon(QStringLiteral("down")));
    m_addButton = makeButton(m_buttonPanel, "btnAdd", QStringLiteral("&Add..."), QRect(1, 83, 120, 22),
                             &N::addPictures);
    m_deleteButton = makeButton(m_buttonPanel, "btnDel", QStringLiteral("&Delete"), QRect(1, 107, 120, 22),
                                &N::deleteSelected);
    m_deleteButton->setEnabled(false);
    m_closeButton = makeButton(m_buttonPanel, "btnClose", QStringLiteral("Close"), QRect(1, 147, 81, 22),
                               &N::closeEditor);
    m_okButton =
        makeButton(m_buttonPanel, "btnOK", QStringLiteral("&OK"), QRect(97, 147, 81, 22), &N::saveCollection);
}

void CollectionEditor::createFindBox()
{
    m_findGroup = new QGroupBox(QStringLiteral("Find"), this);
    m_findGroup->setObjectName(QStringLiteral("GroupBox1"));
    m_findGroup->setGeometry(0, 459, 425, 49);
    m_findEdit = new QLineEdit(m_findGroup);
    m_findEdit->setObjectName(QStringLiteral("Edit1"));
    m_findEdit->setGeometry(8, 16, 313, 21);
    using N = CollectionEditor;
    m_findButton =
        makeButton(m_findGroup, "btnGo", QStringLiteral("&Find"), QRect(328, 16, 81, 22), &N::findNext);
}

QToolButton* CollectionEditor::makeButton(QWidget* parent, const char* name, const QString& caption,
                                          const QRect& geometry, void (CollectionEditor::*handler)())
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextOnly);
    b->setGeometry(geometry);
    connect(b, &QToolButton::clicked, this,
            [this, handler] { runCommand(m_dialogs, [this, handler] { (this->*handler)(); }); });
    return b;
}

QWidget* CollectionEditor::preview() const
{
    return m_preview;
}
QImage CollectionEditor::previewImage() const
{
    return m_preview->image();
}
QRect CollectionEditor::previewRect() const
{
    return m_preview->drawRect();
}

// ---------------------------------------------------------------- geometry

void CollectionEditor::setOuterSize(int W, int H)
{
    resize(W - FrameWidth, H - NonClientHeight);
    relayout(); // a hidden window hears of its new size only when shown
}

QSize CollectionEditor::outerSize() const
{
    return QSize(width() + FrameWidth, height() + NonClientHeight);
}

void CollectionEditor::relayout()
{
    const int W = outerSize().width();
    const int H = outerSize().height();
    const int groupHeight = m_findGroup->height();
    m_grid->setGeometry(0, 0, W - 195, H - 35 - groupHeight);
    m_findGroup->setGeometry(m_findGroup->x(), H - 80, m_grid->width(), groupHeight);
    m_previewFrame->move(W - 192, m_previewFrame->y());
    m_preview->move(W - 189, m_preview->y());
    m_buttonPanel->move(W - 192, H - m_buttonPanel->height() - 35);
}

void CollectionEditor::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

// ---------------------------------------------------------------- selection

int CollectionEditor::selectedRow() const
{
    const QModelIndex current = m_grid->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void CollectionEditor::selectRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex index = m_model->index(row, 1);
    m_grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    m_grid->scrollTo(index);
}

QLineEdit* CollectionEditor::commentEditor() const
{
    return m_commentEditor && m_commentEditor->isVisible() ? m_commentEditor.data() : nullptr;
}

void CollectionEditor::openCommentEditor(int row, bool focus)
{
    for (int r = 0; r < m_model->rowCount(); ++r) {
        const QModelIndex index = m_model->index(r, 1);
        if (r != row && m_grid->isPersistentEditorOpen(index))
            m_grid->closePersistentEditor(index);
    }
    m_commentEditor = nullptr;
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex index = m_model->index(row, 1);
    if (!m_grid->isPersistentEditorOpen(index))
        m_grid->openPersistentEditor(index);
    m_commentEditor = qobject_cast<QLineEdit*>(m_grid->indexWidget(index));
    if (focus && m_commentEditor)
        m_commentEditor->setFocus(Qt::OtherFocusReason);
}

void CollectionEditor::currentRowChanged(int row, int previous)
{
    QWidget* focused = focusWidget();
    const bool listFocused = focused && (focused == m_grid || m_grid->isAncestorOf(focused));
    if (row != previous || !commentEditor())
        openCommentEditor(row, listFocused);
    if (!m_quiet && row >= 0)
        previewRow(row);
}

// ---------------------------------------------------------------- preview

void CollectionEditor::clearPreview()
{
    m_preview->setImage(QImage());
}

void CollectionEditor::showPreview(int row)
{
    if (row < 0 || row >= m_model->entryCount()) {
        clearPreview();
        return;
    }
    const QString path = m_model->entry(row).path;
    if (path.isEmpty())
        return;
    // A picture that fails to load must not leave another row's picture up.
    clearPreview();
    const Picture picture = Picture::loadFromFile(path, m_session->exifOrientation());
    m_preview->setImage(picture.thumbnail(m_preview->size(), m_session->colorManaged()));
}

void CollectionEditor::previewRow(int row)
{
    runCommand(m_dialogs, [this, row] { showPreview(row); });
}

void CollectionEditor::enableDelete(bool on)
{
    m_deleteButton->setEnabled(on);
}

// ---------------------------------------------------------------- commands

bool CollectionEditor::hasUnsavedEdits() const
{
    if (m_listIsNew)
        return m_model->entryCount() > 0;
    return m_model->entries() != m_session->listedEntries();
}

bool CollectionEditor::mayCloseEdits()
{
    if (!hasUnsavedEdits())
        return true;
    const ProgramTexts& t = m_session->texts();
    if (!m_dialogs.question(this, t.UnsavedEditsMessage, t.DiscardEditsCaption, t.KeepEditingCaption))
        return false;
    // Lost as the user said: the list is the collection as saved again, so
    // nothing later writes what was turned down.
    m_quiet = true;
    m_model->clear();
    if (!m_listIsNew)
        listOpenedEntries();
    m_quiet = false;
    clearPreview();
    enableDelete(m_model->entryCount() > 0);
    return true;
}

void CollectionEditor::closeEditor()
{
    if (!mayCloseEdits())
        return;
    m_session->withdrawReopenRequest();
    hide();
}

void CollectionEditor::closeEvent(QCloseEvent* event)
{
    if (isVisible() && !mayCloseEdits()) {
        event->ignore();
        return;
    }
    m_session->withdrawReopenRequest();
    event->accept();
}

void CollectionEditor::endCommentEditing()
{
    // The text is in the list already, typed key by key.
    m_commentEnded = true;
    m_grid->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------- keys, drops

bool CollectionEditor::handleKey(QWidget* receiver, int key, Qt::KeyboardModifiers modifiers)
{
    const bool inList = receiver == m_grid || m_grid->isAncestorOf(receiver);
    const bool inComment = receiver && receiver == commentEditor();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (receiver == m_findEdit)
            findNext();
        else if (inComment)
            endCommentEditing();
        else
            saveCollection();
        return true;
    case Qt::Key_Escape:
        closeEditor();
        return true;
    case Qt::Key_Delete:
        // Deletes the entry; the comment being typed is left alone.
        if (!inList || !m_deleteButton->isEnabled())
            return false;
        deleteSelected();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        // The move buttons take no focus: Ctrl+arrow moves the entry.
        if (inList && (modifiers & Qt::ControlModifier)) {
            key == Qt::Key_Up ? moveSelectedUp() : moveSelectedDown();
            return true;
        }
        [[fallthrough]];
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // Row keys typed in the comment field move through the list.
        if (!inComment)
            return false;
        {
            QKeyEvent copy(QEvent::KeyPress, key, modifiers);
            QApplication::sendEvent(m_grid, &copy);
        }
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!inComment)
            return false;
        focusNextPrevChild(key == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier));
        return true;
    default:
        return false;
    }
}

bool CollectionEditor::dropEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        if (droppedPictures(e->mimeData()).isEmpty()) {
            e->ignore();
        } else {
            // Always a copy: the file manager must never delete the source.
            e->setDropAction(Qt::CopyAction);
            e->accept();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        const QStringList paths = droppedPictures(e->mimeData());
        if (paths.isEmpty()) {
            e->ignore();
            return true;
        }
        e->setDropAction(Qt::CopyAction);
        e->accept();
        runCommand(m_dialogs, [this, &paths] { addPictureFiles(paths); });
        return true;
    }
    default:
        return false;
    }
}

bool CollectionEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && !QApplication::activePopupWidget()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w->window() == this) {
            auto* ke = static_cast<QKeyEvent*>(event);
            bool handled = true; // a key whose command failed is still spent
            runCommand(m_dialogs, [&] { handled = handleKey(w, ke->key(), ke->modifiers()); });
            if (handled)
                return true;
        }
    }
    if (watched == m_grid->viewport() && dropEvent(event))
        return true;
    // The list's keyboard focus is the selected row's comment field, so
    // typing goes into the comment rather than searching file names; after
    // Return ended the comment, the list keeps it until a key types again.
    if (watched == m_grid && event->type() == QEvent::FocusIn && commentEditor() &&
        !std::exchange(m_commentEnded, false)) {
        commentEditor()->setFocus(static_cast<QFocusEvent*>(event)->reason());
        return false;
    }
    if (watched == m_grid && event->type() == QEvent::KeyPress && commentEditor() &&
        !static_cast<QKeyEvent*>(event)->text().trimmed().isEmpty()) {
        commentEditor()->setFocus(Qt::OtherFocusReason);
        QApplication::sendEvent(commentEditor(), event);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
