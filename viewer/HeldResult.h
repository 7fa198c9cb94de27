#pragma once
// A worker's result held on its owner's thread until the owner can take it
// (a modal dialog standing must not see the collection change under it),
// looked at again every 50 ms.
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <utility>

template <class T>
class HeldResult {
public:
    using Take = std::function<void(T& result)>;

    explicit HeldResult(QObject* owner)
    {
        m_retry.setInterval(50);
        m_retry.setSingleShot(true);
        QObject::connect(&m_retry, &QTimer::timeout, owner, [this] { offer(); });
    }
    // What the next result goes to, and whether it may go now (none: always).
    void setTaker(Take take, std::function<bool()> canTake)
    {
        m_take = std::move(take);
        m_canTake = std::move(canTake);
    }
    void hold(std::shared_ptr<T> result)
    {
        m_held = std::move(result);
        offer();
    }
    void drop()
    {
        m_held.reset();
        m_retry.stop();
    }
    bool holds() const { return m_held != nullptr; }

private:
    void offer()
    {
        if (!m_held)
            return;
        if (m_canTake && !m_canTake()) {
            m_retry.start();
            return;
        }
        const std::shared_ptr<T> result = std::exchange(m_held, nullptr);
        const Take take = m_take; // it may start the next work, which sets another
        take(*result);
    }

    Take m_take;
    std::function<bool()> m_canTake;
    std::shared_ptr<T> m_held;
    QTimer m_retry;
};
