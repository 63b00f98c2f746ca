// gnuplot_stand_in.h - a recording stand-in for the gnuplot front-end.
#pragma once

#include <string>
#include <vector>

// Writes an executable "pgnuplot.exe" into `directory`. It appends every line
// it receives to `directory`/log and copies the data files named in plot
// commands, the first after "plot \"" and any further "./gnuplot-i-" ones of
// the same line, to `directory`/data.n in turn (n from 1) as the line arrives (the library deletes
// the data files when the connection closes); a line is logged once its file
// has been copied. For Windows programs (the Windows switch on, see
// windows_programs.h, or tests built for Windows), this and the vanishing,
// hanging and dying stand-ins are a Windows program that does the same.
void WriteRecordingStandIn(const std::string& directory);

// The recording stand-in as a POSIX shell script, whatever the switch.
void WritePosixRecordingStandIn(const std::string& directory);

// The Windows stand-in (windows_stand_in.cpp) as `name` in `directory`,
// doing what `mode` says: "record", "vanish", "die" or "hang". Needs the
// switch on, or tests built for Windows.
void WriteWindowsStandIn(const std::string& directory, const std::string& name, const char* mode);

// A stand-in that closes its input, leaves the file "closed" in `directory`
// and ends at once.
void WriteVanishingStandIn(const std::string& directory);

// A stand-in that reads its whole input and then lingers for `seconds`
// before it ends, so a program that does not wait for it would leave it running.
void WriteLingeringStandIn(const std::string& directory, double seconds);

// A stand-in that reads its whole input and still does not end, as a
// gnuplot that hangs on its way out: it ignores SIGTERM and waits for a
// sleeping child of its own, whose pid it writes to `directory`/pid (the
// Windows one merely sleeps).
void WriteHangingStandIn(const std::string& directory);

// A stand-in that reads two lines, appends them to `directory`/log and ends,
// as a front-end that dies in the middle of the commands.
void WriteDyingStandIn(const std::string& directory);

// The lines of a text, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

// Names in `directory` that start with "gnuplot-i-".
std::vector<std::string> DataFilesIn(const std::string& directory);
