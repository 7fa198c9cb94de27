// The effects dialog's OK: the effects written into the current picture or
// into every picture of the collection, and the strip brought up to date.
#include "ui/effects/EffectsDialog.h"

#include "effects/FullSizeRender.h"
#include "effects/PictureWrite.h"
#include "graphics/PictureRewrite.h"
#include "ui/common/Dialogs.h"
#include "ui/effects/EffectPreview.h"
#include "viewer/SessionRun.h"
#include "viewer/ViewerSession.h"

#include <QProgressDialog>
#include <QToolButton>

#include <optional>

void EffectsDialog::applyToCurrent()
{
    if (m_session->entryCount() < 1)
        return;
    const int e = m_session->currentEntry();
    if (e < 1 || e > m_session->entryCount())
        return;
    const QString path = m_session->entry(e).path;
    const Picture before = m_currentPicture();
    if (!before.isEmpty() && !pictureRewritable(before)) {
        m_dialogs.information(this, m_session->texts().KindNotChangedMessage.arg(path));
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

namespace {
// The dialog's side of an all-pictures run: its questions and the progress
// dialog.
class DialogRunHost : public SessionRun {
public:
    DialogRunHost(QWidget* parent, ViewerSession& session, DialogProvider& dialogs, QString cancelText,
                  std::function<void(QProgressDialog*)> showProgress, std::function<void(int, int)> observer)
        : SessionRun(session), m_parent(parent), m_dialogs(dialogs), m_cancelText(std::move(cancelText)),
          m_showProgress(std::move(showProgress)), m_observer(std::move(observer))
    {
    }
    ~DialogRunHost() override { m_showProgress(nullptr); }

    bool proceed(int k, int total, const QString&) override
    {
        if (m_progress->wasCanceled())
            return false;
        m_progress->setLabelText(QStringLiteral("%1 / %2").arg(k).arg(total));
        return true;
    }
    void written(int k, int total, const QString&) override
    {
        m_progress->setValue(k);
        if (m_observer)
            m_observer(k, total);
    }

protected:
    bool ask(const QString& text, const QString& accept) override
    {
        return m_dialogs.question(m_parent, text, accept, m_cancelText);
    }
    void showStarting(int total) override
    {
        m_progress.emplace(m_parent);
        QProgressDialog& progress = *m_progress;
        progress.setObjectName(QStringLiteral("ProgressApply"));
        progress.setWindowTitle(m_parent->windowTitle());
        progress.setWindowModality(Qt::WindowModal);
        progress.setAutoClose(false);
        progress.setAutoReset(false);
        progress.setMinimumDuration(0);
        progress.setRange(0, total);
        progress.setValue(0);
        m_showProgress(&progress);
    }

private:
    QWidget* m_parent;
    DialogProvider& m_dialogs;
    QString m_cancelText;
    std::function<void(QProgressDialog*)> m_showProgress;
    std::function<void(int, int)> m_observer;
    std::optional<QProgressDialog> m_progress;
};
} // namespace

bool EffectsDialog::applyToAll()
{
    DialogRunHost host(
        this, *m_session, m_dialogs, m_cancelButton->text(),
        [this](QProgressDialog* progress) { m_progress = progress; }, m_progressObserver);
    return host.run(currentSettings());
}
