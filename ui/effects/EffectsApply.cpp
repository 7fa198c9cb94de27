// The effects dialog's OK: the effects written into the current picture or
// into every picture of the collection, and the strip brought up to date.
#include "ui/effects/EffectsDialog.h"

#include "effects/FullSizeRender.h"
#include "effects/PictureWrite.h"
#include "graphics/PictureRewrite.h"
#include "ui/common/Dialogs.h"
#include "ui/effects/EffectPreview.h"
#include "viewer/ViewerSession.h"

#include <QCheckBox>
#include <QProgressDialog>

void EffectsDialog::applyToCurrent()
{
    if (m_session->entryCount() < 1)
        return;
    const int e = m_session->currentEntry();
    if (e < 1 || e > m_session->entryCount())
        return;
    const QString path = m_session->entry(e).FileName;
    const Picture before = m_currentPicture();
    if (!before.isEmpty() && !pictureRewritable(before)) {
        dialogs().information(this, m_session->texts.KindNotChangedMessage.arg(path));
        return;
    }
    // A picture that could not be decoded is not written: nothing else
    // could stand in for it.
    const Bitmap24* full = renderFullSize();
    if (!full)
        return;
    // Written first: a failed write throws before the undo record, the
    // main image or the slot have changed.
    const Picture written = writeRenderedPicture(path, *full, before);

    m_session->recordUndo(before);

    // A kind that is not written keeps the picture it had.
    const Picture now = written.isEmpty() ? before : written;
    m_session->announcePictureReplaced(now);
}

void EffectsDialog::applyToAll()
{
    const int total = m_session->entryCount();
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
    int passedBy = 0;
    for (int k = 1; k <= total; ++k) {
        const QString& file = m_session->entry(k).FileName;
        if (pictureFilePassedBy(file))
            ++passedBy;
        else
            files.append(file);
    }
    progress.setRange(0, int(files.size()));
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
    int done = 0;
    try {
        done = applyEffectsToFiles(engine, files, m_session->exifOrientation, steps);
    } catch (...) {
        // The strip shows what the files now hold, also after a failure.
        try {
            m_session->requestStripReload();
        } catch (...) {
        }
        throw;
    }
    m_session->requestStripReload();
    if (passedBy > 0)
        dialogs().information(this, m_session->texts.KindsSkippedMessage.arg(done).arg(passedBy));
}
