#pragma once
// The collection editor: a two-column list of file names and comments, a
// preview of the selected picture, and the commands that build and save a
// collection file.
#include <QImage>
#include <QPointer>
#include <QWidget>

class QFrame;
class QGroupBox;
class QLineEdit;
class QTableView;
class QToolButton;
class CollectionListModel;
class DialogProvider;
class PreviewImage;
class ViewerSession;

class CollectionEditor : public QWidget {
    Q_OBJECT
public:
    // Windows' non-client sizes (frame and caption bar, no menu), so the
    // resize rules see the outer window size they were designed for.
    static constexpr int FrameWidth = 8;
    static constexpr int NonClientHeight = 31;

    static const QString CollectionFilter;

    CollectionEditor(ViewerSession& session, DialogProvider& dialogs, QWidget* parent = nullptr);
    ~CollectionEditor() override;

    CollectionListModel* list() const { return m_model; }
    QTableView* grid() const { return m_grid; }

    // New: the open collection written back from the list when the list
    // still holds it and was changed, then the list emptied for a new one.
    void startNewCollection();
    // Add / Delete: the open collection's entries in the list, then the
    // collection read again from its file.
    void startEditing();

    void clearPreview();
    // Shows the row's picture (0-based row). A picture that can't be read
    // is reported and leaves the preview empty; it never throws.
    void previewRow(int row);
    void enableDelete(bool on);

    // Commands; failures are thrown as AppError for the caller to report.
    void addPictures();
    void deleteSelected();
    void moveSelectedUp();
    void moveSelectedDown();
    void findNext();
    void saveCollection();
    // Close, Esc and the close box: changes not saved are lost only when
    // the user says so.
    void closeEditor();
    // The list differs from the collection it was filled from (any entry,
    // for a new collection).
    bool hasUnsavedEdits() const;
    // Asks before changes not saved are lost, and drops them when agreed;
    // false: they and the editor stay.
    bool mayCloseEdits();
    void relayout();
    // Key preview: answers true when the key was one of the window's own.
    bool handleKey(QWidget* receiver, int key, Qt::KeyboardModifiers modifiers);

    // Adds picture files as Add does (after its dialog); other files are
    // skipped. Answers how many were added.
    int addPictureFiles(const QStringList& paths);

    // The selected row (0-based), -1 with an empty list.
    int selectedRow() const;
    void selectRow(int row);
    // The open comment field of the selected row, if any.
    QLineEdit* commentEditor() const;

    QLineEdit* findEdit() const { return m_findEdit; }
    QWidget* preview() const;
    // The preview's picture and where it is drawn inside preview.
    QImage previewImage() const;
    QRect previewRect() const;

    void setOuterSize(int W, int H);
    QSize outerSize() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    ViewerSession* m_session;
    DialogProvider& m_dialogs;
    // What the session's last open listed, appended to the list.
    void listOpenedEntries();
    // The window's parts, in the order they are made.
    void createGrid();
    void createPreviewAndButtons();
    void createFindBox();
    void showPreview(int row);
    void currentRowChanged(int row, int previous);
    void openCommentEditor(int row, bool focus);
    // Return in a comment: its editing ends, the list keeps the keyboard.
    void endCommentEditing();
    void afterAdd();
    bool dropEvent(QEvent* event);
    QToolButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
                            void (CollectionEditor::*handler)());

    QTableView* m_grid = nullptr;
    CollectionListModel* m_model = nullptr;
    // The collection file the list was last filled from; empty once New
    // has emptied it for a collection that has no file yet.
    QString m_listSource;
    // The list is a new collection's, not the open one's.
    bool m_listIsNew = false;
    QFrame* m_previewFrame = nullptr;
    PreviewImage* m_preview = nullptr;
    QWidget* m_buttonPanel = nullptr;
    QToolButton* m_upButton = nullptr;
    QToolButton* m_downButton = nullptr;
    QToolButton* m_addButton = nullptr;
    QToolButton* m_deleteButton = nullptr;
    QToolButton* m_closeButton = nullptr;
    QToolButton* m_okButton = nullptr;
    QGroupBox* m_findGroup = nullptr;
    QLineEdit* m_findEdit = nullptr;
    QToolButton* m_findButton = nullptr;
    QPointer<QLineEdit> m_commentEditor;
    int m_editorRow = -1;
    // Set while rows change under program control, where no preview is due.
    bool m_quiet = false;
    // The list itself has the keyboard, its comment field closed by Return.
    bool m_commentEnded = false;
};
