#pragma once
// The pool of loaders that read picture files for this process: a few
// confined processes (one per core, at most 4), started at the first need
// and kept for the next files, each replaced after a number of files and
// after any failure. Loaders start lean (the common kinds' readers only,
// and those of the first picture's kind, ready sooner) until a picture of
// another kind comes: that one's loader is replaced by a full one, and every
// loader started after it is full. Callable from any thread at once; a
// caller waits for a free loader and for its answer without spinning.
#include "core/LoaderRequest.h"
#include "graphics/LoaderAnswer.h"
#include "graphics/LoaderProcess.h"
#include "graphics/PictureFormat.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class RegularFile;

namespace msg {
// A picture whose loader stopped while reading it: `reason` as "it crashed".
inline QString readerStopped(const QString& file, const QString& reason)
{
    return QStringLiteral("\"%1\" could not be read: its reader stopped (%2).").arg(file, reason);
}
} // namespace msg

class PictureLoaders {
public:
    struct Options {
        std::chrono::milliseconds timeLimit{10000}; // per request, then SIGKILL
        qint64 memoryLimit = 0;                     // 0: the smaller of 4 GiB and half the machine's memory
        int loaders = 0;                            // 0: one per core, at most 4
        int filesPerLoader = 256;                   // a loader's start costs some 25 ms
        QString program;        // empty: the loader beside this program, else where installed
        bool inProcess = false; // the loader's code in this process, unconfined
    };

    explicit PictureLoaders(Options options);
    ~PictureLoaders();
    PictureLoaders(const PictureLoaders&) = delete;
    PictureLoaders& operator=(const PictureLoaders&) = delete;

    // This program's pool, made at first use; PICTAVO_LOADER=inprocess
    // makes it run the loader's code in this process (said once on
    // standard error).
    static PictureLoaders& shared();
    // The options shared() makes its pool with, in place of the defaults;
    // for tests, before the pool's first use.
    static void setSharedOptions(Options options);

    // Starts one loader now, on a thread of its own, for the first request
    // to find ready: the program's start and the loader's overlap. Lean
    // loaders read `firstKind` too from now on.
    void startAhead(PictureFormat firstKind = PictureFormat::Unknown);

    // Opens `path` as every picture is opened (a regular file, within the
    // size cap) and has a loader answer `request` about it (`request.name`
    // becomes `path`). Throws AppError: the open's message, the loader's
    // own failure text, or msg::readerStopped.
    LoaderAnswer ask(const QString& path, LoaderRequest request);
    // The same for a file already open; `pixels`, when valid, goes along
    // as the request's second descriptor: the pixels to write, or for rows
    // the memory they are to come in.
    LoaderAnswer ask(const RegularFile& file, const LoaderRequest& request, int pixels = -1);
    // The same for any readable descriptor of `size` bytes (a memfd of
    // bytes already read).
    LoaderAnswer ask(int fd, qint64 size, const LoaderRequest& request, int pixels = -1);

    // Whether pictures are read confined here, and what is missing:
    // "Pictures are read in a confined process (seccomp, Landlock)".
    static QString confinementSummary();
    // The loader program (in process: its module) beside this program,
    // else where installed; empty when neither place has it.
    static QString installedLoader(bool inProcess);
    // A loader of the pool held for a run of requests about one file, such
    // as its rows in order or an animation's frames, so that it keeps what
    // it read between them. Given back when it goes: kept for other files
    // only while reusable.
    class Held {
    public:
        explicit Held(PictureLoaders& pool) : m_pool(pool) {}
        ~Held() { release(); }
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;
        // As PictureLoaders::ask; a failure ends the loader.
        LoaderAnswer ask(int fd, qint64 size, const LoaderRequest& request, int pixels = -1);
        // Whether the loader holds nothing of the file now, so another may use it.
        void setReusable(bool reusable) noexcept { m_reusable = reusable; }
        // For requests whose told failure says nothing of the loader's state
        // ("no animation", a damaged frame): the loader serves on after it.
        void keepAfterToldFailures() noexcept { m_keepAfterTold = true; }
        // Between requests far apart (an animation's frames): the loader waits
        // in the pool for the next ask, and serves another request only where
        // that one would otherwise wait for good (every other loader parked
        // too, and no more may start). The next ask then takes any loader.
        void park();
        void release();

    private:
        PictureLoaders& m_pool;
        std::unique_ptr<LoaderProcess> m_loader;
        bool m_reusable = true;
        bool m_keepAfterTold = false;
    };

    // How many loaders this pool started so far.
    int loadersStarted() const noexcept { return m_started; }

private:
    // Whether a request needs a loader with every reader.
    bool needsFullLoader(const LoaderRequest& request);
    // A free loader, started if need be; `full`: one with every reader.
    std::unique_ptr<LoaderProcess> take(bool full);
    // The settings of the next loader to start: lean until a picture needed more.
    LoaderProcess::Settings nextSettings() const;
    void giveBack(std::unique_ptr<LoaderProcess> loader, bool keep);
    std::unique_ptr<LoaderProcess> unpark(const Held* holder);

    Options m_options;
    LoaderProcess::Settings m_settings;
    std::mutex m_mutex;
    std::condition_variable m_freed;
    std::vector<std::unique_ptr<LoaderProcess>> m_idle;
    std::vector<std::pair<const Held*, std::unique_ptr<LoaderProcess>>> m_parked;
    int m_running = 0; // idle, parked and busy: never more than Options::loaders
    std::atomic<int> m_started = 0;
    int m_startingAhead = 0;    // loaders startAhead() has not handed over yet
    bool m_aheadLean = false;   // the loader startAhead() starts is lean
    bool m_fullReaders = false; // a picture needed a full loader: every loader started now is one
    PictureFormat m_leanAlsoRead = PictureFormat::Unknown; // the one more kind lean loaders read
    std::thread m_ahead;
};
