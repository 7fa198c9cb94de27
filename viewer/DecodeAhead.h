#pragma once
// Decodes pictures for the main image on one worker: first the entry
// shown, then the entries beside it, each at the size it will be drawn.
// Results wait in a small cache that holds only the entries last asked
// for; work for any other entry is dropped. Nothing here touches a widget:
// results arrive as QImages on the owner's thread.
#include "core/JobRunner.h"
#include "graphics/Picture.h"
#include "viewer/FileStamp.h"
#include "viewer/PicturePlacement.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>

#include <future>
#include <memory>
#include <mutex>
#include <optional>

// What was made for one entry. `image` is the picture at `target.drawn`, or
// full size when that is its own size; `band` holds full-size pixels of
// `bandRect` until the whole picture is done.
struct Decoded {
    QString path;
    FileStamp stamp; // only when the file was read here
    Picture picture;
    QImage thumb;
    DrawTarget target;
    QImage image;
    QImage band;
    QRect bandRect;
    bool displayColors = false; // how the pixels were asked for
};

// The picture a start shows first (one named, or a named collection's
// first entry), read and decoded on a thread of its own while the windows
// are made. How large it will be drawn is known only once the
// window is laid out: it is decoded for a guess (fitted to the screen), and
// the first decode of that file for the main image takes what it made.
class EarlyDecode {
public:
    struct Made {
        Picture picture;
        FileStamp stamp;
        QImage covering; // at least the guessed size; null when none was guessed
    };
    // `guess` may be empty: the picture is then only read.
    EarlyDecode(const QString& path, const DrawRule& guess, ExifOrientation exif, bool displayColors);
    // Whether it reads `path` as a decode with these settings would.
    bool serves(const QString& path, ExifOrientation exif, bool displayColors) const
    {
        return path == m_path && exif == m_exif && displayColors == m_displayColors;
    }
    // Waits for the work and hands what it made over, once; throws what
    // reading the file threw.
    std::optional<Made> take();
    // Whether pixels of a picture of `picture` decoded `covering` large
    // give it drawn at `drawn`: a JPEG's as its decode for `drawn` would (at
    // the same scale: the smallest, 1/8, serves every size below it), whole
    // blocks or a whole picture less than twice as large scaled once.
    static bool serves(Picture::Kind kind, QSize picture, QSize covering, QSize drawn);

private:
    QString m_path;
    ExifOrientation m_exif;
    bool m_displayColors;
    std::mutex m_mutex;
    bool m_taken = false;
    std::future<Made> m_made; // of std::async: its end waits for the work
};

class DecodeAhead : public QObject {
    Q_OBJECT
public:
    // An entry to decode: its file and, when it is held already, its picture.
    struct Entry {
        QString path;
        Picture picture;
    };

    // `thumbBox`: the rendition made from the drawn pixels of entries read
    // from their file, when they cover it.
    explicit DecodeAhead(QSize thumbBox, QObject* parent = nullptr);

    // The entry shown and those to have ready next, in that order; an entry
    // without a picture is read from its file (the shown one too, unless
    // its path is empty). As Is
    // shows the shown entry's visible band first and the whole after; for
    // the others the band is enough. Drops everything else. Pixels come
    // in display colours when `displayColors` asks.
    void want(const Entry& shown, const QList<Entry>& ahead, const DrawRule& rule, ExifOrientation exif,
              bool displayColors);
    // The shown entry's first decode takes from `early` when it serves it;
    // dropped once an entry of another file is shown.
    void takeEarly(std::shared_ptr<EarlyDecode> early) { m_early = std::move(early); }
    // What is ready for `path` (null when nothing).
    std::shared_ptr<const Decoded> find(const QString& path) const;
    // The file changed: nothing made from it may be shown again.
    void forget(const QString& path);
    // Nothing made so far may be shown again (the display colours changed).
    void forgetAll();
    // How many entries the cache holds.
    int cachedCount() const { return int(m_cache.size()); }
    // Blocks until no work runs or waits (results still arrive queued).
    void waitForIdle();

signals:
    // A result for `path` went into the cache.
    void ready(const QString& path);
    // The shown entry could not be decoded.
    void failed(const QString& path, const QString& message);

private:
    enum class Work { Scaled, Whole };
    struct Task {
        Entry entry;
        Work work;
        DrawTarget target; // as the rule gave it when the picture was known
        DrawRule rule;
        ExifOrientation exif;
        bool displayColors;
        bool shown;
        std::shared_ptr<EarlyDecode> early;
    };
    struct Submitted {
        Task task;
        JobRunner::Ticket ticket;
    };
    static bool sameTask(const Task& a, const Task& b);
    bool cached(const Task& t) const;
    // Queues `tasks` in order, keeping the one at work when it is among them.
    void schedule(QList<Task> tasks);
    void submit(const Task& task);
    // Runs on the worker.
    static Decoded decode(const Task& task, QSize thumbBox, const JobRunner::StopFlag& stop);
    void store(Decoded result);

    QSize m_thumbBox;
    QHash<QString, std::shared_ptr<const Decoded>> m_cache;
    QHash<QString, Picture> m_wanted; // an empty picture: read from the file
    QString m_shownPath;
    std::shared_ptr<EarlyDecode> m_early;
    QList<Submitted> m_submitted; // possibly delivered since
    JobRunner m_runner;           // last: its jobs end before the rest goes
};
