#include "viewer/FolderListing.h"

#include <utility>

FolderListing::FolderListing(QObject* parent) : QObject(parent)
{
    m_retry.setInterval(50);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &FolderListing::offer);
}

void FolderListing::start(const QString& picture, Done done, Failed failed, std::function<bool()> canTake)
{
    cancel();
    m_done = std::move(done);
    m_failed = std::move(failed);
    m_canTake = std::move(canTake);
    auto outcome = std::make_shared<Outcome>();
    m_ticket = m_runner.submit(
        [this, picture, outcome](const JobRunner::StopFlag& stop) -> JobRunner::Delivery {
            try {
                outcome->found = folderPictures(picture, &stop);
            } catch (...) {
                outcome->failure = std::current_exception();
            }
            return [this, outcome] {
                m_held = outcome;
                offer();
            };
        },
        {});
}

void FolderListing::offer()
{
    if (!m_held)
        return;
    if (m_canTake && !m_canTake()) {
        m_retry.start();
        return;
    }
    const std::shared_ptr<Outcome> outcome = std::exchange(m_held, nullptr);
    if (outcome->failure)
        m_failed(outcome->failure);
    else
        m_done(outcome->found);
}

void FolderListing::cancel()
{
    if (m_ticket)
        m_runner.cancel(m_ticket);
    m_ticket = 0;
    m_held.reset();
    m_retry.stop();
}
