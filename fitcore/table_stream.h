// table_stream.h - reading a table from a stream whose first bytes were
// already taken from it, as when its kind was told from them.
#pragma once

#include <cstdio>
#include <string_view>

#include <fitcore/table.h>

namespace fitcore {

// read_table on `prefix` followed by the rest of `in`.
Table ReadTableAfter(std::string_view prefix, std::FILE* in, const TableOptions& options);

}  // namespace fitcore
