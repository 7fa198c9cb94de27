#include "loader/LoaderService.h"

#include "core/LoaderProtocol.h"
#include "loader/PictureRequests.h"

#include <malloc.h>
#include <new>
#include <unistd.h>

namespace {

constexpr size_t KeptFreeBytes = size_t(8) << 20;

OutgoingReply answer(const LoaderChannel::Message& message, std::vector<UniqueFd>& fds,
                     const PixelMemory& memory, const ExtraTasks& extra, LoaderReaders readers)
{
    const std::optional<LoaderRequest> request = LoaderRequest::decoded(message.body);
    if (!request)
        return OutgoingReply::failure(QStringLiteral("The request is not valid."));
    if (!loaderReads(readers, *request, fds.empty() ? -1 : fds.front().get())) {
        OutgoingReply elsewhere;
        elsewhere.reply.needsFullLoader = true;
        return elsewhere;
    }
    try {
        if (extra) {
            if (std::optional<OutgoingReply> out = extra(*request, fds, memory))
                return std::move(*out);
        }
        return answerPictureRequest(*request, fds, memory);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        return OutgoingReply::failure(QString::fromLocal8Bit(e.what()));
    }
}

} // namespace

void serveRequests(LoaderChannel& channel, const LoaderGreeting& greeting, MemoryFailure onMemoryFailure,
                   const ExtraTasks& extra, LoaderReaders readers)
{
    if (!channel.send(greeting.encoded()))
        return;
    const PixelMemory memory = [&channel](qint64 size) { return channel.memory(size); };
    for (;;) {
        LoaderChannel::Message message;
        const LoaderChannel::Received received = channel.receive(message);
        if (received == LoaderChannel::Received::Closed)
            return;
        OutgoingReply out;
        try {
            out = received == LoaderChannel::Received::Message
                      ? answer(message, message.fds, memory, extra, readers)
                      : OutgoingReply::failure(QStringLiteral("The request is not valid."));
        } catch (const std::bad_alloc&) {
            if (onMemoryFailure == MemoryFailure::Exit)
                ::_exit(loaderProtocol::ExitOutOfMemory);
            out = OutgoingReply::failure(QStringLiteral("Out of memory"));
        }
        // Each file's descriptors go before its answer does.
        message = LoaderChannel::Message();
        if (!channel.send(out.reply.encoded()))
            return;
        // What a large picture left free goes back to the system; trimming
        // after every small one would cost more than its decode.
        if (::mallinfo2().fordblks > KeptFreeBytes)
            ::malloc_trim(0);
    }
}
