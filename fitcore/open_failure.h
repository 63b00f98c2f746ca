// open_failure.h - the loaders' message for a data file that can't be opened.
#pragma once

#include <cstdio>
#include <cstring>

namespace fitcore {

// The reason (`error`, an errno value) in a line of its own, then
// "Can't open %s for reading!".
inline void PrintOpenFailure(const char* path, int error)
{
    std::printf("Can't load %s: %s.\n", path, std::strerror(error));
    std::printf("Can't open %s for reading!\n", path);
}

}  // namespace fitcore
