#pragma once
// PV_SANITIZED_BUILD (set by CMake with PICTAVO_SANITIZE): the sanitizers'
// runtime shares the loader. AddressSanitizer's shadow memory takes
// terabytes of address space the moment the program starts, and the
// runtimes make system calls of their own.
#ifndef PV_SANITIZED_BUILD
#define PV_SANITIZED_BUILD 0
#endif
