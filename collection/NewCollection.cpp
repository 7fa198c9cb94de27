#include "collection/NewCollection.h"

#include "collection/CollectionListModel.h"

#include <QHeaderView>
#include <QTableView>

TfrmNewCollection::TfrmNewCollection(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmNewCollection"));
    resize(697, 508);
    m_model = new CollectionListModel(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("ValueListEditor1"));
    m_grid->setModel(m_model);
    m_grid->setGeometry(0, 0, 417, 300);
    m_grid->setColumnWidth(0, 226);
    m_grid->setColumnWidth(1, 185);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->setDefaultSectionSize(18);
}

void TfrmNewCollection::clearPreview() {}
void TfrmNewCollection::previewRow(int) {}
void TfrmNewCollection::enableDelete(bool) {}
