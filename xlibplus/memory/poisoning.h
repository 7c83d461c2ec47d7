#pragma once

#include <cstddef>

// In AddressSanitizer builds the pools say which bytes may be touched: free
// blocks and the bytes past a block's requested size are poisoned, so that an
// overflow inside a pool is caught as one past a malloc block is. Elsewhere
// these do nothing.
#if defined(__SANITIZE_ADDRESS__)
#define XLIB_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XLIB_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(XLIB_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#endif

namespace xlibplus::memory {

inline void poison(const void* begin, std::size_t bytes) {
#if defined(XLIB_ADDRESS_SANITIZER)
    ASAN_POISON_MEMORY_REGION(begin, bytes);
#else
    (void)begin;
    (void)bytes;
#endif
}

inline void unpoison(const void* begin, std::size_t bytes) {
#if defined(XLIB_ADDRESS_SANITIZER)
    ASAN_UNPOISON_MEMORY_REGION(begin, bytes);
#else
    (void)begin;
    (void)bytes;
#endif
}

} // namespace xlibplus::memory
