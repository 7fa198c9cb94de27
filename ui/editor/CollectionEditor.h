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

    explicit CollectionEditor(ViewerSession& session, QWidget* parent = nullptr);
    ~CollectionEditor() override;

    CollectionListModel* list() const { return m_model; }
    QTableView* ValueListEditor1() const { return m_grid; }

    // Which collection file the list was last filled from; empty once New
    // has emptied it for a collection that has no file yet.
    void setListSource(const QString& path) { m_listSource = path; }
    bool listHoldsCollection(const QString& path) const { return !path.isEmpty() && m_listSource == path; }
    void markListAsNew() { m_listSource.clear(); }

    void clearPreview();
    // Shows the row's picture (0-based row). A picture that can't be read
    // is reported and leaves the preview empty; it never throws.
    void previewRow(int row);
    void enableDelete(bool on);

    // Commands; failures are thrown as AppError for the caller to report.
    void addPictures();
    void deleteSelected();
    void scrollUp();
    void moveSelectedDown();
    void findNext();
    void saveCollection();
    void closeEditor();
    void relayout();
    // Key preview: answers true when the key was one of the window's own.
    bool handleKey(QWidget* receiver, int key, Qt::KeyboardModifiers modifiers);

    // Adds picture files as Add does (after its dialog); other files are
    // skipped. Answers how many were added.
    int addPictureFiles(const QStringList& paths);
    static bool isPictureFile(const QString& path);

    // The selected row (0-based), -1 with an empty list.
    int selectedRow() const;
    void selectRow(int row);
    // The open comment field of the selected row, if any.
    QLineEdit* commentEditor() const;

    QToolButton* button(const char* name) const;
    QLineEdit* Edit1() const { return m_edit1; }
    QGroupBox* GroupBox1() const { return m_groupBox1; }
    QWidget* BtnPanel() const { return m_btnPanel; }
    QFrame* Shape1() const { return m_shape1; }
    QWidget* ImgPreview() const;
    // The preview's picture and where it is drawn inside ImgPreview.
    QImage previewImage() const;
    QRect previewRect() const;

    void setOuterSize(int W, int H);
    QSize outerSize() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

signals:
    // A new collection got its file: the commands that edit one apply now.
    void newCollectionSaved();

private:
    ViewerSession* m_session;
    // The window's parts, in the order they are made.
    void createGrid();
    void createPreviewAndButtons();
    void createFindBox();
    void showPreview(int row);
    void currentRowChanged(int row, int previous);
    void openCommentEditor(int row, bool focus);
    void afterAdd();
    bool dropEvent(QEvent* event);
    QToolButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
                            void (CollectionEditor::*handler)());

    QTableView* m_grid = nullptr;
    CollectionListModel* m_model = nullptr;
    QString m_listSource;
    QFrame* m_shape1 = nullptr;
    PreviewImage* m_preview = nullptr;
    QWidget* m_btnPanel = nullptr;
    QToolButton* m_btnUp = nullptr;
    QToolButton* m_btnDown = nullptr;
    QToolButton* m_btnAdd = nullptr;
    QToolButton* m_btnDel = nullptr;
    QToolButton* m_btnClose = nullptr;
    QToolButton* m_btnOK = nullptr;
    QGroupBox* m_groupBox1 = nullptr;
    QLineEdit* m_edit1 = nullptr;
    QToolButton* m_btnGo = nullptr;
    QPointer<QLineEdit> m_commentEditor;
    int m_editorRow = -1;
    // Set while rows change under program control, where no preview is due.
    bool m_quiet = false;
};
