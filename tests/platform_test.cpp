// The search of a PATH-like list, in both readings of its final separator.
#include <fitcore/platform.h>

#include <gtest/gtest.h>

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
        const char* list;
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
        SCOPED_TRACE(std::string("\"") + c.list + "\"");
        tried.clear();
        EXPECT_EQ(fitcore::FindInSearchList(c.list, "p", c.final_entry, TakeOnlyB), c.found);
        EXPECT_EQ(tried, c.candidates);
    }
}

}  // namespace
