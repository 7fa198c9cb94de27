#pragma once
// Plants failures in every following write of this test process (see
// PlantedWriteFaults), until reset. Linked into every test program.
#include "core/AtomicFile.h"

// Every write fails at `step` as the system would, with `error` (an errno
// value), until reset to None.
void setAtomicWriteFault(AtomicWriteFault step, int error = 5 /* EIO */);
void setFolderRefusesNewFiles(bool on);
// The process kills itself where `step` would fail.
void setAtomicWriteKill(AtomicWriteFault step);
