// process_watch.h - what a running program holds: its open descriptors and
// its child processes, read from /proc, for tests that check nothing leaks.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

// The open descriptors of process `pid` and what each refers to, as
// /proc/<pid>/fd shows it ("pipe:[1234]", "/dev/null", a path).
std::map<int, std::string> DescriptorsOf(pid_t pid);

// The processes whose parent is `pid`, zombies included.
std::vector<pid_t> ChildrenOf(pid_t pid);

// True while `pid` exists, as a running process or as a zombie.
bool ProcessExists(pid_t pid);

// True when `pid` has ended but its parent has not waited for it yet.
bool IsZombie(pid_t pid);
