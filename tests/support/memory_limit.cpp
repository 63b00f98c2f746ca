// memory_limit.cpp - an address-space limit just above the current size.
#include "memory_limit.h"

#include <unistd.h>

#include <fstream>
#include <stdexcept>

AddressSpaceLimit::AddressSpaceLimit(size_t headroom)
{
    size_t mapped_pages = 0;
    std::ifstream("/proc/self/statm") >> mapped_pages;
    if (mapped_pages == 0) throw std::runtime_error("can't read /proc/self/statm");
    if (getrlimit(RLIMIT_AS, &previous_) != 0) throw std::runtime_error("getrlimit failed");
    rlimit limited = previous_;
    limited.rlim_cur = mapped_pages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + headroom;
    if (setrlimit(RLIMIT_AS, &limited) != 0) throw std::runtime_error("setrlimit failed");
}

AddressSpaceLimit::~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &previous_); }
