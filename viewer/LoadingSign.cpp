#include "viewer/LoadingSign.h"

#include <algorithm>
#include <utility>
#include <memory>

LoadingSign::LoadingSign(Fetch fetch, QObject* parent)
    : QObject(parent), m_fetch(std::move(fetch)), m_runner(m_fetch ? std::make_unique<JobRunner>() : nullptr)
{
    m_steady.start();
    m_due.setSingleShot(true);
    connect(&m_due, &QTimer::timeout, this, &LoadingSign::check);
}

void LoadingSign::setClock(Clock clock)
{
    m_clock = std::move(clock);
    m_due.stop();
}

void LoadingSign::follow(const QString& path, bool bare)
{
    if (std::exchange(m_bare, bare) != bare && m_shown && !m_preview.isNull())
        emit changed();
    if (path == m_path)
        return;
    m_path = path;
    m_since = now();
    if (m_ticket)
        m_runner->cancel(m_ticket);
    m_ticket = 0;
    const bool wasShown = std::exchange(m_shown, false) || !m_preview.isNull();
    m_preview = QImage();
    schedule();
    if (wasShown)
        emit changed();
}

void LoadingSign::schedule()
{
    if (m_path.isEmpty() || m_clock)
        m_due.stop();
    else
        m_due.start(int(std::max<qint64>(0, m_since + DelayMs - now())));
}

void LoadingSign::check()
{
    if (m_path.isEmpty() || m_shown)
        return;
    if (now() - m_since < DelayMs) {
        schedule();
        return;
    }
    m_shown = true;
    if (m_fetch) {
        const QString path = m_path;
        auto preview = std::make_shared<QImage>();
        m_ticket = m_runner->submit(
            [this, work = m_fetch(path), path, preview](const JobRunner::StopFlag&) -> JobRunner::Delivery {
                *preview = work();
                return [this, path, preview] {
                    if (path != m_path || preview->isNull())
                        return;
                    m_preview = *preview;
                    emit changed();
                };
            },
            [](std::exception_ptr) {}); // no preview: the sign alone
    }
    emit changed();
}
