// capture_stdout.h - runs code with standard output sent to a string.
#pragma once

#include <functional>
#include <string>

// Everything `run` writes to standard output (stdio and file descriptor 1),
// in the order written.
std::string CaptureStdout(const std::function<void()>& run);
