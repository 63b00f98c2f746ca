// reference_programs.h - the entry that the straightforward program versions share.
#pragma once

#include <fitcore/pcpfile.h>

// Loads argv[1] with the fscanf reader and prints the same lines as the real
// programs' entry; null (after the message) when that fails or when sigmas
// are required and missing.
PCPFile* OpenReferenceDataFile(int argc, char** argv, bool requires_sigma);

// Takes a leading "-n" off the arguments: true when it was there, and the
// program then shows no plot, as the real programs' option asks.
bool TakeNoPlotOption(int* argc, char*** argv);
