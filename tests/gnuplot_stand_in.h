// gnuplot_stand_in.h - a recording stand-in for the gnuplot front-end.
#pragma once

#include <string>
#include <vector>

// Writes an executable "pgnuplot.exe" into `directory`. It appends every line
// it receives to `directory`/log and copies the data file named in the n-th
// plot command to `directory`/data.n as the line arrives (the library deletes
// the data files when the connection closes); a line is logged once its file
// has been copied.
void WriteRecordingStandIn(const std::string& directory);

// A stand-in that closes its input, leaves the file "closed" in `directory`
// and ends at once.
void WriteVanishingStandIn(const std::string& directory);

// The lines of a text, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

// Names in `directory` that start with "gnuplot-i-".
std::vector<std::string> DataFilesIn(const std::string& directory);
