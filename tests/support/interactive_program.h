// interactive_program.h - a running child program that a test types into step by step.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "run_program.h"

class InteractiveProgram {
public:
    // Starts the program with the options' directory and environment; the
    // options' input text is ignored: use Type.
    InteractiveProgram(const std::vector<std::string>& argv, const RunOptions& options);
    ~InteractiveProgram();  // kills the program if it still runs
    InteractiveProgram(const InteractiveProgram&) = delete;
    InteractiveProgram& operator=(const InteractiveProgram&) = delete;

    void Type(const std::string& text);
    // Reads standard output until it contains `text`; false after the timeout.
    bool WaitForOutput(const std::string& text, int timeout_ms = 20000);
    // True when the program has ended within `timeout_ms`.
    bool HasEnded(int timeout_ms);
    void Signal(int signal);
    pid_t pid() const { return pid_; }
    // Closes standard input, waits for the end and returns everything it wrote.
    RunResult Finish(int timeout_ms = 20000);

private:
    void Drain(int timeout_ms);
    // What the program wrote, with LF line ends.
    std::string Text(const std::string& written, const char* stream) const;

    pid_t pid_ = -1;
    int input_ = -1, output_ = -1, errors_ = -1;
    bool ended_ = false;
    bool windows_ = false;  // a Windows program under Wine
    RunResult result_;
};
