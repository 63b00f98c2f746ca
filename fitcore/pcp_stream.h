// pcp_stream.h - reading a PCP file from a stream whose first bytes were
// already taken from it, as when its kind was told from them.
#pragma once

#include <cstdio>
#include <string_view>

#include <fitcore/pcpfile.h>

namespace fitcore {

// LoadPCPFile on `prefix` followed by the rest of `in`; `path` names it in messages.
int ReadPCPAfter(std::string_view prefix, std::FILE* in, const char* path, PCPFile* file);

}  // namespace fitcore
