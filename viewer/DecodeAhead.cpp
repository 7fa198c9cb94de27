#include "viewer/DecodeAhead.h"

#include "core/Errors.h"

#include <QFile>

#include <sys/stat.h>

#include <algorithm>

namespace {

// Past this many drawn pixels the main image draws straight from the whole
// picture rather than from a copy scaled to the drawn size.
constexpr qint64 LargestScaledCopy = 16'000'000;

bool ownSize(const DrawTarget& t, QSize picture)
{
    return t.drawn == picture;
}

QImage drawnPixels(const Picture& picture, QSize drawn, const std::atomic<bool>& stop, const QImage& known)
{
    if (drawn.isEmpty())
        return QImage();
    if (drawn == picture.size() || qint64(drawn.width()) * drawn.height() > LargestScaledCopy)
        return picture.decodedCovering(picture.size(), &stop);
    const QImage covering = picture.decodedCovering(drawn, &stop, known);
    if (covering.isNull() || covering.size() == drawn)
        return covering;
    return covering.scaled(drawn, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

FileStamp FileStamp::of(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

DecodeAhead::DecodeAhead(QSize thumbBox, QObject* parent)
    : QObject(parent), m_thumbBox(thumbBox), m_thread([this] { run(); })
{
}

DecodeAhead::~DecodeAhead()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_queue.clear();
        if (m_running)
            *m_running->stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

bool DecodeAhead::sameTask(const Task& a, const Task& b)
{
    return a.entry.path == b.entry.path && a.work == b.work && a.generation == b.generation &&
           a.entry.picture.sharesDataWith(b.entry.picture) && a.target == b.target;
}

bool DecodeAhead::cached(const Task& t) const
{
    const std::shared_ptr<const Decoded> d = find(t.entry.path);
    if (!d)
        return false;
    const DrawTarget target = t.rule(d->picture.size());
    const bool image = !d->image.isNull() && d->target.drawn == target.drawn;
    if (t.work == Work::Whole || !ownSize(target, d->picture.size()))
        return image;
    return image || (!d->band.isNull() && d->bandRect.contains(target.visible));
}

void DecodeAhead::want(const Entry& shown, const QList<Entry>& ahead, const DrawRule& rule,
                       ExifOrientation exif)
{
    QList<Entry> entries;
    if (!shown.picture.isEmpty())
        entries << shown;
    entries << ahead;

    // Only what is asked for now stays; a cached entry whose picture or file
    // has changed since goes too.
    const qsizetype shownCount = shown.picture.isEmpty() ? 0 : 1;
    m_wanted.clear();
    QHash<QString, std::shared_ptr<const Decoded>> keep;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry& e = entries.at(i);
        m_wanted.insert(e.path, e.picture);
        std::shared_ptr<const Decoded> d = m_cache.value(e.path);
        if (!d || keep.contains(e.path))
            continue;
        const bool same = e.picture.isEmpty() ? d->stamp.isValid() && d->stamp == FileStamp::of(e.path)
                                              : d->picture.sharesDataWith(e.picture);
        if (!same || d->picture.exifOrientation() != exif)
            continue;
        // Beside the shown one, a whole picture at its own size is more than
        // needed: its visible band is enough.
        if (i >= shownCount && ownSize(d->target, d->picture.size()) && !d->image.isNull()) {
            auto slim = std::make_shared<Decoded>(*d);
            slim->image = QImage();
            d = slim;
        }
        keep.insert(e.path, d);
    }
    m_cache = keep;

    std::deque<Task> tasks;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry& e = entries.at(i);
        const bool isShown = i < shownCount;
        const DrawTarget target = e.picture.isEmpty() ? DrawTarget{} : rule(e.picture.size());
        tasks.push_back({e, Work::Scaled, target, rule, exif, isShown, {}, m_generation});
        if (isShown && ownSize(target, e.picture.size()))
            tasks.push_back({e, Work::Whole, target, rule, exif, true, {}, m_generation});
    }
    std::erase_if(tasks, [this](const Task& t) { return cached(t); });

    {
        std::lock_guard lock(m_mutex);
        bool runningWanted = false;
        if (m_running) {
            auto it = std::find_if(tasks.begin(), tasks.end(),
                                   [this](const Task& t) { return sameTask(t, *m_running); });
            runningWanted = it != tasks.end();
            if (runningWanted)
                tasks.erase(it);
            else
                *m_running->stop = true;
        }
        m_queue = std::move(tasks);
    }
    m_wake.notify_all();
}

std::shared_ptr<const Decoded> DecodeAhead::find(const QString& path) const
{
    return m_cache.value(path);
}

void DecodeAhead::forget(const QString& path)
{
    m_cache.remove(path);
    m_wanted.remove(path);
    std::lock_guard lock(m_mutex);
    std::erase_if(m_queue, [&](const Task& t) { return t.entry.path == path; });
    if (m_running && m_running->entry.path == path)
        *m_running->stop = true;
}

void DecodeAhead::forgetAll()
{
    ++m_generation;
    m_cache.clear();
    m_wanted.clear();
    std::lock_guard lock(m_mutex);
    m_queue.clear();
    if (m_running)
        *m_running->stop = true;
}

void DecodeAhead::waitForIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_running; });
}

void DecodeAhead::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || !m_queue.empty(); });
        if (m_quit)
            return;
        m_running = std::make_unique<Task>(std::move(m_queue.front()));
        m_queue.pop_front();
        m_running->stop = std::make_shared<std::atomic<bool>>(false);
        const Task task = *m_running;
        lock.unlock();

        Decoded out;
        QString error;
        try {
            out.path = task.entry.path;
            out.picture = task.entry.picture;
            if (out.picture.isEmpty()) {
                out.stamp = FileStamp::of(out.path);
                out.picture = Picture::loadFromFile(out.path, task.exif);
                out.thumb = out.picture.thumbnail(m_thumbBox, &out.thumbSource);
            }
            out.target = task.rule(out.picture.size());
            if (task.work == Work::Scaled && ownSize(out.target, out.picture.size())) {
                out.bandRect = out.target.visible;
                out.band = out.picture.decodedBand(&out.bandRect);
            } else {
                out.image = drawnPixels(out.picture, out.target.drawn, *task.stop,
                                        out.thumbSource.isNull() ? task.entry.known : out.thumbSource);
            }
        } catch (const AppError& e) {
            error = e.text();
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what());
        }

        lock.lock();
        if (!*task.stop)
            deliver(task, std::move(out), error);
        m_running.reset();
        if (m_queue.empty())
            m_idle.notify_all();
    }
}

// Runs on the worker; what it queues runs on the owner's thread, where the
// cache lives.
void DecodeAhead::deliver(const Task& task, Decoded result, const QString& error)
{
    QMetaObject::invokeMethod(
        this,
        [this, task, result = std::move(result), error] {
            if (task.generation != m_generation)
                return;
            if (!error.isEmpty()) {
                if (task.shown)
                    emit failed(task.entry.path, error);
                return;
            }
            // A newer want() may have moved on meanwhile.
            const auto wanted = m_wanted.constFind(result.path);
            if (wanted == m_wanted.cend() || (!wanted->isEmpty() && !wanted->sharesDataWith(result.picture)))
                return;
            const std::shared_ptr<const Decoded> old = m_cache.value(result.path);
            auto merged = std::make_shared<Decoded>(result);
            if (old && old->picture.sharesDataWith(result.picture)) {
                *merged = *old;
                if (!result.image.isNull()) {
                    merged->image = result.image;
                    merged->target = result.target;
                } else {
                    merged->band = result.band;
                    merged->bandRect = result.bandRect;
                }
            }
            m_cache.insert(result.path, merged);
            emit ready(result.path);
        },
        Qt::QueuedConnection);
}
