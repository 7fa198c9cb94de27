#pragma once
// Reads the information of the picture shown, off the GUI thread, so that
// the panel that shows it never holds the window up. A newer request
// drops the one before it.
#include "core/JobRunner.h"
#include "viewer/PictureInfo.h"

#include <QObject>

#include <functional>

class PictureInfoReader : public QObject {
    Q_OBJECT
public:
    using Read = std::function<PictureInfo(const QString& path)>;
    explicit PictureInfoReader(Read read = readPictureInfo, QObject* parent = nullptr);

    void request(const QString& path);
    // The job asked last, for tests to wait on.
    JobRunner& runner() { return m_runner; }
    JobRunner::Ticket lastTicket() const { return m_ticket; }

signals:
    void ready(const PictureInfo& info);
    // The picture can't be read: `message` says why.
    void failed(const QString& path, const QString& message);

private:
    Read m_read;
    JobRunner::Ticket m_ticket = 0;
    JobRunner m_runner; // last: its jobs end before the rest goes
};
