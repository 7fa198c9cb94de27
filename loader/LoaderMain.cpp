#include "loader/LoaderMain.h"

#include "core/LoaderProtocol.h"
#include "loader/CodecWarmUp.h"
#include "loader/Confinement.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int MaxQtThreads = 4;

bool readArguments(int argc, char** argv, ConfinementLimits& limits, LoaderReaders& readers)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        bool ok = false;
        if (arg == "--lean") {
            readers.lean = true;
            ok = true;
        } else if (arg.startsWith("--also-read=")) {
            const int kind = arg.mid(12).toInt(&ok);
            ok = ok && kind > int(PictureFormat::Unknown) && kind <= int(PictureFormat::Svg);
            readers.alsoRead = ok ? PictureFormat(kind) : PictureFormat::Unknown;
        } else if (arg.startsWith("--memory-limit=")) {
            limits.memoryBytes = arg.mid(15).toLongLong(&ok);
        } else if (arg.startsWith("--cpu-seconds=")) {
            limits.cpuSeconds = arg.mid(14).toInt(&ok);
        }
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

int runLoader(int argc, char** argv, const ExtraTasks& extra)
{
    ConfinementLimits limits;
    LoaderReaders readers;
    struct stat st {};
    const int socket = loaderProtocol::SocketDescriptor;
    if (!readArguments(argc, argv, limits, readers) || ::fstat(socket, &st) != 0 || !S_ISSOCK(st.st_mode)) {
        std::fprintf(stderr, "pictavo-loader: started by pictavo and pictavo-fx only\n");
        return 2;
    }
    // The time zone is read now, once: camera RAW time stamps are turned
    // into local time, and each turn would try to open the zone's file.
    ::clearenv();
    ::setenv("TZ", ":/etc/localtime", 1);
    ::tzset();
    // Qt's worker threads (conversions of large images) then wake their
    // event loops through an eventfd rather than GLib's pipes.
    ::setenv("QT_NO_GLIB", "1", 1);
    // Each of those threads holds a descriptor, and the loader may hold few.
    QThreadPool::globalInstance()->setMaxThreadCount(std::min(QThread::idealThreadCount(), MaxQtThreads));
    ::close_range(unsigned(socket) + 1, ~0U, 0);
    for (const QString& kind : warmUpCodecs(readers))
        std::fprintf(stderr, "pictavo-loader: %s pictures can't be read here\n", qPrintable(kind));
    const ConfinementState state = confineLoader(limits);
    if (!state.failure.isEmpty()) {
        std::fprintf(stderr, "pictavo-loader: could not confine itself (%s)\n", qPrintable(state.failure));
        return loaderProtocol::ExitUnconfined;
    }
    LoaderGreeting greeting;
    greeting.version = loaderProtocol::Version;
    greeting.systemCallFilter = state.systemCallFilter;
    greeting.landlockAbi = state.landlock.abi;
    greeting.landlock = state.landlock.applied;
    LoaderChannel channel(UniqueFd(socket), LoaderChannel::Memory::Asked);
    serveRequests(channel, greeting, MemoryFailure::Exit, extra, readers);
    // Static destructors would unload libraries, which the filter forbids.
    ::_exit(0);
}
