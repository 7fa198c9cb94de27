#pragma once
// What the viewer and its loaders agree on beyond the messages themselves.
#include <QtGlobal>

namespace loaderProtocol {
// Bumped whenever a message changes: a loader of another version is refused.
inline constexpr quint32 Version = 5;
// The loader's end of the socket pair, as the viewer starts it.
inline constexpr int SocketDescriptor = 3;
// The loader's exit status when an allocation failed: the request ran out
// of the memory the loader may use.
inline constexpr int ExitOutOfMemory = 3;
// The loader's exit status when it could not confine itself as required.
inline constexpr int ExitUnconfined = 4;
} // namespace loaderProtocol
