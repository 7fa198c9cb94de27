// The main window's commands that change pictures: rotation, effects, undo.
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"
#include "ui/main/MainWindow.h"
#include "ui/effects/EffectsDialog.h"
#include "effects/PictureWrite.h"

namespace {

void rotateCurrent(MainWindow& w, int angle)
{
    if (Viewer.EntryCount < 1 || Viewer.currentEntry() > Viewer.EntryCount)
        return;
    ThumbSlot* s = w.slot(Viewer.CurrentSlot);
    w.Image1()->setPicture(s->picture());
    w.LabelComent()->setText(s->hint());
    // The file is written before anything in memory changes, so a failed
    // write leaves slot, main image and file all holding the old picture.
    const Picture turned =
        rotatePictureFile(s->picture(), Viewer.entry(Viewer.currentEntry()).FileName, angle);
    s->setPicture(turned);
    w.Image1()->setPicture(turned);
}

} // namespace

void MainWindow::setExifOrientation(ExifOrientation exif)
{
    if (exif == m_exifOrientation)
        return;
    m_exifOrientation = exif;
    // The pictures held keep their bytes; only the way they decode changes.
    for (ThumbSlot* s : m_slots) {
        if (!s->picture().isEmpty())
            s->setPicture(s->picture().withExifOrientation(exif));
    }
    if (!Image1()->picture().isEmpty())
        Image1()->setPicture(Image1()->picture().withExifOrientation(exif));
    undoPicture = undoPicture.withExifOrientation(exif);
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
    if (Viewer.EntryCount < 1 || !frmEffects)
        return;
    if (Viewer.CurrentSlot < 1 || Viewer.CurrentSlot > SlotCount())
        Viewer.CurrentSlot = 1;
    Image1()->setPicture(slot(Viewer.CurrentSlot)->picture());
    frmEffects->exec();
}

void MainWindow::undo()
{
    const int e = undoSlot + undoFirstIndex;
    if (e < 1 || e > Viewer.EntryCount || undoPicture.isEmpty())
        return;
    const QString path = Viewer.entry(e).FileName;
    // The snapshot goes back in the format the file's name promises, so a
    // ".jpg" never receives bitmap bytes.
    const Picture snapshot = pictureForFile(undoPicture, path);
    snapshot.saveToFile(path);

    const int shown = e - Viewer.FirstIndex;
    if (shown >= 1 && shown <= SlotCount())
        slot(shown)->setPicture(snapshot);
    if (Viewer.currentEntry() == e) {
        Image1()->setPicture(snapshot);
    } else {
        Image1()->setPicture(slot(Viewer.CurrentSlot)->picture());
        statusPanel(1)->setText(Texts.ImagePrefix + QString::number(Viewer.currentEntry()) +
                                QStringLiteral(" / ") + QString::number(Viewer.EntryCount));
    }
    setUndoEnabled(false);
}
