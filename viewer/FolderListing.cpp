#include "viewer/FolderListing.h"

#include <utility>

FolderListing::FolderListing(QObject* parent) : QObject(parent) {}

void FolderListing::start(const QString& picture, Done done, Failed failed, std::function<bool()> canTake)
{
    cancel();
    m_held.setTaker(
        [done = std::move(done), failed = std::move(failed)](Outcome& outcome) {
            if (outcome.failure)
                failed(outcome.failure);
            else
                done(outcome.found);
        },
        std::move(canTake));
    auto outcome = std::make_shared<Outcome>();
    m_ticket = m_runner.submit(
        [this, picture, outcome](const JobRunner::StopFlag& stop) -> JobRunner::Delivery {
            try {
                outcome->found = folderPictures(picture, &stop);
            } catch (...) {
                outcome->failure = std::current_exception();
            }
            return [this, outcome] { m_held.hold(outcome); };
        },
        {});
}

void FolderListing::cancel()
{
    if (m_ticket)
        m_runner.cancel(m_ticket);
    m_ticket = 0;
    m_held.drop();
}
