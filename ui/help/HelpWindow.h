#pragma once
// The help window: a compiled help file's contents and index beside its
// pages, everything read from the .chm itself.
#include "help/ChmFile.h"
#include "help/Sitemap.h"
#include "settings/UiText.h"

#include <QTextBrowser>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// Shows pages of one help file; links and images resolve inside the file.
class ChmBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit ChmBrowser(QWidget* parent = nullptr);
    void setHelpFile(const ChmFile* chm) { m_chm = chm; }
    // Archive path of the page shown ("/pages/a.htm"), without the anchor.
    QString currentPage() const;
    QVariant loadResource(int type, const QUrl& name) override;
    // Shown for a link to a page the file lacks; %1 is the page.
    void setMissingPageText(const QString& text) { m_missingPageText = text; }

    // "chm:/pages/a.htm#x" for an archive path with an optional anchor.
    static QUrl pageUrl(const QString& archivePath);

private:
    QString archivePathFor(const QUrl& url) const;

    const ChmFile* m_chm = nullptr;
    QString m_missingPageText = UiProgramTexts().MissingHelpPageMessage;
};

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Reads the help file's contents and index; opening the file already
    // shown keeps the window as it is. Throws AppError when the file cannot
    // be read, leaving the previous file shown.
    void openFile(const QString& path);
    QString fileName() const { return m_chm.path(); }

    void showContents();
    // The index with the keyword typed in; a matching keyword's page opens.
    void showKeyword(const QString& keyword);
    // A page of the help file, "pages/a.htm" or "pages/a.htm#part".
    void showTopic(const QString& topic);

    // Opens an archive path ("/pages/a.htm#part") in the page view.
    void navigate(const QString& archivePath);

    QTreeWidget* contentsTree() const { return m_tree; }
    QListWidget* indexList() const { return m_indexList; }
    QTabWidget* tabs() const { return m_tabs; }
    ChmBrowser* browser() const { return m_browser; }
    QString currentPage() const { return m_browser->currentPage(); }

private:
    void createNavigationTabs();
    // The page view, its history buttons and the window's layout; returns the Home button.
    QToolButton* createBrowserAndButtons();
    void connectControls(QToolButton* home);
    void fillContents(QTreeWidgetItem* parent, const QList<help::SitemapEntry>& entries);
    void fillIndex();
    void followLink(const QUrl& url);
    void selectContentsItemFor(const QString& page);
    void filterIndex(const QString& text);
    void openIndexItem();

    ChmFile m_chm;
    QList<help::SitemapEntry> m_index;
    QTabWidget* m_tabs = nullptr;
    QTreeWidget* m_tree = nullptr;
    QLineEdit* m_indexFilter = nullptr;
    QListWidget* m_indexList = nullptr;
    ChmBrowser* m_browser = nullptr;
    QToolButton* m_back = nullptr;
    QToolButton* m_forward = nullptr;
    bool m_syncing = false;
};
