// fit_shell.h - the entry frame the three fit programs share: the standard
// streams, file name, loading, release, and the check of the report at the end.
#pragma once

#include <cstddef>

#include "pcpfile.h"

constexpr size_t kFileNameSize = 1024;  // holds at most 1023 characters and the NUL

// The first call of every program: opens /dev/null in place of any closed
// standard stream, so that no pipe or file of the run takes its number.
void StartRun();

// The last call of every program, with the status it would end with: that
// status, or 1 after one line on standard error when standard output could
// not be written completely (a full disk, a pipe whose reader has gone, a
// file size limit). The plot's data files are gone by then.
int FinishRun(int exit_status);

// Writes out what standard output holds, as a prompt must be before its
// answer is read. False when standard output has failed; FinishRun reports it.
bool FlushOutput();

// An answered prompt leaves the rest of its line unread, for the next
// prompt to take from. The result plot discards that rest before it waits,
// so that only a space typed after the plot ends the wait.
void NoteAnsweredPrompt();
void DiscardRestOfAnsweredLine();

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
