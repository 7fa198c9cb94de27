#pragma once
// The loader's seccomp allow-list: the system calls its decoders and its
// side of the protocol need, and nothing else.
#include <QString>

// Installs the filter on every thread of this process (which must already
// have no new privileges). Empty on success, else what failed.
QString installSystemCallFilter();
