#pragma once
// Whether a view still waiting for its picture shows a sign of work, and
// which. Most pictures arrive within a moment, and a sign that flashes for
// each would be worse than none: only a wait past DelayMs shows it, with
// the file's embedded preview (fetched then, off this thread) where it has
// one, until the picture arrives. No widgets: a view draws what this says.
#include "core/JobRunner.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class LoadingSign : public QObject {
    Q_OBJECT
public:
    static constexpr int DelayMs = 300;
    // Milliseconds on a steady clock.
    using Clock = std::function<qint64()>;
    // The work that reads the file's embedded preview (a null image when
    // it has none): made here, run on a worker.
    using Fetch = std::function<std::function<QImage()>(const QString& path)>;

    // Without `fetch`, the sign shows no preview.
    explicit LoadingSign(Fetch fetch = {}, QObject* parent = nullptr);
    // Tests give a clock they move; they then call check() themselves.
    void setClock(Clock clock);

    // The view waits for `path`'s picture (empty: for nothing); `bare`:
    // it draws nothing of it yet (no pixels of another size), so a
    // preview may stand in. The same path again keeps the wait begun.
    void follow(const QString& path, bool bare = true);
    const QString& path() const { return m_path; }
    // Whether the view shows the sign now, and the preview with it (null
    // until it arrives, when the file has none, or when the view is not bare).
    bool isShown() const { return m_shown; }
    const QImage& preview() const { return m_bare ? m_preview : m_none; }
    // Looks at the clock: shows the sign when the wait has run past DelayMs.
    void check();

signals:
    // isShown() or preview() changed.
    void changed();

private:
    qint64 now() const { return m_clock ? m_clock() : m_steady.elapsed(); }
    void schedule();

    Fetch m_fetch;
    Clock m_clock;
    QElapsedTimer m_steady;
    QString m_path;
    qint64 m_since = 0;
    bool m_shown = false;
    QImage m_preview;
    QImage m_none;
    bool m_bare = true;
    QTimer m_due;
    std::unique_ptr<JobRunner> m_runner; // only with a preview to fetch
    JobRunner::Ticket m_ticket = 0;
};
