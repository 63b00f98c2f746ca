// console_io.cpp - the programs' console: flushing standard output, and the rest of an answered line.
#include "console_io.h"

#include <cerrno>
#include <cstdio>

namespace {

int output_error = 0;        // errno of the first failed flush of standard output
bool answered_line = false;  // the rest of an answered prompt's line is still unread

}  // namespace

bool FlushOutput()
{
    if (std::fflush(stdout) != 0 && output_error == 0) output_error = errno;
    return std::ferror(stdout) == 0;
}

int OutputError() { return output_error; }

void NoteFailedWrite(int error)
{
    if (output_error == 0) output_error = error;
}

void NoteAnsweredPrompt() { answered_line = true; }

void DiscardRestOfAnsweredLine()
{
    if (!answered_line) return;
    answered_line = false;
    for (int c = std::getchar(); c != '\n' && c != EOF; c = std::getchar()) {
    }
}
