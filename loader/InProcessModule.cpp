// The loader's request code as a module, loaded into the viewer's own
// process when PICTAVO_LOADER=inprocess asks for it (debuggers,
// sanitizers): the same answers over the same socket, without confinement.
#include "core/LoaderProtocol.h"
#include "loader/LoaderService.h"

extern "C" Q_DECL_EXPORT void pictavoServeInProcess(int socket)
{
    LoaderChannel channel(UniqueFd(socket), LoaderChannel::Memory::Asked);
    LoaderGreeting greeting;
    greeting.version = loaderProtocol::Version;
    serveRequests(channel, greeting, MemoryFailure::Answer);
}
