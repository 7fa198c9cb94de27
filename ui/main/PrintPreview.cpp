#include "ui/main/PrintPreview.h"

#include <QActionGroup>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>
#include <QVBoxLayout>

PrintPreview::PrintPreview(QPrinter* printer, const PrintPreviewTexts& texts, QWidget* parent)
    : QDialog(parent), m_printer(printer), m_tools(new QToolBar(this)),
      m_preview(new QPrintPreviewWidget(printer, this))
{
    setObjectName(QStringLiteral("PrintPreview"));
    setWindowTitle(texts.title);
    m_tools->setObjectName(QStringLiteral("printPreviewTools"));
    m_preview->setObjectName(QStringLiteral("printPreviewPage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tools);
    layout->addWidget(m_preview, 1);

    QAction* fit = m_tools->addAction(texts.fitPage, m_preview, &QPrintPreviewWidget::fitInView);
    fit->setShortcut(Qt::CTRL | Qt::Key_0);
    m_tools->addAction(texts.zoomIn, m_preview, [this] { m_preview->zoomIn(); })->setShortcut(QKeySequence::ZoomIn);
    m_tools->addAction(texts.zoomOut, m_preview, [this] { m_preview->zoomOut(); })->setShortcut(QKeySequence::ZoomOut);
    m_tools->addSeparator();
    auto* turns = new QActionGroup(this);
    QAction* portrait = m_tools->addAction(texts.portrait, m_preview, &QPrintPreviewWidget::setPortraitOrientation);
    QAction* landscape = m_tools->addAction(texts.landscape, m_preview, &QPrintPreviewWidget::setLandscapeOrientation);
    for (QAction* a : {portrait, landscape}) {
        a->setCheckable(true);
        turns->addAction(a);
    }
    (printer->pageLayout().orientation() == QPageLayout::Landscape ? landscape : portrait)->setChecked(true);
    m_tools->addAction(texts.pageSetup, this, &PrintPreview::setUpPage);
    m_tools->addSeparator();
    m_tools->addAction(texts.print, this, &PrintPreview::print)->setShortcut(QKeySequence::Print);
    m_tools->addSeparator();

    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, &PrintPreview::paintRequested);
    connect(m_preview, &QPrintPreviewWidget::previewChanged, this, [this, portrait, landscape] {
        (m_preview->orientation() == QPageLayout::Landscape ? landscape : portrait)->setChecked(true);
    });
}

void PrintPreview::addOption(QWidget* option)
{
    m_tools->addWidget(option);
}

void PrintPreview::updatePreview()
{
    m_preview->updatePreview();
}

void PrintPreview::print()
{
    QPrintDialog choose(m_printer, this);
    if (choose.exec() != QDialog::Accepted)
        return;
    m_preview->print();
    accept();
}

void PrintPreview::setUpPage()
{
    QPageSetupDialog setup(m_printer, this);
    if (setup.exec() == QDialog::Accepted)
        m_preview->updatePreview();
}
