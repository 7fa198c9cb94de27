#pragma once
// Landlock, where the kernel has it: a ruleset that handles every file
// system right the kernel knows (and its network rights and scopes, where
// it knows them) and grants none, so no path can be opened, made or
// changed, whatever the system call filter lets through.
struct LandlockOutcome {
    int abi = 0;          // the kernel's Landlock interface; 0 without Landlock
    bool applied = false; // the ruleset holds for this thread and its children
};

// Needs no new privileges already set; restricts the calling thread only,
// so it must run while the loader has no other thread.
LandlockOutcome restrictWithLandlock();
