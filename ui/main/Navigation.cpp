// Moving through the collection: the strip's buttons, its slots and the keys.
#include "ui/main/MainWindow.h"

#include "ui/common/CommentsWindow.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"

#include <QAction>
#include <QToolButton>

void MainWindow::scrollDown()
{
    const int c = Viewer.currentEntry();
    if (Viewer.EntryCount < 1 || c >= Viewer.EntryCount)
        return;
    if (c == Viewer.EntryCount - 1)
        m_btnDown->setEnabled(false);
    if (Viewer.CurrentSlot >= SlotCount()) {
        Viewer.FirstIndex += 1;
        m_btnUp->setEnabled(true);
        for (int i = 1; i <= SlotCount() - 1; ++i) {
            slot(i)->takePicture(*slot(i + 1));
            slot(i)->setHint(Viewer.entry(Viewer.FirstIndex + i).Comment);
        }
        ThumbSlot* last = slot(SlotCount());
        const CollectionEntry& e = Viewer.entry(Viewer.FirstIndex + SlotCount());
        last->setHint(e.Comment);
        last->loadPicture(e.FileName, m_exifOrientation);
    } else {
        Viewer.CurrentSlot += 1;
        placeShape(Viewer.CurrentSlot);
        m_btnUp->setEnabled(true);
    }
    if (Viewer.FollowsCursor)
        showSlot(Viewer.CurrentSlot);
}

void MainWindow::scrollUp()
{
    const int c = Viewer.currentEntry();
    if (Viewer.EntryCount < 1 || c <= 1)
        return;
    if (c == 2)
        m_btnUp->setEnabled(false);
    if (Viewer.CurrentSlot <= 1) {
        Viewer.FirstIndex -= 1;
        m_btnDown->setEnabled(true);
        for (int i = SlotCount(); i >= 2; --i) {
            slot(i)->takePicture(*slot(i - 1));
            slot(i)->setHint(Viewer.entry(Viewer.FirstIndex + i).Comment);
        }
        ThumbSlot* first = slot(1);
        const CollectionEntry& e = Viewer.entry(Viewer.FirstIndex + 1);
        first->setHint(e.Comment);
        first->loadPicture(e.FileName, m_exifOrientation);
    } else {
        Viewer.CurrentSlot -= 1;
        placeShape(Viewer.CurrentSlot);
        m_btnDown->setEnabled(true);
    }
    if (Viewer.FollowsCursor)
        showSlot(Viewer.CurrentSlot);
}

void MainWindow::selectSlot(int n)
{
    if (n < 1 || n > SlotCount() || !slot(n)->isEnabled())
        return;
    showActualSize();
    showSlot(n);
    Viewer.CurrentSlot = n;
    placeShape(n);
    updateNavButtons();
    updatePositionTexts(Viewer.FirstIndex + n);
}

void MainWindow::toggleFollowMode()
{
    Viewer.FollowsCursor = !Viewer.FollowsCursor;
    action("mnuFollows")->setChecked(Viewer.FollowsCursor);
    toolButton("btnFollow")->setChecked(Viewer.FollowsCursor);
}

void MainWindow::toggleFollowModeFromButton()
{
    toggleFollowMode();
    toolButton("btnFollow")->setChecked(action("mnuFollows")->isChecked());
}

bool MainWindow::handleKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool keypad = modifiers & Qt::KeypadModifier;
    switch (key) {
    case Qt::Key_Plus:
        if (!keypad)
            return false;
        zoomIn();
        return true;
    case Qt::Key_Minus:
        if (!keypad)
            return false;
        zoomOut();
        return true;
    case Qt::Key_Down:
    case Qt::Key_Space:
        if (m_btnDown->isEnabled())
            scrollDown();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Backspace:
        if (m_btnUp->isEnabled())
            scrollUp();
        return true;
    case Qt::Key_Escape:
        if (m_fullScreen)
            toggleFullScreen();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!Viewer.CollectionFileName.isEmpty() && Viewer.EntryCount > 0)
            showSlot(Viewer.CurrentSlot);
        return true;
    default:
        return false;
    }
}
