// console_io.h - the programs' console: flushing standard output before a
// read, and the rest of an answered prompt's line.
#pragma once

// Writes out what standard output holds, as a prompt must be before its
// answer is read. False when standard output has failed; OutputError keeps why.
bool FlushOutput();

// errno of the first write to standard output that failed, or 0.
int OutputError();

// Keeps the reason (an errno value) of a failed write to standard output
// that went past its stdio buffer, for the run's end to report; the first
// one counts.
void NoteFailedWrite(int error);

// An answered prompt leaves the rest of its line unread, for the next
// prompt to take from. The result plot discards that rest before it waits,
// so that only a space typed after the plot ends the wait.
void NoteAnsweredPrompt();
void DiscardRestOfAnsweredLine();
