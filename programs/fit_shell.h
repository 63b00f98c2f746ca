// fit_shell.h - the entry frame the three fit programs share: file name, loading, release.
#pragma once

#include <cstddef>

#include "pcpfile.h"

constexpr size_t kFileNameSize = 1024;  // holds at most 1023 characters and the NUL

// Where the programs differ in their entry.
struct ShellOptions {
    bool load_error_names_file;  // "Error loading PCP file '%s'" instead of the plain line
    bool requires_sigma;         // refuse a file without a sigma column
};

// Takes the file name from the first argument or the prompt, creates and
// loads the record, refuses a file without sigmas where required, and
// prints the "Loaded file" line. Returns the loaded record, owned by the
// caller; or null after printing why, with *exit_status set to the status
// the program ends with.
PCPFile* OpenDataFile(int argc, char** argv, const ShellOptions& options,
                      char (&name)[kFileNameSize], int* exit_status);
