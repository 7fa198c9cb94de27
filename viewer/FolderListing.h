#pragma once
// The pictures of a folder are listed on a worker, so a picture named by
// itself shows while a folder of thousands is still being read; a second
// listing drops the first.
#include "core/JobRunner.h"
#include "viewer/FolderPictures.h"
#include "viewer/HeldResult.h"

#include <QObject>

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
    bool isListing() const { return m_held.holds() || (m_ticket && m_runner.isPending(m_ticket)); }

private:
    struct Outcome {
        FolderPictures found;
        std::exception_ptr failure;
    };
    JobRunner m_runner;
    JobRunner::Ticket m_ticket = 0;
    HeldResult<Outcome> m_held{this};
};
