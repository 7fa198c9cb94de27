// The effects dialog's OK: the effects written into the current picture or
// into every picture of the collection, and the strip brought up to date.
#include "ui/effects/EffectsDialog.h"

#include "effects/ApplyCheck.h"
#include "effects/FullSizeRender.h"
#include "effects/PictureWrite.h"
#include "graphics/PictureRewrite.h"
#include "ui/common/Dialogs.h"
#include "ui/effects/EffectPreview.h"
#include "viewer/ViewerSession.h"

#include <QProgressDialog>
#include <QToolButton>

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
        dialogs().information(this, m_session->texts().KindNotChangedMessage.arg(path));
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

std::optional<QStringList> EffectsDialog::usableEntries(int* skipped)
{
    QStringList files;
    *skipped = 0;
    for (int k = 1; k <= m_session->entryCount(); ++k) {
        const QString& file = m_session->entry(k).FileName;
        // Kinds that are only shown are passed by, and counted as skipped.
        if (pictureFilePassedBy(file))
            ++*skipped;
        else
            files.append(file);
    }
    const QList<UnusableEntry> unusable = checkEntries(files, m_session->exifOrientation());
    *skipped += int(unusable.size());
    if (unusable.isEmpty())
        return files;
    const ProgramTexts& t = m_session->texts();
    const QString text =
        t.UnusableEntriesMessage + QStringLiteral("\n\n") + unusableList(unusable, 10, t.UnusableMoreText);
    if (!dialogs().question(this, text, t.SkipEntriesCaption, m_cancelButton->text()))
        return std::nullopt;
    return usableFiles(files, unusable);
}

bool EffectsDialog::keepUndoCopies(const QStringList& files, bool* kept)
{
    // Asked before anything is forgotten: Cancel leaves Undo as it was.
    *kept = m_session->runUndoFits(files);
    if (*kept)
        return true;
    const ProgramTexts& t = m_session->texts();
    return dialogs().question(this, t.NoRoomForUndoMessage, t.WithoutUndoCaption, m_cancelButton->text());
}

bool EffectsDialog::applyToAll()
{
    int skipped = 0;
    const std::optional<QStringList> usable = usableEntries(&skipped);
    bool undoKept = false;
    if (!usable || !keepUndoCopies(*usable, &undoKept))
        return false;
    const QStringList& files = *usable;
    m_session->beginRun(files, undoKept);
    const int total = int(files.size());
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

    int written = 0;
    ApplyProgress steps;
    steps.before = [&progress](int k, int n, const QString&) {
        if (progress.wasCanceled())
            return false;
        progress.setLabelText(QStringLiteral("%1 / %2").arg(k).arg(n));
        return true;
    };
    steps.after = [this, &progress, &written](int k, int n, const QString&) {
        written = k;
        progress.setValue(k);
        if (m_progressObserver)
            m_progressObserver(k, n);
    };
    try {
        applyEffectsToFiles(engine, files, m_session->exifOrientation(), steps);
    } catch (...) {
        try {
            finishRun(files.mid(0, written), skipped);
        } catch (...) {
        }
        throw;
    }
    finishRun(files.mid(0, written), skipped);
    return true;
}

// Whatever happened, Undo can put back what was written, the status bar
// tells how far the run went, and the strip shows what the files now hold.
void EffectsDialog::finishRun(const QStringList& written, int skipped)
{
    m_session->endRun(written);
    m_session->announceStatus(m_session->texts().RunSummaryText.arg(written.size()).arg(skipped));
    m_session->requestStripReload();
}
