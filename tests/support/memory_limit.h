// memory_limit.h - runs out of memory on purpose, to test allocation failures.
#pragma once

#include <cstddef>

#include <sys/resource.h>

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
