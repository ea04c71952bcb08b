#pragma once

// Whether this build runs under AddressSanitizer, which reserves terabytes of
// address space for its shadow memory and checks leaks at the end.
#if defined(__SANITIZE_ADDRESS__)
#define PIXMOOR_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIXMOOR_ADDRESS_SANITIZER 1
#endif
#endif

namespace rt {
#ifdef PIXMOOR_ADDRESS_SANITIZER
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
}  // namespace rt
