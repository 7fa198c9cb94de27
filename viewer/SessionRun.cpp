#include "viewer/SessionRun.h"

#include "viewer/ViewerSession.h"

bool SessionRun::run(const std::vector<EffectSetting>& settings)
{
    QStringList entries;
    for (int k = 1; k <= m_session.entryCount(); ++k)
        entries.append(m_session.entry(k).path);
    return AllPicturesRun(settings, m_session.exifOrientation()).run(entries, *this).started;
}

bool SessionRun::skipUnusable(const QList<UnusableEntry>& unusable)
{
    const ProgramTexts& t = m_session.texts();
    return ask(t.UnusableEntriesMessage + QStringLiteral("\n\n") + unusableList(unusable, 10, t.UnusableMoreText),
               t.SkipEntriesCaption);
}

std::optional<bool> SessionRun::keepUndoCopies(const QStringList& files)
{
    if (m_session.runUndoFits(files))
        return true;
    const ProgramTexts& t = m_session.texts();
    if (ask(t.NoRoomForUndoMessage, t.WithoutUndoCaption))
        return false;
    return std::nullopt;
}

void SessionRun::starting(const QStringList& files, bool undoKept)
{
    m_session.beginRun(files, undoKept);
    showStarting(int(files.size()));
}

// Whatever happened, Undo can put back what was written, the status bar
// tells how far the run went, and the strip shows what the files now hold.
void SessionRun::finished(const QStringList& written, int skipped)
{
    m_session.endRun(written);
    m_session.announceStatus(m_session.texts().RunSummaryText.arg(written.size()).arg(skipped));
    m_session.requestStripReload();
}
