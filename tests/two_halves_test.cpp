// two_halves_test.cpp - which calls RunHalves makes, on which thread, and what reaches the caller.
#include "two_halves.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <vector>

using fitcore::kSplitMinimumBytes;
using fitcore::RunHalves;

namespace {

using Call = std::tuple<size_t, size_t, bool>;  // first, last, on the calling thread

TEST(RunHalves, SplitsLargeWorkInTwoAndRunsAnyOtherWholeOnTheCaller)
{
    struct Case {
        size_t first, middle, last, bytes;
        bool split;
    };
    const Case cases[] = {
        {0, 5, 10, kSplitMinimumBytes, true},       {2, 3, 9, SIZE_MAX, true},
        {0, 5, 10, kSplitMinimumBytes - 1, false},  {3, 3, 10, SIZE_MAX, false},  // small; empty first half
        {3, 10, 10, SIZE_MAX, false},               {4, 4, 4, SIZE_MAX, false},   // empty second half; nothing
    };
    const std::thread::id caller = std::this_thread::get_id();
    for (const Case& c : cases) {
        std::mutex mutex;
        std::vector<Call> calls;
        bool split = RunHalves(c.first, c.middle, c.last, c.bytes, [&](size_t first, size_t last) {
            std::lock_guard lock(mutex);
            calls.emplace_back(first, last, std::this_thread::get_id() == caller);
        });
        std::sort(calls.begin(), calls.end());
        std::vector<Call> expected{{c.first, c.last, true}};
        if (c.split) expected = {{c.first, c.middle, true}, {c.middle, c.last, false}};
        EXPECT_EQ(split, c.split) << c.first << " " << c.middle << " " << c.last;
        EXPECT_EQ(calls, expected) << c.first << " " << c.middle << " " << c.last;
    }

    // An exception from either half reaches the caller once both have ended.
    for (size_t failing : {0, 1}) {
        int ended = 0;
        auto part = [&](size_t first, size_t) {
            if (first == failing) throw std::runtime_error("half");
            ++ended;
        };
        EXPECT_THROW(RunHalves(0, 1, 2, SIZE_MAX, part), std::runtime_error);
        EXPECT_EQ(ended, 1) << "the other half, failing half " << failing;
    }
}

}  // namespace
