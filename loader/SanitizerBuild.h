#pragma once
// Whether this build runs under AddressSanitizer, whose shadow memory
// takes terabytes of address space the moment the program starts.
#if defined(__SANITIZE_ADDRESS__)
#define PV_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PV_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef PV_ADDRESS_SANITIZER
#define PV_ADDRESS_SANITIZER 0
#endif
