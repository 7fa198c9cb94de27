// The main window's commands that change pictures: rotation, effects, undo.
#include "effects/PictureWrite.h"
#include "graphics/DisplayColors.h"
#include "graphics/PictureRewrite.h"
#include "ui/common/Dialogs.h"
#include "ui/effects/EffectsDialog.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ThumbSlot.h"

namespace {

void rotateCurrent(MainWindow& w, int angle)
{
    if (w.session().entryCount() < 1 || w.session().currentEntry() > w.session().entryCount())
        return;
    ThumbSlot* s = w.slot(w.session().currentSlot());
    w.Image1()->setPicture(s->picture(), s->standIn());
    w.LabelComent()->setText(s->hint());
    const QString path = w.session().entry(w.session().currentEntry()).FileName;
    if (!s->picture().isEmpty() && !pictureRewritable(s->picture())) {
        dialogs().information(&w, w.session().texts.KindNotChangedMessage.arg(path));
        return;
    }
    // The file is written before anything in memory changes, so a failed
    // write leaves slot, main image and file all holding the old picture.
    const Picture turned = rotatePictureFile(s->picture(), path, angle);
    w.pictureFileChanged(path);
    s->setPicture(turned);
    w.Image1()->setPicture(turned, s->standIn());
}

} // namespace

void MainWindow::setExifOrientation(ExifOrientation exif)
{
    if (exif == m_exifOrientation)
        return;
    m_exifOrientation = exif;
    // The pictures held keep their bytes; only the way they decode changes.
    const ThumbSlot* shown = nullptr;
    for (ThumbSlot* s : m_slots) {
        if (s->picture().isEmpty())
            continue;
        if (!shown && s->picture().sharesDataWith(Image1()->picture()))
            shown = s;
        s->setPicture(s->picture().withExifOrientation(exif));
    }
    if (shown)
        Image1()->setPicture(shown->picture(), shown->standIn());
    else if (!Image1()->picture().isEmpty())
        Image1()->setPicture(Image1()->picture().withExifOrientation(exif));
    m_session->exifOrientation = exif;
    ViewerSession::UndoRecord undo = m_session->undoRecord();
    undo.picture = undo.picture.withExifOrientation(exif);
    m_session->setUndoRecord(undo);
}

void MainWindow::setColorManaged(bool on)
{
    if (on == colorManagedDisplay())
        return;
    setColorManagedDisplay(on);
    // Everything made for the screen is made again; the pictures stay.
    m_decoder->forgetAll();
    for (ThumbSlot* s : m_slots)
        s->remakeRendition();
    const ThumbSlot* shown = nullptr;
    for (const ThumbSlot* s : m_slots) {
        if (!shown && !s->picture().isEmpty() && s->picture().sharesDataWith(Image1()->picture()))
            shown = s;
    }
    Image1()->dropPixels(shown ? shown->standIn() : QImage());
}

void MainWindow::rotateLeft()
{
    rotateCurrent(*this, 270);
}

void MainWindow::rotateRight()
{
    rotateCurrent(*this, 90);
}

void MainWindow::showEffects()
{
    if (m_session->entryCount() < 1 || !m_peers.effects)
        return;
    if (m_session->currentSlot() < 1 || m_session->currentSlot() > SlotCount())
        m_session->setCurrentSlot(1);
    const ThumbSlot* current = slot(m_session->currentSlot());
    Image1()->setPicture(current->picture(), current->standIn());
    m_peers.effects->exec();
}

void MainWindow::undo()
{
    const ViewerSession::UndoRecord& undo = m_session->undoRecord();
    const int e = undo.entry();
    if (e < 1 || e > m_session->entryCount() || undo.picture.isEmpty())
        return;
    const QString path = m_session->entry(e).FileName;
    // The snapshot goes back in the format the file's name promises, so a
    // ".jpg" never receives bitmap bytes.
    const Picture snapshot = pictureForFile(undo.picture, path);
    snapshot.saveToFile(path);
    pictureFileChanged(path);

    const int shown = e - m_session->firstIndex();
    if (shown >= 1 && shown <= SlotCount())
        slot(shown)->setPicture(snapshot);
    const ThumbSlot* current = slot(m_session->currentSlot());
    if (m_session->currentEntry() == e) {
        Image1()->setPicture(snapshot, current->standIn());
    } else {
        Image1()->setPicture(current->picture(), current->standIn());
        statusPanel(1)->setText(m_session->texts.ImagePrefix + QString::number(m_session->currentEntry()) +
                                QStringLiteral(" / ") + QString::number(m_session->entryCount()));
    }
    m_session->setUndoAvailable(false);
}
