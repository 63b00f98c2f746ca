// windows_programs.cpp - running the Windows build of the programs under Wine.
#include "windows_programs.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string WindowsSearchList(const std::string& unix_list)
{
    std::string list;
    for (std::size_t start = 0;;) {
        std::size_t end = unix_list.find(':', start);
        if (start > 0) list += ';';
        list += WineName(unix_list.substr(start, end - start));
        if (end == std::string::npos) return list;
        start = end + 1;
    }
}

}  // namespace

// Wine's drive Z: is the root directory.
std::string WineName(const std::string& path)
{
    std::string name = path.empty() || path[0] != '/' ? path : "Z:" + path;
    for (char& c : name)
        if (c == '/') c = '\\';
    return name;
}

bool RunsWindowsPrograms() { return !WindowsBinDir().empty(); }

std::string WindowsBinDir()
{
    std::string build = Environment("FITCORE_TEST_WINDOWS_BUILD");
    return build.empty() ? "" : build + "/bin";
}

void ForWine(std::vector<std::string>& argv,
             std::vector<std::pair<std::string, std::optional<std::string>>>& env)
{
    argv.insert(argv.begin(), {"/bin/sh", FITCORE_WINE_SCRIPT, Environment("FITCORE_TEST_WINDOWS_BUILD")});
    for (auto& [name, value] : env) {
        if (name != "PATH") continue;
        name = "WINEPATH";
        if (value) value = WindowsSearchList(*value);
    }
}

std::string FromWindowsText(const std::string& text, const char* stream)
{
    std::string lines;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') continue;
        if (text[at] == '\n' && (at == 0 || text[at - 1] != '\r'))
            ADD_FAILURE() << "a line on " << stream << " ends without CR: " << text.substr(0, at + 1);
        lines += text[at];
    }
    return lines;
}
