// The main window's commands that change pictures: rotation, effects, undo.
#include "ui/main/MainWindow.h"

#include "effects/PictureWrite.h"
#include "graphics/PictureRewrite.h"
#include "ui/common/Dialogs.h"
#include "ui/effects/EffectsDialog.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"
#include "viewer/PictureFiles.h"

void MainWindow::rotateLeft()
{
    rotateCurrent(270);
}

void MainWindow::rotateRight()
{
    rotateCurrent(90);
}

void MainWindow::rotateCurrent(int angle)
{
    const StripModel& strip = m_session->strip();
    if (strip.entryInSlot(strip.currentSlot()) == 0)
        return;
    // The file is written before anything in memory changes, so a failed
    // write leaves slot, main image and file all holding the old picture.
    const QString path = m_session->entry(strip.currentEntry()).path;
    const Picture picture = showCurrentPicture();
    if (!pictureRewritable(picture)) {
        m_dialogs.information(this, m_session->texts().KindNotChangedMessage.arg(path));
        return;
    }
    showWrittenPicture(path, rotatePictureFile(picture, path, angle));
}

void MainWindow::showEffects()
{
    if (m_session->entryCount() < 1 || slotCount() < 1)
        return;
    EffectsDialog* effects = m_peers.effects.get();
    if (!effects)
        return;
    showCurrentPicture();
    effects->exec();
}

void MainWindow::undo()
{
    // Written first: a failed write leaves the strip and the main image as
    // they were, and undo still available.
    const QList<RestoredPicture> restored = m_session->undoHistory().undo();
    if (restored.isEmpty())
        return;
    const StripModel& strip = m_session->strip();
    bool currentRestored = false;
    QStringList leftAsTheyAre;
    for (const RestoredPicture& r : restored) {
        if (r.leftAsItIs) {
            leftAsTheyAre.append(r.path);
            continue;
        }
        // Every view of the file follows; one restored from its copy is read again.
        if (r.picture.isEmpty())
            m_files->changed({r.path});
        else
            m_files->written(r.path, r.picture);
        for (int e = 1; e <= m_session->entryCount(); ++e) {
            if (r.entry ? e != r.entry : m_session->entry(e).path != r.path)
                continue;
            if (r.picture.isEmpty() && e == strip.shownEntry())
                m_mainImage->clearPicture();
            if (e == strip.currentEntry() && !r.picture.isEmpty()) {
                m_mainImage->setPicture(r.picture, slot(strip.currentSlot())->standIn());
                m_session->strip().setShownEntry(e);
                currentRestored = true;
            }
        }
    }
    if (currentRestored)
        showShownTexts();
    else
        showCurrentPicture();
    if (!leftAsTheyAre.isEmpty())
        m_dialogs.information(this, m_session->texts().NotRestoredMessage + QStringLiteral("\n\n") +
                                        leftAsTheyAre.join(QLatin1Char('\n')));
}
