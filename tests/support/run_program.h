// run_program.h - runs a program as a child with given input, environment and directory.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "files.h"

struct RunOptions {
    std::string stdin_text;                  // written to the child's standard input, then closed
    std::string cwd;                         // working directory; empty: the test's own
    // Environment changes: a value sets the variable, nullopt removes it.
    std::vector<std::pair<std::string, std::optional<std::string>>> env;
    int timeout_seconds = 60;                // the child is killed after this long
    // Run without the capabilities that let root read and write past file
    // permissions, so an unreadable file or a read-only directory binds even
    // when the tests run as root. No effect for other users.
    bool honour_file_permissions = false;
    // When non-zero, the child may map at most this many bytes, so a huge
    // allocation fails whatever the machine's overcommit policy. Ignored by
    // the sanitizer builds, whose allocators reserve their space up front.
    size_t address_space_limit = 0;
    // Signals the child starts with ignored, as a parent may leave them.
    std::vector<int> ignored_signals;
};

struct RunResult {
    int exit_status = -1;    // valid when neither signalled nor timed out
    int signal = 0;          // the signal that ended the child, or 0
    bool timed_out = false;
    std::string out;         // standard output
    std::string err;         // standard error
};

// A started child: its process id and our ends of its three standard streams.
struct StartedChild {
    int pid;
    int input;   // write end of its standard input
    int output;  // read end of its standard output
    int errors;  // read end of its standard error
};

// Starts `argv` in a session of its own (no controlling terminal), with the
// options' directory and environment and SIGPIPE at its default action; a
// Windows program under Wine.
StartedChild StartChild(const std::vector<std::string>& argv, const RunOptions& options);

// Runs `argv` to its end. A Windows program's output is given with LF line
// ends, as on POSIX systems; FromWindowsText checks the CR LF it wrote.
RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// Path of a built program in the build's bin directory; with the Windows
// switch on (windows_programs.h), of the Windows build's "<name>.exe".
std::string ProgramPath(const std::string& name);

// The directory of the built programs, the Windows build's with the switch on.
std::string ProgramDir();

// True for a program that the switch runs under Wine: a ".exe" while it is on.
bool IsWindowsProgram(const std::string& path);
