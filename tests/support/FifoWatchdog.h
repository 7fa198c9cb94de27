#pragma once
// A FIFO for a test, and a writer that comes along after a while unless
// the test is done first: a reader that waits on the FIFO (the fault under
// test) is let go, and fails, rather than holding the suite for good.
#include <QFile>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class FifoWatchdog {
public:
    explicit FifoWatchdog(const QString& path, std::chrono::milliseconds patience = std::chrono::seconds(4))
        : m_name(QFile::encodeName(path))
    {
        m_made = ::mkfifo(m_name.constData(), 0600) == 0;
        m_writer = std::thread([this, patience] {
            std::unique_lock lock(m_mutex);
            if (!m_changed.wait_for(lock, patience, [this] { return m_done; }))
                ::close(::open(m_name.constData(), O_WRONLY | O_NONBLOCK));
        });
    }
    ~FifoWatchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        m_writer.join();
    }
    bool made() const { return m_made; }

private:
    QByteArray m_name;
    bool m_made = false;
    bool m_done = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_writer;
};
