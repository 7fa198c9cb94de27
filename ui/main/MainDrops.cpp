// Files dropped on the main window: a collection opens as Open would open
// it; pictures open as the first of them would by itself, or join the
// collection editor's list while it is open.
#include "ui/main/MainWindow.h"

#include "ui/common/RunCommand.h"
#include "ui/editor/CollectionEditor.h"
#include "viewer/FolderPictures.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace {

struct DroppedFiles {
    QString collection;   // the first .pvx dropped
    QStringList pictures; // the pictures dropped, in drop order
    bool isEmpty() const { return collection.isEmpty() && pictures.isEmpty(); }
};

DroppedFiles droppedFiles(const QMimeData* mime)
{
    DroppedFiles found;
    if (!mime || !mime->hasUrls())
        return found;
    for (const QUrl& url : mime->urls()) {
        const QString path = url.toLocalFile();
        if (!url.isLocalFile() || !QFileInfo(path).isFile())
            continue;
        if (QFileInfo(path).suffix().compare(QLatin1String("pvx"), Qt::CaseInsensitive) == 0) {
            if (found.collection.isEmpty())
                found.collection = path;
        } else if (isPictureFile(path)) {
            found.pictures << path;
        }
    }
    return found;
}

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (droppedFiles(event->mimeData()).isEmpty())
        return event->ignore();
    // Always a copy: the file manager must never delete the source.
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const DroppedFiles dropped = droppedFiles(event->mimeData());
    if (dropped.isEmpty())
        return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
    CollectionEditor* editor = m_peers.editor.ifBuilt();
    const bool editing = editor && editor->isVisible();
    runCommand(m_dialogs, [&] {
        if (!dropped.collection.isEmpty()) {
            m_session->setCollectionFileName(dropped.collection);
            m_session->requestReopen();
        } else if (editing) {
            editor->addPictureFiles(dropped.pictures);
        } else {
            openPicture(dropped.pictures.first());
        }
    });
}
