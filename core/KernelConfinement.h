#pragma once
// What this kernel offers to confine a process: seccomp's system call
// filters and Landlock (by the version of its interface).
struct KernelConfinement {
    bool systemCallFilter = false;
    int landlockAbi = 0; // 0: no Landlock

    static KernelConfinement probe();
};
