// replacement_file.h - a file written under a temporary name beside the file
// it is to replace, and put in its place only once it is complete, so that a
// failed or interrupted writer never harms what was there.
#pragma once

#include <string>

namespace fitcore {

struct ReplacementFile {
    std::string target;     // the file to replace; a symbolic link is followed
    std::string temporary;  // the new file beside it, empty when there is none
    int writer_pid = 0;     // a child whose process group writes it; see DeleteOnSignal
};

// Checks `target` and creates the temporary file in its folder (as "."
// followed by the target's name, a dot, six digits and the target's
// extension), empty, with the target's permissions where it exists. Until
// it is committed or abandoned, a terminating signal (Ctrl-C, SIGTERM, ...)
// kills the writer's process group, deletes the temporary and then ends the
// process. False with `reason` set, and nothing created, when the target
// exists and is not a regular file ("it is a directory", "it is not a
// regular file") or the temporary can't be created (the system's reason).
bool BeginReplacement(const char* target, ReplacementFile* file, std::string* reason);

// Puts the temporary in the target's place. False with `reason` set when
// that fails; the temporary is gone either way and the target is as it was.
bool CommitReplacement(ReplacementFile* file, std::string* reason);

// Deletes the temporary; the target stays as it was.
void AbandonReplacement(ReplacementFile* file);

// True when the temporary holds at least one byte.
bool ReplacementWritten(const ReplacementFile& file);

}  // namespace fitcore
