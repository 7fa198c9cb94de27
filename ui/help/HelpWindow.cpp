#include "ui/help/HelpWindow.h"

#include "core/Errors.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QStringDecoder>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {
constexpr int kPathRole = Qt::UserRole;
const QString kScheme = QStringLiteral("chm");

QString pageOnly(const QString& archivePath)
{
    const qsizetype hash = archivePath.indexOf(QLatin1Char('#'));
    return hash < 0 ? archivePath : archivePath.left(hash);
}

QString decodePage(const QByteArray& data)
{
    QStringDecoder decoder = QStringDecoder::decoderForHtml(data);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder.decode(data);
}
} // namespace

ChmBrowser::ChmBrowser(QWidget* parent) : QTextBrowser(parent)
{
    // Links are followed by the help window, which knows the archive.
    setOpenLinks(false);
}

QUrl ChmBrowser::pageUrl(const QString& archivePath)
{
    QUrl url;
    url.setScheme(kScheme);
    url.setPath(pageOnly(archivePath));
    const qsizetype hash = archivePath.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        url.setFragment(archivePath.mid(hash + 1));
    return url;
}

QString ChmBrowser::currentPage() const
{
    const QUrl url = source();
    return url.scheme() == kScheme ? ChmFile::normalizePath(url.path()) : QString();
}

QString ChmBrowser::archivePathFor(const QUrl& url) const
{
    if (url.scheme() == kScheme)
        return ChmFile::normalizePath(url.path());
    if (url.isRelative())
        return ChmFile::normalizePath(ChmFile::resolveLink(currentPage(), url.toString()));
    return QString();
}

QVariant ChmBrowser::loadResource(int type, const QUrl& name)
{
    const QString path = archivePathFor(name);
    if (!m_chm || path.isEmpty())
        return QVariant();
    const std::optional<QByteArray> data = m_chm->read(path);
    if (type == QTextDocument::HtmlResource) {
        if (!data)
            return QStringLiteral("<html><body><p>%1</p></body></html>")
                .arg(m_missingPageText.toHtmlEscaped().arg(
                    QStringLiteral("<i>%1</i>").arg(path.toHtmlEscaped())));
        return decodePage(*data);
    }
    if (!data)
        return QVariant();
    if (type == QTextDocument::StyleSheetResource)
        return QString::fromUtf8(*data);
    return *data; // images decode from their bytes
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Pictavo Help"));
    resize(900, 640);

    createNavigationTabs();
    QToolButton* home = createBrowserAndButtons();
    connectControls(home);
}

void HelpWindow::createNavigationTabs()
{
    m_tree = new QTreeWidget;
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setUniformRowHeights(true);

    auto* indexPage = new QWidget;
    m_indexFilter = new QLineEdit;
    m_indexFilter->setObjectName(QStringLiteral("edKeyword"));
    m_indexFilter->setPlaceholderText(QStringLiteral("Type a keyword"));
    m_indexList = new QListWidget;
    auto* indexLayout = new QVBoxLayout(indexPage);
    indexLayout->setContentsMargins(0, 0, 0, 0);
    indexLayout->addWidget(m_indexFilter);
    indexLayout->addWidget(m_indexList);

    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("HelpTabs"));
    m_tabs->addTab(m_tree, QStringLiteral("Contents"));
    m_tabs->addTab(indexPage, QStringLiteral("Index"));
}

QToolButton* HelpWindow::createBrowserAndButtons()
{
    m_browser = new ChmBrowser;
    m_back = new QToolButton;
    m_back->setObjectName(QStringLiteral("btnBack"));
    m_back->setText(QStringLiteral("Back"));
    m_back->setEnabled(false);
    m_forward = new QToolButton;
    m_forward->setObjectName(QStringLiteral("btnForward"));
    m_forward->setText(QStringLiteral("Forward"));
    m_forward->setEnabled(false);
    auto* home = new QToolButton;
    home->setObjectName(QStringLiteral("btnHome"));
    home->setText(QStringLiteral("Home"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_back);
    buttons->addWidget(m_forward);
    buttons->addWidget(home);
    buttons->addStretch();

    auto* splitter = new QSplitter;
    splitter->addWidget(m_tabs);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({300, 600});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);
    return home;
}

void HelpWindow::connectControls(QToolButton* home)
{
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item && !m_syncing && !item->data(0, kPathRole).toString().isEmpty())
            navigate(item->data(0, kPathRole).toString());
    });
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        const QString path = item->data(0, kPathRole).toString();
        if (!path.isEmpty() && pageOnly(path) != currentPage())
            navigate(path);
    });
    connect(m_indexFilter, &QLineEdit::textEdited, this, &HelpWindow::filterIndex);
    connect(m_indexFilter, &QLineEdit::returnPressed, this, &HelpWindow::openIndexItem);
    connect(m_indexList, &QListWidget::itemActivated, this, &HelpWindow::openIndexItem);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::followLink);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
        // source() may still name the previous page while this runs.
        if (url.scheme() == kScheme)
            selectContentsItemFor(ChmFile::normalizePath(url.path()));
    });
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QWidget::setEnabled);
    connect(m_back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(home, &QToolButton::clicked, this, &HelpWindow::showContents);
}

void HelpWindow::openFile(const QString& path)
{
    if (m_chm.isOpen() && m_chm.path() == path)
        return;
    ChmFile chm(path); // throws before anything shown changes

    QList<help::SitemapEntry> contents;
    if (const std::optional<QByteArray> hhc = chm.read(chm.contentsFile()))
        contents = help::parseSitemap(help::decodeSitemap(*hhc));
    QList<help::SitemapEntry> index;
    if (const std::optional<QByteArray> hhk = chm.read(chm.indexFile()))
        index = help::parseSitemap(help::decodeSitemap(*hhk));

    m_browser->setHelpFile(nullptr);
    m_browser->clear();
    m_browser->clearHistory();
    m_chm = std::move(chm);
    m_browser->setHelpFile(&m_chm);
    m_index = index;

    m_syncing = true;
    m_tree->clear();
    fillContents(nullptr, contents);
    m_tree->expandAll();
    m_syncing = false;
    fillIndex();
}

void HelpWindow::fillContents(QTreeWidgetItem* parent, const QList<help::SitemapEntry>& entries)
{
    for (const help::SitemapEntry& e : entries) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
        item->setText(0, e.name);
        if (!e.local.isEmpty())
            item->setData(0, kPathRole, ChmFile::resolveLink(QStringLiteral("/"), e.local));
        fillContents(item, e.children);
    }
}

void HelpWindow::fillIndex()
{
    m_indexList->clear();
    QList<help::SitemapEntry> flat;
    std::function<void(const QList<help::SitemapEntry>&)> collect =
        [&](const QList<help::SitemapEntry>& list) {
            for (const help::SitemapEntry& e : list) {
                flat.append(e);
                collect(e.children);
            }
        };
    collect(m_index);
    std::stable_sort(flat.begin(), flat.end(), [](const help::SitemapEntry& a, const help::SitemapEntry& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    for (const help::SitemapEntry& e : flat) {
        auto* item = new QListWidgetItem(e.name, m_indexList);
        if (!e.local.isEmpty())
            item->setData(kPathRole, ChmFile::resolveLink(QStringLiteral("/"), e.local));
    }
}

void HelpWindow::showContents()
{
    m_tabs->setCurrentWidget(m_tree);
    QString topic = m_chm.defaultTopic();
    if (topic.isEmpty() || !m_chm.contains(topic)) {
        QTreeWidgetItemIterator it(m_tree);
        for (; *it && (*it)->data(0, kPathRole).toString().isEmpty(); ++it) {
        }
        topic = *it ? (*it)->data(0, kPathRole).toString() : QString();
    }
    if (!topic.isEmpty())
        navigate(topic);
}

void HelpWindow::showKeyword(const QString& keyword)
{
    m_tabs->setCurrentIndex(1);
    m_indexFilter->setText(keyword);
    filterIndex(keyword);
    QListWidgetItem* item = m_indexList->currentItem();
    if (item && item->text().startsWith(keyword, Qt::CaseInsensitive) && !keyword.isEmpty())
        openIndexItem();
}

void HelpWindow::showTopic(const QString& topic)
{
    if (topic.isEmpty())
        showContents();
    else
        navigate(ChmFile::resolveLink(QStringLiteral("/"), topic));
}

void HelpWindow::navigate(const QString& archivePath)
{
    const QUrl url = ChmBrowser::pageUrl(archivePath);
    if (url == m_browser->source())
        m_browser->reload();
    else
        m_browser->setSource(url, QTextDocument::HtmlResource);
}

void HelpWindow::followLink(const QUrl& url)
{
    if (url.scheme() == kScheme) {
        navigate(url.path() + (url.hasFragment() ? QLatin1Char('#') + url.fragment() : QString()));
    } else if (url.isRelative()) {
        navigate(ChmFile::resolveLink(currentPage(), url.toString()));
    } else if (url.scheme() == QLatin1String("ms-its") || url.scheme() == QLatin1String("mk")) {
        navigate(ChmFile::resolveLink(currentPage(), url.toString()));
    } else {
        QDesktopServices::openUrl(url); // web and mail links leave the help
    }
}

void HelpWindow::selectContentsItemFor(const QString& page)
{
    if (page.isEmpty())
        return;
    QTreeWidgetItem* current = m_tree->currentItem();
    if (current && pageOnly(current->data(0, kPathRole).toString()) == page)
        return;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if (pageOnly((*it)->data(0, kPathRole).toString()) == page) {
            m_syncing = true;
            m_tree->setCurrentItem(*it);
            m_syncing = false;
            return;
        }
    }
}

void HelpWindow::filterIndex(const QString& text)
{
    if (text.isEmpty())
        return;
    for (int i = 0; i < m_indexList->count(); ++i) {
        if (m_indexList->item(i)->text().startsWith(text, Qt::CaseInsensitive)) {
            m_indexList->setCurrentRow(i);
            m_indexList->scrollToItem(m_indexList->item(i), QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

void HelpWindow::openIndexItem()
{
    if (QListWidgetItem* item = m_indexList->currentItem()) {
        const QString path = item->data(kPathRole).toString();
        if (!path.isEmpty())
            navigate(path);
    }
}
