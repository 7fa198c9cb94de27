#include "effects/AllPicturesRun.h"

#include "effects/PictureWrite.h"
#include "graphics/PictureRewrite.h"

AllPicturesRun::AllPicturesRun(const std::vector<EffectSetting>& settings, ExifOrientation exif)
    : m_settings(settings), m_exif(exif)
{
}

AllPicturesRun::Outcome AllPicturesRun::run(const QStringList& entries, Host& host)
{
    Outcome outcome;
    QStringList files;
    for (const QString& file : entries) {
        if (!pictureFilePassedBy(file)) {
            files.append(file);
            continue;
        }
        ++outcome.passedBy;
        host.passedBy(file);
    }
    const QList<UnusableEntry> unusable = checkEntries(files, m_exif);
    outcome.unusable = int(unusable.size());
    if (!unusable.isEmpty()) {
        if (!host.skipUnusable(unusable))
            return outcome;
        files = usableFiles(files, unusable);
    }
    // Asked before anything is forgotten: declining leaves Undo as it was.
    const std::optional<bool> undoKept = host.keepUndoCopies(files);
    if (!undoKept)
        return outcome;
    outcome.started = true;
    host.starting(files, *undoKept);

    // A fresh engine: its noise is the sequence a new program starts with.
    EffectRenderer engine;
    applyEffectSettings(engine, m_settings);
    const int skipped = outcome.passedBy + outcome.unusable;
    ApplyProgress progress;
    progress.before = [&host](int k, int total, const QString& file) { return host.proceed(k, total, file); };
    progress.after = [&host, &outcome](int k, int total, const QString& file) {
        outcome.written = k;
        host.written(k, total, file);
    };
    try {
        applyEffectsToFiles(engine, files, m_exif, progress);
    } catch (...) {
        // Undo and the summary still learn what was written.
        try {
            host.finished(files.mid(0, outcome.written), skipped);
        } catch (...) {
        }
        throw;
    }
    host.finished(files.mid(0, outcome.written), skipped);
    return outcome;
}
