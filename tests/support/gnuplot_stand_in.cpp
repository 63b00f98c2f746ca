// gnuplot_stand_in.cpp - recording stand-ins for the gnuplot front-end.
#include "gnuplot_stand_in.h"

#include <filesystem>
#include <sstream>

#include "run_program.h"
#include "windows_programs.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

void WriteScript(const std::string& path, const std::string& body)
{
    // The tests' PATH may hold nothing but the stand-in itself.
    WriteFile(path, "#!/bin/sh\nPATH=/usr/local/bin:/usr/bin:/bin\n" + body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

// The stand-in built for Windows (windows_stand_in.cpp): beside the tests
// when they are built for Windows themselves, else in the Windows build that
// the switch names.
std::string WindowsStandInProgram()
{
#ifdef _WIN32
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return (std::filesystem::path(std::string(path, length)).parent_path() / "gnuplot_stand_in.exe").string();
#else
    return WindowsBinDir() + "/gnuplot_stand_in.exe";
#endif
}

// For Windows programs, the stand-in built for Windows, told what to do.
bool CopiedWindowsStandIn(const std::string& directory, const char* mode)
{
#ifndef _WIN32
    if (!RunsWindowsPrograms()) return false;
#endif
    WriteWindowsStandIn(directory, "pgnuplot.exe", mode);
    return true;
}

}  // namespace

void WriteRecordingStandIn(const std::string& directory)
{
    if (!CopiedWindowsStandIn(directory, "record")) WritePosixRecordingStandIn(directory);
}

void WriteWindowsStandIn(const std::string& directory, const std::string& name, const char* mode)
{
    std::filesystem::copy_file(WindowsStandInProgram(), directory + "/" + name,
                               std::filesystem::copy_options::overwrite_existing);
    WriteFile(directory + "/stand-in-mode", mode);
}

void WritePosixRecordingStandIn(const std::string& directory)
{
    WriteScript(directory + "/pgnuplot.exe",
                "dir=$(dirname \"$0\")\n"
                "n=0\n"
                "while IFS= read -r line || [ -n \"$line\" ]; do\n"
                "  case \"$line\" in\n"
                "    *plot\\ \\\"*)\n"
                "      n=$((n+1))\n"
                "      file=${line#*\\\"}; file=${file%%\\\"*}\n"
                "      cp \"$file\" \"$dir/data.$n\"\n"
                "      rest=${line#*\\\"*\\\"}\n"
                "      while case \"$rest\" in *\\\"./gnuplot-i-*) true ;; *) false ;; esac; do\n"
                "        n=$((n+1))\n"
                "        rest=${rest#*\\\"./gnuplot-i-}\n"
                "        cp \"./gnuplot-i-${rest%%\\\"*}\" \"$dir/data.$n\"\n"
                "        rest=${rest#*\\\"}\n"
                "      done ;;\n"
                "  esac\n"
                "  printf '%s\\n' \"$line\" >> \"$dir/log\"\n"
                "done\n");
}

void WriteVanishingStandIn(const std::string& directory)
{
    if (CopiedWindowsStandIn(directory, "vanish")) return;
    WriteScript(directory + "/pgnuplot.exe", "exec 0<&-\n: > \"$(dirname \"$0\")/closed\"\n");
}

void WriteLingeringStandIn(const std::string& directory, double seconds)
{
    WriteScript(directory + "/pgnuplot.exe", "cat > /dev/null\nsleep " + std::to_string(seconds) + "\n");
}

void WriteHangingStandIn(const std::string& directory)
{
    if (CopiedWindowsStandIn(directory, "hang")) return;
    WriteScript(directory + "/pgnuplot.exe",
                "trap '' TERM\nsleep 1000 &\necho $! > \"$(dirname \"$0\")/pid\"\ncat > /dev/null\nwait\n");
}

void WriteDyingStandIn(const std::string& directory)
{
    if (CopiedWindowsStandIn(directory, "die")) return;
    WriteScript(directory + "/pgnuplot.exe",
                "for n in 1 2; do IFS= read -r line && printf '%s\\n' \"$line\" >> \"$(dirname \"$0\")/log\"; done\n");
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> DataFilesIn(const std::string& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("gnuplot-i-", 0) == 0) names.push_back(name);
    }
    return names;
}
