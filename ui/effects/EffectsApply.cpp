// The effects dialog's OK: the effects written into the current picture or
// into every picture of the collection, and the strip brought up to date.
#include "ui/effects/EffectsDialog.h"

#include "effects/FullSizeRender.h"
#include "effects/PictureWrite.h"
#include "ui/effects/EffectPreview.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ThumbSlot.h"

#include <QCheckBox>
#include <QProgressDialog>

void EffectsDialog::applyToCurrent()
{
    if (!frmMain || Viewer.EntryCount < 1)
        return;
    const int e = Viewer.currentEntry();
    if (e < 1 || e > Viewer.EntryCount)
        return;
    const QString path = Viewer.entry(e).FileName;
    const Picture before = frmMain->Image1()->picture();
    // A picture that could not be decoded is not written: nothing else
    // could stand in for it.
    const Bitmap24* full = renderFullSize();
    if (!full)
        return;
    // Written first: a failed write throws before the undo record, the
    // main image or the slot have changed.
    const Picture written = writeRenderedPicture(path, *full, before);

    frmMain->undoPicture = before;
    frmMain->undoSlot = Viewer.CurrentSlot;
    frmMain->undoFirstIndex = Viewer.FirstIndex;
    frmMain->setUndoEnabled(true);

    // A kind that is not written keeps the picture it had.
    const Picture now = written.isEmpty() ? before : written;
    frmMain->Image1()->setPicture(now);
    frmMain->slot(Viewer.CurrentSlot)->setPicture(now);
}

void EffectsDialog::applyToAll()
{
    if (!frmMain)
        return;
    const int total = Viewer.EntryCount;
    EffectRenderer engine;
    applyEffectSettings(engine, currentSettings());

    QProgressDialog progress(this);
    progress.setObjectName(QStringLiteral("ProgressApply"));
    progress.setWindowTitle(windowTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    progress.setRange(0, total);
    progress.setValue(0);
    m_progress = &progress;
    struct Forget {
        QProgressDialog*& p;
        ~Forget() { p = nullptr; }
    } forget{m_progress};

    QStringList files;
    for (int k = 1; k <= total; ++k)
        files.append(Viewer.entry(k).FileName);
    ApplyProgress steps;
    steps.before = [&progress](int k, int n, const QString&) {
        if (progress.wasCanceled())
            return false;
        progress.setLabelText(QStringLiteral("%1 / %2").arg(k).arg(n));
        return true;
    };
    steps.after = [this, &progress](int k, int n, const QString&) {
        progress.setValue(k);
        if (m_progressObserver)
            m_progressObserver(k, n);
    };
    try {
        applyEffectsToFiles(engine, files, frmMain->exifOrientation(), steps);
    } catch (...) {
        // The strip shows what the files now hold, also after a failure.
        try {
            refreshStrip();
        } catch (...) {
        }
        throw;
    }
    refreshStrip();
}

void EffectsDialog::refreshStrip()
{
    for (int i = 1; i <= frmMain->SlotCount(); ++i) {
        const int e = Viewer.FirstIndex + i;
        if (e > Viewer.EntryCount)
            break;
        ThumbSlot* s = frmMain->slot(i);
        s->setHint(Viewer.entry(e).Comment);
        s->loadPicture(Viewer.entry(e).FileName, frmMain->exifOrientation());
    }
    frmMain->Image1()->setPicture(frmMain->slot(Viewer.CurrentSlot)->picture());
}
