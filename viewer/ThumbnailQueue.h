#pragma once
// Makes the strip's thumbnails on workers, in the order the strip shows its
// slots. Work for a file no longer wanted stops; a thumbnail of a file
// written since it was read is dropped and made again. Results arrive on
// the owner's thread.
#include "core/JobRunner.h"
#include "viewer/SlotThumbnail.h"

#include <QList>
#include <QObject>
#include <QStringList>

class ThumbnailQueue : public QObject {
    Q_OBJECT
public:
    explicit ThumbnailQueue(int threads = 1, QObject* parent = nullptr);

    // How thumbnails are made; changing it drops everything under way.
    void setOptions(const SlotThumbnailOptions& options);
    const SlotThumbnailOptions& options() const { return m_options; }
    // The files to make, in view order. Work already begun on one of them
    // carries on; the rest is queued anew in this order.
    void want(const QStringList& paths);
    // Nothing made so far may arrive (the files or the way they are drawn
    // changed).
    void forgetAll();
    bool isBusy() const { return !m_submitted.isEmpty(); }
    // Blocks until no work runs or waits (results still arrive queued).
    void waitForIdle();

signals:
    void arrived(const SlotThumbnail& thumbnail);
    // Everything wanted has arrived.
    void drained();

private:
    struct Submitted {
        QString path;
        JobRunner::Ticket ticket;
    };
    void submit(const QString& path);
    void deliver(const SlotThumbnail& thumbnail);

    SlotThumbnailOptions m_options;
    QStringList m_wanted;
    QList<Submitted> m_submitted; // possibly delivered since
    JobRunner m_runner;           // last: its jobs end before the rest goes
};
