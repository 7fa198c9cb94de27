#pragma once
// One all-pictures run, for the effects dialog and `pictavo-fx apply` alike:
// kinds that are only shown are passed by, every other entry is checked
// before the first write and the unusable ones are skipped only when the
// host agrees, undo copies are asked for, then the files are written in
// order, each told before (where the host may stop the run) and after, and
// the run ends with its counts. The host only shows and answers.
//
// The run's engine is its own, and so is its noise sequence: every run
// draws the noise a freshly started program draws.
#include "effects/ApplyCheck.h"
#include "effects/EffectSettings.h"

#include <optional>

class AllPicturesRun {
public:
    class Host {
    public:
        virtual ~Host() = default;
        // A file of a kind that is only shown: passed by and counted.
        virtual void passedBy(const QString& file) { (void)file; }
        // Some entries can't be written: true writes the others, false
        // writes nothing.
        virtual bool skipUnusable(const QList<UnusableEntry>& unusable) = 0;
        // Whether copies of `files` are kept for Undo: true to keep them,
        // false to go on without, none to write nothing.
        virtual std::optional<bool> keepUndoCopies(const QStringList& files)
        {
            (void)files;
            return false;
        }
        // The run is about to write `files`, in order.
        virtual void starting(const QStringList& files, bool undoKept)
        {
            (void)files;
            (void)undoKept;
        }
        // Before file k of total (from 1): false stops the run there.
        virtual bool proceed(int k, int total, const QString& file)
        {
            (void)k;
            (void)total;
            (void)file;
            return true;
        }
        virtual void written(int k, int total, const QString& file)
        {
            (void)k;
            (void)total;
            (void)file;
        }
        // The run is over, done, stopped or failed: `written` are the files
        // written, in order; `skipped` the entries passed by or unusable.
        // On a failure it comes before the failure propagates.
        virtual void finished(const QStringList& written, int skipped)
        {
            (void)written;
            (void)skipped;
        }
    };

    struct Outcome {
        bool started = false; // false: the host declined; nothing was written
        int written = 0;
        int passedBy = 0; // kinds only shown
        int unusable = 0; // skipped after the check
    };

    AllPicturesRun(const std::vector<EffectSetting>& settings, ExifOrientation exif);

    // Runs over the entries' files, in collection order. Throws AppError as
    // a write fails; no file after it is written.
    Outcome run(const QStringList& entries, Host& host);

private:
    std::vector<EffectSetting> m_settings;
    ExifOrientation m_exif;
};
