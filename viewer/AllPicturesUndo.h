#pragma once
// Undo for an all-pictures run: a copy of every file the run is about to
// write, kept under $XDG_CACHE_HOME/pictavo/undo/ in a folder of this run's
// own, and put back only over files that are still as the run left them.
// The copies go when the next run starts, another collection opens, the
// record is dropped or the program ends.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class AllPicturesUndo {
public:
    // How many bytes the disk that holds `folder` has free (tests replace it).
    using FreeSpace = std::function<qint64(const QString& folder)>;

    explicit AllPicturesUndo(QString folder = defaultFolder(), FreeSpace freeSpace = {});
    ~AllPicturesUndo();
    AllPicturesUndo(const AllPicturesUndo&) = delete;
    AllPicturesUndo& operator=(const AllPicturesUndo&) = delete;

    static QString defaultFolder();
    // Null: the disk's own figure.
    void setFreeSpace(FreeSpace freeSpace);

    // Whether copies of `files` fit on the disk, leaving some room to spare.
    bool hasRoomFor(const QStringList& files) const;
    // A run is about to start: earlier copies go, and each file of `files`
    // (once, however often listed) is copied. Throws AppError when a copy
    // can't be made; nothing is kept then.
    void keepCopies(const QStringList& files);
    // The run is over and wrote `written` (in any number, a file listed
    // again included): their state now is what a restore expects to find.
    void runFinished(const QStringList& written);
    // Copies of a finished run are kept.
    bool canRestore() const { return m_finished; }

    struct Result {
        QStringList restored;
        QStringList changed; // written to since the run: left as they are
    };
    // Puts every file of the run back that is unchanged since (size, time
    // and content); names the others. The copies go.
    Result restore();
    // The copies go and nothing can be restored.
    void discard();

private:
    struct Kept {
        QString path, copy;
        bool written = false;
        qint64 size = -1;
        QDateTime modified;
        QByteArray hash;
    };

    QString m_root;
    FreeSpace m_freeSpace;
    QString m_run; // the folder of this run's copies
    QList<Kept> m_kept;
    bool m_finished = false;
};
