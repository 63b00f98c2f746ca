// signal_cleanup.h - what a terminating signal deletes before the process
// ends by it: the data files of the open gnuplot connections and the
// replacement files not yet in place.
#pragma once

#include <fitcore/gnuplot_connection.h>
#include <fitcore/replacement_file.h>

namespace fitcore {

// The connection's data files (those counted in temp_count at the moment of
// the signal) are deleted by a terminating signal until it is forgotten.
void DeleteOnSignal(gnuplot_connection* handle);
void ForgetOnSignal(gnuplot_connection* handle);

// The file's temporary is deleted by a terminating signal, after its writer
// has been killed, until it is forgotten.
void DeleteOnSignal(const ReplacementFile* file);
void ForgetOnSignal(const ReplacementFile* file);

}  // namespace fitcore
