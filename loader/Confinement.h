#pragma once
// Seals the loader once every library and codec it may use is loaded:
// resource limits, no core dumps, no new privileges, Landlock where the
// kernel has it, then the system call filter. Nothing of this can be
// undone by the loader afterwards.
#include "loader/LandlockRuleset.h"

#include <QString>

struct ConfinementLimits {
    qint64 memoryBytes = 0; // 0: the smaller of 4 GiB and half the machine's memory
    int cpuSeconds = 0;     // 0: none beyond the viewer's time limit per request
};

struct ConfinementState {
    bool systemCallFilter = false;
    LandlockOutcome landlock;
    // Empty, or what the kernel offers but could not be set up.
    QString failure;
};

// The address space a loader may use by default.
qint64 defaultLoaderMemory();
ConfinementState confineLoader(const ConfinementLimits& limits);
