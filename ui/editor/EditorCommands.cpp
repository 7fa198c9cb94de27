// The collection editor's commands: add, delete, move, find and save.
#include "ui/editor/CollectionEditor.h"

#include "collection/CollectionListModel.h"
#include "core/Errors.h"
#include "graphics/PictureFormat.h"
#include "ui/common/Dialogs.h"
#include "viewer/FolderPictures.h"
#include "viewer/ViewerSession.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QTableView>
#include <QToolButton>

void CollectionEditor::afterAdd()
{
    if (m_model->entryCount() > 0 && !m_model->entry(0).path.isEmpty()) {
        previewRow(0);
        enableDelete(true);
    }
    m_upButton->setEnabled(true);
    m_downButton->setEnabled(true);
}

void CollectionEditor::addPictures()
{
    // Pictures usually sit beside their collection.
    const QString collection = m_session->collectionFileName();
    const QString folder = collection.isEmpty() ? QString() : QFileInfo(collection).absolutePath();
    const QStringList files =
        m_dialogs.openFiles(this, pictureOpenFilter(m_session->texts().AllPicturesFilter), folder);
    QStringList refused;
    m_quiet = true;
    for (const QString& f : files) {
        if (f.contains(QLatin1Char('^'))) {
            refused << f;
            continue;
        }
        m_model->appendDeferred({QFileInfo(f).absoluteFilePath(), QString()});
    }
    m_model->flush();
    m_quiet = false;
    afterAdd();
    if (!refused.isEmpty())
        throw AppError(QStringLiteral("A collection cannot list a path that holds \"^\": %1")
                           .arg(refused.join(QStringLiteral(", "))));
}

int CollectionEditor::addPictureFiles(const QStringList& paths)
{
    int added = 0;
    m_quiet = true;
    for (const QString& p : paths) {
        if (!isPictureFile(p))
            continue;
        m_model->appendDeferred({QFileInfo(p).absoluteFilePath(), QString()});
        ++added;
    }
    m_model->flush();
    m_quiet = false;
    if (added > 0)
        afterAdd();
    return added;
}

void CollectionEditor::deleteSelected()
{
    const int n = m_model->entryCount();
    if (n == 0)
        return;
    if (n < 2) {
        m_model->removeEntry(0);
        clearPreview();
        enableDelete(false);
        return;
    }
    const int row = std::max(selectedRow(), 0);
    m_quiet = true;
    m_model->removeEntry(row);
    const int next = std::min(row, n - 2);
    selectRow(next);
    m_quiet = false;
    previewRow(next);
}

void CollectionEditor::moveSelectedUp()
{
    const int row = selectedRow();
    if (row <= 0) {
        m_upButton->setEnabled(false);
        return;
    }
    m_quiet = true;
    m_model->swapEntries(row, row - 1);
    selectRow(row - 1);
    m_quiet = false;
    m_downButton->setEnabled(true);
    previewRow(row - 1);
}

void CollectionEditor::moveSelectedDown()
{
    const int row = selectedRow();
    if (row < 0 || row >= m_model->entryCount() - 1) {
        m_downButton->setEnabled(false);
        return;
    }
    m_quiet = true;
    m_model->swapEntries(row, row + 1);
    selectRow(row + 1);
    m_quiet = false;
    m_upButton->setEnabled(true);
    previewRow(row + 1);
}

void CollectionEditor::findNext()
{
    const QString needle = m_findEdit->text().toLower();
    if (needle.isEmpty())
        return;
    for (int r = selectedRow() + 1; r < m_model->entryCount(); ++r) {
        if (!m_model->entry(r).comment.toLower().contains(needle))
            continue;
        m_quiet = true;
        selectRow(r);
        m_quiet = false;
        previewRow(r);
        openCommentEditor(r, true);
        if (!commentEditor())
            m_grid->setFocus(Qt::OtherFocusReason);
        return;
    }
}

void CollectionEditor::saveCollection()
{
    if (m_model->entryCount() == 0 || m_model->entry(0).path.isEmpty()) {
        m_dialogs.information(this, m_session->texts().MinOneImageMessage);
        return;
    }
    // Pictures opened by themselves have no file yet: they are saved as new.
    if (m_session->editorMode() == ViewerSession::EditorMode::NewCollection ||
        m_session->collectionUnsaved()) {
        QString path = m_dialogs.saveFile(this, CollectionFilter, QString());
        if (!path.isEmpty()) {
            // The dialog asks before nothing: a picture's name typed here
            // must not lose the picture to the list.
            if (QFileInfo(path).suffix().compare(QLatin1String("pvx"), Qt::CaseInsensitive) != 0)
                path += QStringLiteral(".pvx");
            writeCollection(path, m_model->entries(), m_session->codePage());
            m_session->newCollectionSaved(path);
        }
    } else {
        writeCollection(m_session->collectionFileName(), m_model->entries(), m_session->codePage());
    }
    // The open takes the request before anything can fail.
    m_session->requestReopen();
    hide();
}
