// windows_programs.h - the switch that makes the end-to-end tests run the
// Windows build of the programs under Wine: ProgramPath, RunProgram and the
// front-end stand-ins all follow it.
//
// On when the environment variable FITCORE_TEST_WINDOWS_BUILD names a
// Windows build (cmake/mingw-w64.cmake); its programs then run under Wine
// through cmake/wine.sh, as that build's own tests do.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// True when the programs under test are the Windows build, run under Wine.
bool RunsWindowsPrograms();

// The Windows build's bin/ folder ("" when the switch is off).
std::string WindowsBinDir();

// `argv` with wine and its settings in front, and the environment changes with a PATH
// turned into the Windows one: each directory as Wine names it ("Z:\..."),
// separated by ";", in WINEPATH, which Wine puts before the system's own
// folders. Wine itself keeps the system's PATH.
void ForWine(std::vector<std::string>& argv,
             std::vector<std::pair<std::string, std::optional<std::string>>>& env);

// A Unix path as a Windows program under Wine names it: "Z:\\tmp\\x" for "/tmp/x".
std::string WineName(const std::string& path);

// Text that a Windows program wrote to a standard stream in text mode, with
// each CR LF as the LF the program printed; a line that ends in a bare LF
// fails the test, since text mode never writes one.
std::string FromWindowsText(const std::string& text, const char* stream);

// Skips the test when it tests what Windows does not have: POSIX signals,
// descriptors, process groups, file permissions and the like.
#define SKIP_UNDER_WINE(reason)                                                \
    do {                                                                       \
        if (RunsWindowsPrograms()) GTEST_SKIP() << "no Windows meaning: " << (reason); \
    } while (false)
