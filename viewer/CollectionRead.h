#pragma once
// A collection file is read on a worker: the window answers meanwhile and
// can be closed, and a second open drops the first. What the file held is
// then taken into the session by a CollectionOpen, on the window's thread.
#include "collection/CollectionFile.h"
#include "core/JobRunner.h"
#include "viewer/HeldResult.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>

// What a collection file held.
struct CollectionContents {
    QString path;
    QList<CollectionEntry> entries;
    // Lines left out as too long, numbered from 1.
    QList<int> longLines;
    // What ended the read early, if anything.
    std::exception_ptr failure;
    // False when the file could not be taken at all (missing, no regular
    // file, past the limits): then nothing may change.
    bool opened = false;
};

// Reads `path` here and now, never throwing: a worker's part, and the
// tests'.
CollectionContents readCollectionContents(const QString& path, const std::atomic<bool>* stop = nullptr,
                                          const QByteArray& codePage = {});

class CollectionRead : public QObject {
public:
    using Done = std::function<void(CollectionContents& read)>;
    // A small file is read within this; its contents are then handed on
    // before start() returns, so the window never shows a half-begun open.
    static constexpr std::chrono::milliseconds QuickRead{200};

    // With no quick read at all, every file is handed on from the event loop.
    explicit CollectionRead(QObject* parent = nullptr, std::chrono::milliseconds quickRead = QuickRead);
    // Reads `path` on a worker and runs `done` on this thread with what it
    // held, once `canTake` agrees (a modal dialog standing must not see
    // the collection change under it). A read under way is dropped.
    // `codePage`: what a file that is not UTF-8 is read in (codePageOrLocale).
    void start(const QString& path, const QByteArray& codePage, Done done, std::function<bool()> canTake = {});
    void cancel();
    // Read or held, not yet handed on.
    bool isReading() const;

private:
    JobRunner m_runner;
    std::chrono::milliseconds m_quickRead;
    JobRunner::Ticket m_ticket = 0;
    HeldResult<CollectionContents> m_held{this};
};
