// The search of a PATH-like list, in both readings of its final separator,
// with the system's separator and, on Windows, the working directory first;
// file names between the programs' text and std::filesystem.
#include <fitcore/platform.h>

#include "file_system_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using fitcore::FinalEmptyEntry;

std::vector<std::string> tried;

// Records every candidate; only those in the directory "B" are taken.
bool TakeOnlyB(const std::string& candidate)
{
    tried.push_back(candidate);
    return candidate.starts_with("B/");
}

TEST(FindInSearchList, TriesEachEntryInOrderUntilOneIsTaken)
{
    using Tried = std::vector<std::string>;
    const struct {
        std::string list;  // ":" stands for the system's separator
        FinalEmptyEntry final_entry;
        Tried candidates;
        std::optional<std::string> found;
    } cases[] = {
        {"", FinalEmptyEntry::Ignored, {}, std::nullopt},
        {"", FinalEmptyEntry::WorkingDirectory, {"./p"}, std::nullopt},
        {"A:", FinalEmptyEntry::Ignored, {"A/p"}, std::nullopt},
        {"A:", FinalEmptyEntry::WorkingDirectory, {"A/p", "./p"}, std::nullopt},
        {":", FinalEmptyEntry::Ignored, {"./p"}, std::nullopt},
        {"A::B:C", FinalEmptyEntry::Ignored, {"A/p", "./p", "B/p"}, "B"},
        {"A/:.:B", FinalEmptyEntry::WorkingDirectory, {"A//p", "./p", "B/p"}, "B"},
    };
    for (const auto& c : cases) {
        std::string list = c.list;
        std::replace(list.begin(), list.end(), ':', fitcore::kSearchListSeparator);
        SCOPED_TRACE("\"" + list + "\"");
        Tried candidates = c.candidates;
        if (fitcore::kWorkingDirectoryFirst) candidates.insert(candidates.begin(), "./p");
        tried.clear();
        EXPECT_EQ(fitcore::FindInSearchList(list.c_str(), "p", c.final_entry, TakeOnlyB), c.found);
        EXPECT_EQ(tried, candidates);
    }
}

TEST(FindInSearchList, OnWindowsTheWorkingDirectoryComesFirst)
{
    if (!fitcore::kWorkingDirectoryFirst) GTEST_SKIP() << "a POSIX search list names the working directory itself";
    auto take_working_directory = [](const std::string& candidate) { return candidate == "./p"; };
    EXPECT_EQ(fitcore::FindInSearchList("B", "p", FinalEmptyEntry::Ignored, take_working_directory), ".");
}

// A name of any characters reaches std::filesystem as those characters (on
// Windows the wide name the system takes) and comes back unchanged.
TEST(FileSystemName, CharactersSurviveTheWayThereAndBack)
{
    const struct {
        std::string name;
        std::u16string characters;
    } cases[] = {
        {"plain.pcp", u"plain.pcp"},
        {"数据.pcp", u"数据.pcp"},
        {"dir/données.png", u"dir/données.png"},
        {"\xF0\x9F\x93\x88 chart.svg", u"\U0001F4C8 chart.svg"},  // beyond 16 bits: a surrogate pair
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::path path = fitcore::FileSystemPath(c.name.c_str());
        EXPECT_EQ(path.u16string(), c.characters);
        EXPECT_EQ(fitcore::FileName(path), c.name);
        EXPECT_EQ(fitcore::FileName(path.filename()), c.name.substr(c.name.find('/') + 1));
    }
}

}  // namespace
