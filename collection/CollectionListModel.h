#pragma once
// The rows of the collection editor's two-column list ("File Name",
// "Comment"). The main window fills it while it reads a collection, so
// appends are batched: the view hears of new rows once per flush.
#include "collection/CollectionFile.h"

#include <QAbstractTableModel>

class CollectionListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CollectionListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    // Column titles come from the language file through here.
    bool setHeaderData(int section, Qt::Orientation o, const QVariant& value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rows held, including those appended but not yet flushed to views.
    int entryCount() const { return int(m_entries.size()); }
    const QList<CollectionEntry>& entries() const { return m_entries; }
    const CollectionEntry& entry(int row) const { return m_entries.at(row); }

    void clear();
    // Appends without telling views; flush() announces pending rows.
    void appendDeferred(const CollectionEntry& entry);
    void flush();
    void append(const CollectionEntry& entry);
    void removeEntry(int row);
    void swapEntries(int a, int b);

    void setColumnTitles(const QString& fileName, const QString& comment);

private:
    QList<CollectionEntry> m_entries;
    int m_announced = 0; // rows views know of
    QString m_titles[2] = {QStringLiteral("File Name"), QStringLiteral("Comment")};
};
