// memory_limit.h - runs out of memory on purpose, to test allocation failures.
#pragma once

#include <cstddef>

#ifdef _WIN32
// Windows has no limit of a process's address space that allocations meet.
constexpr bool kAddressSpaceLimitWorks = false;

class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(size_t) {}
};
#else
#include <sys/resource.h>

// The sanitizers' allocators reserve their address space up front, so a
// limit on it does not make their allocations fail.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kAddressSpaceLimitWorks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kAddressSpaceLimitWorks = false;
#else
constexpr bool kAddressSpaceLimitWorks = true;
#endif
#else
constexpr bool kAddressSpaceLimitWorks = true;
#endif

// While it lives, the process may map at most `headroom` bytes more than it
// had mapped when it was made, so allocations beyond that fail. Meant for a
// death-test child.
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(size_t headroom);
    ~AddressSpaceLimit();
    AddressSpaceLimit(const AddressSpaceLimit&) = delete;
    AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

private:
    rlimit previous_;
};
#endif
