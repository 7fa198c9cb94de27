#include "graphics/PictureLoaders.h"

#include "core/Errors.h"
#include "core/KernelConfinement.h"
#include "core/RegularFile.h"
#include "graphics/PictureFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <sys/stat.h>

namespace {

bool inProcessAsked()
{
    return qEnvironmentVariable("PICTAVO_LOADER") == QLatin1String("inprocess");
}

QStringList programFolders()
{
    const QDir programs =
        QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().section(QLatin1Char('/'), 0, -2);
    return {programs.path(), QDir::cleanPath(programs.filePath(QStringLiteral(PV_LOADER_FROM_BIN)))};
}

} // namespace

PictureLoaders::PictureLoaders(Options options) : m_options(std::move(options))
{
    const int cores = std::max(1, QThread::idealThreadCount());
    if (m_options.loaders <= 0)
        m_options.loaders = std::min(cores, 4);
    m_options.filesPerLoader = std::max(1, m_options.filesPerLoader);
    m_settings.program =
        m_options.program.isEmpty() ? installedLoader(m_options.inProcess) : m_options.program;
    m_settings.inProcess = m_options.inProcess;
    m_settings.timeLimit = m_options.timeLimit;
    m_settings.memoryLimit = m_options.memoryLimit;
    // Every core busy for the whole time limit of every file it serves:
    // more means a loader spins between requests.
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(m_options.timeLimit).count();
    m_settings.cpuSeconds =
        int(std::min<qint64>(qint64(seconds) * cores * m_options.filesPerLoader, INT_MAX));
}

PictureLoaders::~PictureLoaders()
{
    if (m_ahead.joinable())
        m_ahead.join();
}

void PictureLoaders::startAhead(PictureFormat firstKind)
{
    LoaderProcess::Settings settings;
    {
        std::lock_guard lock(m_mutex);
        if (m_ahead.joinable() || m_running >= m_options.loaders)
            return;
        ++m_running;
        ++m_startingAhead;
        if (!leanLoadersAnswer(LoaderTask::Decode, firstKind))
            m_leanAlsoRead = firstKind;
        settings = nextSettings();
        m_aheadLean = settings.lean;
    }
    m_ahead = std::thread([this, settings] {
        std::unique_ptr<LoaderProcess> loader;
        ++m_started;
        try {
            loader = std::make_unique<LoaderProcess>(settings);
        } catch (const LoaderProcess::Stopped&) {
            // The first request starts another and tells why it can't.
        }
        {
            std::lock_guard lock(m_mutex);
            --m_startingAhead;
        }
        giveBack(std::move(loader), true);
    });
}

namespace {
std::optional<PictureLoaders::Options>& sharedOptions()
{
    static std::optional<PictureLoaders::Options> options;
    return options;
}
} // namespace

void PictureLoaders::setSharedOptions(Options options)
{
    sharedOptions() = std::move(options);
}

PictureLoaders& PictureLoaders::shared()
{
    static PictureLoaders pool([] {
        if (sharedOptions())
            return *sharedOptions();
        Options options;
        options.inProcess = inProcessAsked();
        if (options.inProcess)
            std::fprintf(stderr, "pictavo: PICTAVO_LOADER=inprocess: pictures are read in this process, "
                                 "not confined\n");
        return options;
    }());
    return pool;
}

QString PictureLoaders::installedLoader(bool inProcess)
{
    const QString name = QLatin1String(inProcess ? "libpictavo-loader-inprocess.so" : "pictavo-loader");
    for (const QString& folder : programFolders()) {
        const QFileInfo candidate(QDir(folder).filePath(name));
        if (candidate.isFile() && (inProcess || candidate.isExecutable()))
            return candidate.absoluteFilePath();
    }
    return QString();
}

QString PictureLoaders::confinementSummary()
{
    if (inProcessAsked())
        return QStringLiteral("Pictures are read in this process (PICTAVO_LOADER=inprocess), not confined");
    if (installedLoader(false).isEmpty())
        return QStringLiteral("Pictures can't be read: pictavo-loader is missing");
    const KernelConfinement kernel = KernelConfinement::probe();
    if (kernel.systemCallFilter && kernel.landlockAbi > 0)
        return QStringLiteral("Pictures are read in a confined process (seccomp, Landlock)");
    if (kernel.systemCallFilter)
        return QStringLiteral(
            "Pictures are read in a confined process (seccomp; this kernel has no Landlock)");
    if (kernel.landlockAbi > 0)
        return QStringLiteral(
            "Pictures are read in a confined process (Landlock; this kernel has no seccomp)");
    return QStringLiteral("Pictures are read in a process of their own, not confined "
                          "(this kernel has neither seccomp nor Landlock)");
}

LoaderAnswer PictureLoaders::ask(const QString& path, LoaderRequest request)
{
    const RegularFile file(path);
    request.name = path;
    return ask(file, request);
}

LoaderAnswer PictureLoaders::ask(const RegularFile& file, const LoaderRequest& request, int pixels)
{
    return ask(file.fd(), file.size(), request, pixels);
}

LoaderAnswer PictureLoaders::ask(int fd, qint64 size, const LoaderRequest& request, int pixels)
{
    return Held(*this).ask(fd, size, request, pixels);
}

LoaderAnswer PictureLoaders::Held::ask(int fd, qint64 size, const LoaderRequest& request, int pixels)
{
    if (size > MaxReadBytes)
        throw AppError(msg::cannotOpen(request.name, QString::fromLocal8Bit(std::strerror(EFBIG))));
    std::vector<int> fds{fd};
    if (pixels >= 0)
        fds.push_back(pixels);
    // Rows asked into memory sent along come back in it.
    qint64 rowsMemory = -1;
    if (struct stat st {}; request.task == LoaderTask::Rows && pixels >= 0 && ::fstat(pixels, &st) == 0)
        rowsMemory = st.st_size;
    const QByteArray body = request.encoded();
    // A kind told by the caller goes straight to a loader that reads it.
    bool full = m_pool.needsFullLoader(request);
    std::optional<LoaderAnswer> answer;
    try {
        for (;;) {
            if (!m_loader)
                m_loader = m_pool.unpark(this);
            if (!m_loader)
                m_loader = m_pool.take(full);
            LoaderChannel::Message message = m_loader->exchange(body, fds);
            answer = LoaderAnswer::fromMessage(message, request, size, rowsMemory);
            if (!answer || !answer->reply.needsFullLoader)
                break;
            // Only a lean loader sends a picture elsewhere.
            if (!m_loader->lean()) {
                answer.reset();
                break;
            }
            // Ended, and a full loader taken in its place.
            full = true;
            m_reusable = false;
            release();
        }
    } catch (const LoaderProcess::Stopped& stopped) {
        m_reusable = false;
        release();
        throw AppError(msg::readerStopped(request.name, stopped.reason));
    } catch (...) {
        m_reusable = false;
        release();
        throw;
    }
    // A loader that failed a file, or answered nonsense, serves no other.
    if (!answer || (!answer->reply.done && !m_keepAfterTold)) {
        m_reusable = false;
        release();
    }
    if (!answer)
        throw AppError(msg::readerStopped(request.name, QStringLiteral("its answer was not valid")));
    if (!answer->reply.done)
        throw AppError(answer->reply.error);
    return std::move(*answer);
}

void PictureLoaders::Held::park()
{
    if (!m_loader || !m_reusable) {
        release();
        return;
    }
    {
        std::lock_guard lock(m_pool.m_mutex);
        m_pool.m_parked.emplace_back(this, std::move(m_loader));
    }
    m_pool.m_freed.notify_all();
}

void PictureLoaders::Held::release()
{
    if (!m_loader)
        m_loader = m_pool.unpark(this);
    if (m_loader)
        m_pool.giveBack(std::move(m_loader), m_reusable);
    m_reusable = true;
}

std::unique_ptr<LoaderProcess> PictureLoaders::unpark(const Held* holder)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_parked.begin(); it != m_parked.end(); ++it)
        if (it->first == holder) {
            std::unique_ptr<LoaderProcess> loader = std::move(it->second);
            m_parked.erase(it);
            return loader;
        }
    return nullptr;
}

bool PictureLoaders::needsFullLoader(const LoaderRequest& request)
{
    std::lock_guard lock(m_mutex);
    return !leanLoadersAnswer(request.task, PictureFormat(request.format), m_leanAlsoRead);
}

std::unique_ptr<LoaderProcess> PictureLoaders::take(bool full)
{
    std::vector<std::unique_ptr<LoaderProcess>> retired; // ended after the lock
    std::unique_lock lock(m_mutex);
    if (full)
        m_fullReaders = true;
    // A loader started ahead is nearly ready: waited for rather than a
    // second started, unless it is lean and a full one is needed.
    const auto mayStart = [this, full] {
        return (m_startingAhead == 0 || (full && m_aheadLean)) && m_running < m_options.loaders;
    };
    // Busy loaders come back; parked ones may not for a long while.
    const auto onlyParked = [this] {
        return !m_parked.empty() && m_running == int(m_idle.size() + m_parked.size());
    };
    const auto fitting = [this, full] {
        return std::find_if(m_idle.rbegin(), m_idle.rend(),
                            [full](const auto& l) { return !full || !l->lean(); });
    };
    for (;;) {
        m_freed.wait(lock, [&] {
            return fitting() != m_idle.rend() || mayStart() || onlyParked() || (full && !m_idle.empty());
        });
        if (const auto it = fitting(); it != m_idle.rend()) {
            std::unique_ptr<LoaderProcess> loader = std::move(*it);
            m_idle.erase(std::next(it).base());
            return loader;
        }
        if (full) {
            // Idle lean loaders go: a full one starts in their place, as
            // does every loader from now on.
            m_running -= int(m_idle.size());
            std::move(m_idle.begin(), m_idle.end(), std::back_inserter(retired));
            m_idle.clear();
        }
        if (mayStart())
            break;
        if (onlyParked()) {
            std::unique_ptr<LoaderProcess> loader = std::move(m_parked.front().second);
            m_parked.erase(m_parked.begin());
            return loader;
        }
    }
    ++m_running;
    const LoaderProcess::Settings settings = nextSettings();
    lock.unlock();
    ++m_started;
    try {
        return std::make_unique<LoaderProcess>(settings);
    } catch (const LoaderProcess::Stopped&) {
        giveBack(nullptr, false);
        throw;
    }
}

LoaderProcess::Settings PictureLoaders::nextSettings() const
{
    LoaderProcess::Settings settings = m_settings;
    settings.lean = !m_fullReaders && !settings.inProcess;
    settings.alsoRead = m_leanAlsoRead;
    return settings;
}

void PictureLoaders::giveBack(std::unique_ptr<LoaderProcess> loader, bool keep)
{
    std::unique_ptr<LoaderProcess> ending; // ended outside the lock
    {
        std::lock_guard lock(m_mutex);
        // A lean loader is not kept once loaders are full.
        if (loader && keep && loader->exchanges() < m_options.filesPerLoader &&
            !(loader->lean() && m_fullReaders)) {
            m_idle.push_back(std::move(loader));
        } else {
            ending = std::move(loader);
            --m_running;
        }
    }
    m_freed.notify_all();
}
