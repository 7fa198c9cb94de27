#pragma once
// The picture files shown somewhere, one PictureFile each, known by path:
// in the strip's slots, in the main image, decoded ahead beside it. Here
// their renditions are asked for off the GUI thread (the strip's thumbnails
// and the main image's pixels), a command learns which picture it starts
// from, and a write announces itself, so that every view of the file
// follows. What can't be read is told as the session's rule says. No
// widgets: the window draws what is held here and says what it shows.
#include "viewer/DecodeAhead.h"
#include "viewer/PictureFile.h"
#include "viewer/ThumbnailQueue.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>

class ViewerSession;

class PictureFiles : public QObject {
    Q_OBJECT
public:
    // An open's strip waits for the main image's pixels no longer than this.
    static constexpr int StripWaitMs = 1500;

    // `slotBox`: the size the strip's renditions are fitted to.
    PictureFiles(ViewerSession& session, QSize slotBox, QObject* parent = nullptr);

    // The file as known here; one that knows nothing when it is shown nowhere.
    const PictureFile& file(const QString& path) const;

    // The strip shows these files in view order (an empty path: a slot
    // without an entry). The renditions they lack are made in that order,
    // unless an open holds the strip back for the main image.
    void showInStrip(const QStringList& paths);
    // An open: the strip waits for the main image's pixels, and the
    // failures it meets are told together once it is filled. A file that
    // could not be read is tried, and told, again.
    void beginOpen();
    // How long an open's strip waits for the main image (a loaded machine's
    // tests wait for the order of events, not for the clock).
    void setStripWait(std::chrono::milliseconds wait) { m_stripWaitTimer.setInterval(wait); }

    // The main image shows `path` (empty: no entry) and draws by `rule`;
    // `beside` are decoded next. Unless it holds a picture (watchMainPicture), its
    // pixels are read from the file; a file that failed is not read again
    // while it stays shown, nor a held picture that failed to decode.
    void showInMain(const QString& path, const QStringList& beside, const DrawRule& rule);
    // Asks what the main image holds now; empty while it waits for one.
    void watchMainPicture(std::function<Picture()> held) { m_held = std::move(held); }
    // The main image moves to another entry: a failure to read its file is
    // tried again.
    void tryAgain() { m_failedShown.clear(); }
    // What was decoded for `path` (null when nothing is ready).
    std::shared_ptr<const Decoded> decoded(const QString& path) const { return m_decoder.find(path); }

    // The picture a command on `path` starts from: `shown`, the main image's
    // picture of that file, unless it was read from the file before another
    // program changed it; else the one read or written last while the file
    // is unchanged; else read now (throws AppError when it can't be).
    Picture commandPicture(const QString& path, const Picture& shown);
    // A command wrote `now` into `path`: every view of it shows `now`.
    void written(const QString& path, const Picture& now);
    // These files changed (a run over every picture, an undo from copies):
    // read again, whatever their stamps say.
    void changed(const QStringList& paths);
    // The display colours changed: everything made for the screen is made again.
    void recolour();
    // Pictures are read as `exif` says: every rendition is made again, held
    // pictures keep their bytes.
    void reorient(ExifOrientation exif);

    // The workers, for tests and benchmarks that wait for them.
    DecodeAhead& decoder() { return m_decoder; }
    ThumbnailQueue& thumbnails() { return m_thumbnails; }

signals:
    // The file's rendition changed: every slot showing it draws it.
    void thumbnailChanged(const QString& path);
    // Pixels for the main image's file arrived.
    void decodedForMain(const QString& path);
    // The main image's file can't be read: it says why.
    void mainFailed(const QString& path, const QString& text);
    // Failures to tell the user now, one text.
    void failuresToTell(const QString& text);

private:
    PictureFile& fileOf(const QString& path);
    // Only files shown somewhere are kept.
    void keepShown();
    void fillStrip();
    void releaseStrip();
    // Hands what was decoded for `path` on; answers whether it was the
    // main image's.
    bool offerDecoded(const QString& path);
    void takeDecoded(const QString& path);
    void takeFailure(const QString& path, const QString& text);
    void takeThumbnail(const SlotThumbnail& made);
    void tellStripFailures();
    // Whatever was made of `path` may not show again.
    void forgetMade(const QString& path);

    ViewerSession& m_session;
    QSize m_slotBox;
    QHash<QString, PictureFile> m_files;
    QStringList m_strip;
    QString m_shown;
    QStringList m_beside;
    std::function<Picture()> m_held = [] { return Picture(); };
    QString m_failedShown;     // the shown file that failed: not read again
    Picture m_failedPicture;   // a held picture that failed to decode: not again
    bool m_stripWaits = false; // an open's strip waits for the main image
    QTimer m_stripWaitTimer;
    QStringList m_stripFailures; // to tell once the strip is filled
    DecodeAhead m_decoder;
    ThumbnailQueue m_thumbnails; // last: its jobs end before the rest goes
};
