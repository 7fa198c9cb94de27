#pragma once
// The viewer's side of an all-pictures run over the open collection: the
// questions' texts, whether Undo copies fit, the Undo record (an earlier
// one kept while nothing is written), the summary in the status bar and the
// strip brought up to date. A view adds only how it asks and shows
// progress.
#include "effects/AllPicturesRun.h"

class ViewerSession;

class SessionRun : public AllPicturesRun::Host {
public:
    explicit SessionRun(ViewerSession& session) : m_session(session) {}

    // Runs `settings` over every entry; answers whether the run began
    // (false: declined at a question, nothing written).
    bool run(const std::vector<EffectSetting>& settings);

    bool skipUnusable(const QList<UnusableEntry>& unusable) final;
    std::optional<bool> keepUndoCopies(const QStringList& files) final;
    void starting(const QStringList& files, bool undoKept) final;
    void finished(const QStringList& written, int skipped) final;

protected:
    // A question whose answers are `accept` (true) and the view's way of
    // declining.
    virtual bool ask(const QString& text, const QString& accept) = 0;
    virtual void showStarting(int total) { (void)total; }

    ViewerSession& m_session;
};
