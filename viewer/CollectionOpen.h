#pragma once
// Opening a collection as a job of small steps: once the file has been read
// (see CollectionRead), each step takes one entry into the session, the
// strip's entries with their pictures. Between steps the window shows how
// far the open got; nothing runs the event loop in the middle, so no
// command can run half way through an open.
#include "collection/CollectionFile.h"
#include "viewer/CollectionRead.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>

class ViewerSession;

class CollectionOpen {
public:
    // Puts entry `e`'s picture into strip slot `slot`; throws when the
    // picture cannot be read (the slot then shows why).
    using LoadSlot = std::function<void(int slot, const CollectionEntry& e)>;

    // Throws AppError when the file could not be taken at all, with nothing
    // changed (the undo record included); otherwise begins the open of what
    // it held in `session`.
    CollectionOpen(ViewerSession& session, CollectionContents read, int slotCount, LoadSlot loadSlot);
    // Opens `entries` as a collection with no file yet: the session's
    // collection file name stays empty until the editor saves it.
    CollectionOpen(ViewerSession& session, const QList<CollectionEntry>& entries, int slotCount,
                   LoadSlot loadSlot);

    // Takes the next entry; false once every entry is done. A picture that
    // cannot be read is taken like any other, so every entry stays
    // reachable; its failure is kept to tell if the session says so.
    bool step();
    // Entries taken so far (the number just taken after a step).
    int taken() const { return m_taken; }
    int listed() const { return int(m_entries.size()); }
    // Whether the window should show how far the open got: after each entry
    // of the strip, then only now and then (firstMs, then every laterMs).
    bool progressDue();
    void setProgressIntervals(int firstMs, int laterMs);

    // Ends the open in the session. Answers the failure to report, if any:
    // the file's and the lines left out, else those lines and the pictures
    // to tell.
    std::exception_ptr finish();

private:
    ViewerSession& m_session;
    int m_slotCount;
    LoadSlot m_loadSlot;
    QList<CollectionEntry> m_entries;
    qsizetype m_next = 0;
    int m_taken = 0;
    std::exception_ptr m_readFailure;
    QString m_longLines;           // the lines left out, told
    QStringList m_pictureFailures; // to tell, one line each
    QElapsedTimer m_sinceProgress;
    bool m_progressShown = false;
    int m_firstMs = 1000;
    int m_laterMs = 250;
};
