// Moving through the collection: the strip's buttons, its slots and the
// keys. The strip model decides each step; the window shows it.
#include "ui/main/MainWindow.h"

#include "core/Errors.h"

#include "ui/common/CommentsWindow.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"
#include "viewer/PictureFiles.h"

#include <algorithm>

void MainWindow::stepForward()
{
    showStep(m_session->strip().next());
}

void MainWindow::stepBack()
{
    showStep(m_session->strip().previous());
}

void MainWindow::showStep(const StripModel::Step& step)
{
    const StripModel& strip = m_session->strip();
    if (step.kind == StripModel::Step::None)
        return;
    updateNavButtons();
    if (step.kind == StripModel::Step::Scroll) {
        // Every slot takes its neighbour's rendition; the slot that comes
        // into view is filled off the GUI thread.
        const int n = slotCount();
        const bool forward = step.loadSlot == n;
        for (int k = 1; k < n; ++k) {
            const int i = forward ? k : n + 1 - k;
            slot(i)->takeThumbnail(*slot(forward ? i + 1 : i - 1));
            const int e = strip.entryInSlot(i);
            slot(i)->setHint(e ? m_session->entry(e).comment : QString());
        }
        if (step.loadSlot >= 1) {
            ThumbSlot* s = slot(step.loadSlot);
            const CollectionEntry& e = m_session->entry(step.loadEntry);
            s->setHint(e.comment);
            s->setFile(e.path);
        }
        fillStrip();
    } else {
        placeHighlight();
    }
    if (m_session->followsCursor())
        showSlot(strip.currentSlot());
}

void MainWindow::selectSlot(int n)
{
    if (n < 1 || n > slotCount() || m_session->strip().entryInSlot(n) == 0)
        return;
    showChosenPicture();
    showSlot(n);
    m_session->strip().select(n);
    placeHighlight();
    updateNavButtons();
    updatePositionTexts(m_session->strip().entryInSlot(n));
}

void MainWindow::goToEntry(int entry)
{
    StripModel& strip = m_session->strip();
    if (!strip.holdsEntries())
        return;
    entry = std::clamp(entry, 1, m_session->entryCount());
    const int from = strip.currentEntry();
    if (entry == from + 1 || entry == from - 1) {
        // One step: the strip moves as Down and Up move it.
        showStep(entry > from ? strip.next() : strip.previous());
        if (m_session->followsCursor())
            return;
    } else if (strip.goTo(entry)) {
        loadSlotPictures();
    }
    placeHighlight();
    updateNavButtons();
    if (slotCount() == 0) {
        // No strip laid out yet: the entry is shown once there is one.
        m_mainImage->clearPicture();
        strip.setShownEntry(strip.currentEntry());
    }
    showSlot(strip.currentSlot());
}

void MainWindow::showSlot(int n)
{
    if (n < 1 || n > slotCount())
        return;
    const int entry = m_session->strip().firstIndex() + n;
    ThumbSlot* s = slot(n);
    StripModel& strip = m_session->strip();
    // The entry shown keeps its picture; another's comes from what was
    // decoded ahead, or from the decoder once it has read the file.
    if (entry != strip.shownEntry() || m_mainImage->picture().isEmpty()) {
        m_files->tryAgain();
        if (!s->failure().isEmpty())
            m_mainImage->showReason(s->failure());
        else
            m_mainImage->clearPicture();
    }
    strip.setShownEntry(entry);
    // What was decoded ahead shows at once; the rest is asked for.
    updateDecodes();
    showShownTexts();
}

void MainWindow::showShownTexts()
{
    const int e = m_session->strip().shownEntry();
    if (e < 1 || e > m_session->entryCount())
        return;
    m_commentsText = m_session->entry(e).comment;
    m_commentLabel->setText(m_commentsText);
    if (CommentsWindow* comments = m_peers.comments.ifBuilt())
        comments->setCommentText(m_commentsText);
    updatePositionTexts(e);
}

void MainWindow::toggleFollowMode()
{
    m_session->setFollowsCursor(!m_session->followsCursor());
}

bool MainWindow::handleKey(int key, Qt::KeyboardModifiers modifiers)
{
    using C = ViewerCommand;
    const bool keypad = modifiers & Qt::KeypadModifier;
    switch (key) {
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        if (!keypad)
            return false;
        run(key == Qt::Key_Plus ? C::ZoomIn : C::ZoomOut);
        return true;
    case Qt::Key_Down:
    case Qt::Key_Space:
        run(C::StripForward);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Backspace:
        run(C::StripBack);
        return true;
    case Qt::Key_Escape:
        if (m_session->isFullScreen())
            run(C::FullScreen);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        run(C::ShowHighlighted);
        return true;
    default:
        return false;
    }
}
