// Moving through the collection: the strip's buttons, its slots and the keys.
#include "ui/main/MainWindow.h"

#include "ui/common/CommentsWindow.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"

#include <QAction>
#include <QToolButton>

void MainWindow::scrollDown()
{
    const int c = m_session->currentEntry();
    if (m_session->entryCount() < 1 || c >= m_session->entryCount())
        return;
    if (c == m_session->entryCount() - 1)
        m_downButton->setEnabled(false);
    if (m_session->currentSlot() >= slotCount()) {
        m_session->setFirstIndex(m_session->firstIndex() + 1);
        m_upButton->setEnabled(true);
        for (int i = 1; i <= slotCount() - 1; ++i) {
            slot(i)->takePicture(*slot(i + 1));
            slot(i)->setHint(m_session->entry(m_session->firstIndex() + i).Comment);
        }
        ThumbSlot* last = slot(slotCount());
        const CollectionEntry& e = m_session->entry(m_session->firstIndex() + slotCount());
        last->setHint(e.Comment);
        loadSlot(last, e);
    } else {
        m_session->setCurrentSlot(m_session->currentSlot() + 1);
        placeShape(m_session->currentSlot());
        m_upButton->setEnabled(true);
    }
    if (m_session->followsCursor())
        showSlot(m_session->currentSlot());
}

void MainWindow::scrollUp()
{
    const int c = m_session->currentEntry();
    if (m_session->entryCount() < 1 || c <= 1)
        return;
    if (c == 2)
        m_upButton->setEnabled(false);
    if (m_session->currentSlot() <= 1) {
        m_session->setFirstIndex(m_session->firstIndex() - 1);
        m_downButton->setEnabled(true);
        for (int i = slotCount(); i >= 2; --i) {
            slot(i)->takePicture(*slot(i - 1));
            slot(i)->setHint(m_session->entry(m_session->firstIndex() + i).Comment);
        }
        ThumbSlot* first = slot(1);
        const CollectionEntry& e = m_session->entry(m_session->firstIndex() + 1);
        first->setHint(e.Comment);
        loadSlot(first, e);
    } else {
        m_session->setCurrentSlot(m_session->currentSlot() - 1);
        placeShape(m_session->currentSlot());
        m_downButton->setEnabled(true);
    }
    if (m_session->followsCursor())
        showSlot(m_session->currentSlot());
}

void MainWindow::selectSlot(int n)
{
    if (n < 1 || n > slotCount() || !slot(n)->isEnabled())
        return;
    showActualSize();
    showSlot(n);
    m_session->setCurrentSlot(n);
    placeShape(n);
    updateNavButtons();
    updatePositionTexts(m_session->firstIndex() + n);
}

void MainWindow::toggleFollowMode()
{
    m_session->setFollowsCursor(!m_session->followsCursor());
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
        if (m_downButton->isEnabled())
            scrollDown();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Backspace:
        if (m_upButton->isEnabled())
            scrollUp();
        return true;
    case Qt::Key_Escape:
        if (m_fullScreen)
            toggleFullScreen();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!m_session->collectionFileName().isEmpty() && m_session->entryCount() > 0)
            showSlot(m_session->currentSlot());
        return true;
    default:
        return false;
    }
}
