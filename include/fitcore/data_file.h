// data_file.h - loading a data file of any kind the programs read: PCP, CSV
// or a text table, from a file or from standard input.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <fitcore/pcpfile.h>
#include <fitcore/table.h>

namespace fitcore {

// What a load tells beyond the points.
struct DataFileInfo {
    std::string x_name;        // the header's name of the x column; empty without one
    std::string y_name;        // the same for y
    std::vector<std::string> x_names;  // the header's names of every x column chosen; empty without one
    std::size_t skipped = 0;   // table rows skipped for a missing value
};

enum class DataFileResult {
    Loaded,
    Failed,         // can't be opened or read, or no usable point (a line says why)
    OutOfMemory,    // no point array (a line says why)
    NotATable,      // table options were given for a PCP file; nothing is printed
};

// True when the table options ask for anything: columns, a separator or the decimal comma.
bool asks_for_table(const TableOptions& options);

// Loads `path` into a record without an array, "-" meaning standard input.
// A name ending in ".csv" in any case is comma-separated: read as LoadCSVFile
// reads it, or as a table when `options` ask for anything or its second line
// holds a ';'. A name ending in ".pcp" in any case is a PCP file; any other
// file is PCP when it starts as a PCP header does (three whole numbers;
// empty files too), and a table otherwise. Prints
// "Loading PCP file", "Loading CSV file" or "Loading table" and the name,
// the bad lines of a table ("Bad input line: N"), "Skipped N rows with
// missing values", and every failure's reason, all on standard output.
DataFileResult LoadDataFile(const char* path, const TableOptions& options, PCPFile* file, DataFileInfo* info);

// Loads as LoadDataFile does, except that a file read as a table (a text
// table, a CSV file read as one, standard input holding one) keeps its rows
// in *table with every chosen column: the x columns (several where
// `options.columns` names several), y and sigma. The record then holds the
// count and whether there is sigma, but no points. A PCP file or a plain
// CSV file, which hold one x column, is loaded into the record and leaves
// *table without rows.
DataFileResult LoadDataRows(const char* path, const TableOptions& options, PCPFile* file, Table* table,
                            DataFileInfo* info);

}  // namespace fitcore
