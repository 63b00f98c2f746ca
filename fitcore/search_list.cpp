// search_list.cpp - the search of a program search list such as PATH, the same
// walk on every system with that system's separator and working-directory rule.
#include <fitcore/platform.h>

#include <algorithm>
#include <string_view>

namespace fitcore {

std::optional<std::string> FindInSearchList(const char* list, const char* name, FinalEmptyEntry final_entry,
                                            bool (*accept)(const std::string& candidate))
{
    auto taken = [accept](const std::string& candidate) {
        return accept != nullptr ? accept(candidate) : IsExecutable(candidate.c_str());
    };
    if (kWorkingDirectoryFirst && taken(std::string("./") + name)) return ".";
    const std::string_view entries = list;
    for (std::size_t start = 0;;) {
        if (start == entries.size() && final_entry == FinalEmptyEntry::Ignored) return std::nullopt;
        const std::size_t end = std::min(entries.find(kSearchListSeparator, start), entries.size());
        const std::string directory(end > start ? entries.substr(start, end - start) : ".");
        const std::string candidate = directory + "/" + name;
        if (taken(candidate)) return directory;
        if (end == entries.size()) return std::nullopt;
        start = end + 1;
    }
}

}  // namespace fitcore
