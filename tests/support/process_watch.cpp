// process_watch.cpp - descriptors and children of a process, from /proc.
#include "process_watch.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// Fields of /proc/<pid>/stat after the command name, which may hold blanks
// and parentheses: the state first, then the parent's pid.
bool ReadStat(pid_t pid, char* state, pid_t* parent)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos) return false;
    std::istringstream fields(stat.substr(name_end + 1));
    return static_cast<bool>(fields >> *state >> *parent);
}

}  // namespace

std::map<int, std::string> DescriptorsOf(pid_t pid)
{
    std::map<int, std::string> descriptors;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        fs::path target = fs::read_symlink(entry.path(), error);
        descriptors[std::stoi(entry.path().filename().string())] = error ? "?" : target.string();
    }
    return descriptors;
}

std::vector<pid_t> ChildrenOf(pid_t pid)
{
    std::vector<pid_t> children;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        char state = 0;
        pid_t parent = 0;
        pid_t candidate = static_cast<pid_t>(std::stol(name));
        if (ReadStat(candidate, &state, &parent) && parent == pid) children.push_back(candidate);
    }
    return children;
}

bool ProcessExists(pid_t pid)
{
    char state = 0;
    pid_t parent = 0;
    return ReadStat(pid, &state, &parent);
}

bool IsZombie(pid_t pid)
{
    char state = 0;
    pid_t parent = 0;
    return ReadStat(pid, &state, &parent) && state == 'Z';
}
