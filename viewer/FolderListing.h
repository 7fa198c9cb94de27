#pragma once
// The pictures of a folder are listed on a worker, so a picture named by
// itself shows while a folder of thousands is still being read; a second
// listing drops the first.
#include "core/JobRunner.h"
#include "viewer/FolderPictures.h"

#include <QObject>
#include <QTimer>

#include <exception>
#include <functional>
#include <memory>

class FolderListing : public QObject {
public:
    using Done = std::function<void(const FolderPictures& found)>;
    using Failed = std::function<void(std::exception_ptr failure)>;

    explicit FolderListing(QObject* parent = nullptr);
    // Lists the folder of `picture` (see folderPictures) and runs `done`
    // with what it held, or `failed`, on this thread once `canTake` agrees
    // (a modal dialog standing must not see the collection change under it).
    void start(const QString& picture, Done done, Failed failed, std::function<bool()> canTake = {});
    void cancel();
    // Listed or held, not yet handed on.
    bool isListing() const { return m_held || (m_ticket && m_runner.isPending(m_ticket)); }

private:
    struct Outcome {
        FolderPictures found;
        std::exception_ptr failure;
    };
    void offer();

    JobRunner m_runner;
    JobRunner::Ticket m_ticket = 0;
    Done m_done;
    Failed m_failed;
    std::function<bool()> m_canTake;
    std::shared_ptr<Outcome> m_held;
    QTimer m_retry;
};
