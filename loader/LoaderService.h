#pragma once
// The loader's loop: one request at a time from its socket, each answered
// on the same socket, until the viewer hangs up.
#include "core/LoaderChannel.h"
#include "core/LoaderGreeting.h"
#include "core/LoaderRequest.h"
#include "loader/CodecWarmUp.h"
#include "loader/OutgoingReply.h"
#include "loader/PictureRequests.h"

#include <functional>
#include <optional>
#include <vector>

// Answers tasks the picture requests don't know (the tests' loader has
// some); empty when it doesn't know the task either.
using ExtraTasks = std::function<std::optional<OutgoingReply>(
    const LoaderRequest&, std::vector<UniqueFd>& fds, const PixelMemory& memory)>;

enum class MemoryFailure {
    Exit,  // a loader of its own: ends with loaderProtocol::ExitOutOfMemory, so the viewer can tell why
    Answer // in the viewer's process: the request fails
};

// Sends `greeting`, then serves. Returns when the other end is gone. A
// lean loader sends a picture of a kind it has no reader for elsewhere.
void serveRequests(LoaderChannel& channel, const LoaderGreeting& greeting, MemoryFailure onMemoryFailure,
                   const ExtraTasks& extra = {}, LoaderReaders readers = {});
