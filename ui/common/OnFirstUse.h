#pragma once
// A window built the first time it is asked for, so that the program's
// start makes only what its first frame shows.
#include <QPointer>
#include <functional>

template <class W> class OnFirstUse {
public:
    OnFirstUse() = default;
    explicit OnFirstUse(std::function<W*()> build) : m_build(std::move(build)) {}

    // The window, built on the first call; nullptr when there is none to
    // build or it is gone. Built once: a window deleted is not made again.
    W* get()
    {
        if (!m_built && m_build) {
            m_built = true;
            m_window = m_build();
        }
        return m_window;
    }
    // The window if it was built and still exists; never builds it.
    W* ifBuilt() const { return m_window; }

private:
    std::function<W*()> m_build;
    QPointer<W> m_window;
    bool m_built = false;
};
