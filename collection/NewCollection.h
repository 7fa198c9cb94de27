#pragma once
// The collection editor: a two-column list of file names and comments.
#include <QWidget>

class QTableView;
class CollectionListModel;

class TfrmNewCollection : public QWidget {
    Q_OBJECT
public:
    explicit TfrmNewCollection(QWidget* parent = nullptr);

    CollectionListModel* list() const { return m_model; }
    QTableView* ValueListEditor1() const { return m_grid; }

    // Which collection file the list was last filled from; empty once New
    // has emptied it for a collection that has no file yet.
    void setListSource(const QString& path) { m_listSource = path; }
    bool listHoldsCollection(const QString& path) const { return !path.isEmpty() && m_listSource == path; }
    void markListAsNew() { m_listSource.clear(); }

    void clearPreview();
    void previewRow(int row);
    void enableDelete(bool on);

private:
    QTableView* m_grid = nullptr;
    CollectionListModel* m_model = nullptr;
    QString m_listSource;
};
