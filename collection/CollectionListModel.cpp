#include "collection/CollectionListModel.h"

CollectionListModel::CollectionListModel(QObject* parent) : QAbstractTableModel(parent) {}

int CollectionListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_announced;
}

int CollectionListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant CollectionListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_announced)
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole)
        return {};
    const CollectionEntry& e = m_entries.at(index.row());
    const QString& text = index.column() == 0 ? e.path : e.comment;
    // Laying out megabytes of text to paint one row stalls the list; no row
    // shows more than its start anyway. Editing still gets the whole text.
    constexpr qsizetype Shown = 2000;
    if (role != Qt::EditRole && text.size() > Shown)
        return QString(text.left(Shown) + QChar(0x2026));
    return text;
}

bool CollectionListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 1 || role != Qt::EditRole || index.row() >= m_announced)
        return false;
    // A comment is one line and cannot hold the field separator.
    QString text = value.toString();
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    m_entries[index.row()].comment = text;
    emit dataChanged(index, index);
    return true;
}

QVariant CollectionListModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (o == Qt::Horizontal)
        return section >= 0 && section < 2 ? m_titles[section] : QVariant();
    return section + 1;
}

bool CollectionListModel::setHeaderData(int section, Qt::Orientation o, const QVariant& value, int role)
{
    if (o != Qt::Horizontal || section < 0 || section > 1 ||
        (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    m_titles[section] = value.toString();
    emit headerDataChanged(Qt::Horizontal, section, section);
    return true;
}

Qt::ItemFlags CollectionListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 1)
        f |= Qt::ItemIsEditable;
    return f;
}

void CollectionListModel::clear()
{
    beginResetModel();
    m_entries.clear();
    m_announced = 0;
    endResetModel();
}

void CollectionListModel::appendDeferred(const CollectionEntry& entry)
{
    m_entries.append(entry);
}

void CollectionListModel::flush()
{
    const int n = int(m_entries.size());
    if (n == m_announced)
        return;
    beginInsertRows({}, m_announced, n - 1);
    m_announced = n;
    endInsertRows();
}

void CollectionListModel::append(const CollectionEntry& entry)
{
    appendDeferred(entry);
    flush();
}

void CollectionListModel::removeEntry(int row)
{
    flush();
    if (row < 0 || row >= m_entries.size())
        return;
    beginRemoveRows({}, row, row);
    m_entries.removeAt(row);
    m_announced = int(m_entries.size());
    endRemoveRows();
}

void CollectionListModel::swapEntries(int a, int b)
{
    flush();
    if (a < 0 || b < 0 || a >= m_entries.size() || b >= m_entries.size() || a == b)
        return;
    m_entries.swapItemsAt(a, b);
    emit dataChanged(index(std::min(a, b), 0), index(std::max(a, b), 1));
}

void CollectionListModel::setColumnTitles(const QString& fileName, const QString& comment)
{
    m_titles[0] = fileName;
    m_titles[1] = comment;
    emit headerDataChanged(Qt::Horizontal, 0, 1);
}
