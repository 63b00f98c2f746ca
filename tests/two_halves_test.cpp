// two_halves_test.cpp - the calls RunHalves makes, that its halves run at once, and what reaches the caller.
#include "two_halves.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

using fitcore::kSplitMinimumBytes;
using fitcore::RunHalves;

namespace {

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
        std::vector<std::pair<size_t, size_t>> calls;
        bool first_on_caller = false;
        bool split = RunHalves(c.first, c.middle, c.last, c.bytes, [&](size_t first, size_t last) {
            std::lock_guard lock(mutex);
            calls.emplace_back(first, last);
            if (first == c.first) first_on_caller = std::this_thread::get_id() == caller;
        });
        std::sort(calls.begin(), calls.end());
        std::vector<std::pair<size_t, size_t>> expected{{c.first, c.last}};
        if (c.split) expected = {{c.first, c.middle}, {c.middle, c.last}};
        EXPECT_EQ(split, c.split) << c.first << " " << c.middle << " " << c.last;
        EXPECT_EQ(calls, expected) << c.first << " " << c.middle << " " << c.last;
        EXPECT_TRUE(first_on_caller);
    }

    // The first half waits for the second to begin, which only a second
    // thread can do meanwhile (the limit only keeps a fault from hanging).
    std::mutex mutex;
    std::condition_variable begun;
    bool second_begun = false, met = false;
    RunHalves(0, 1, 2, SIZE_MAX, [&](size_t first, size_t) {
        std::unique_lock lock(mutex);
        if (first == 1) {
            second_begun = true;
            begun.notify_all();
        } else {
            met = begun.wait_for(lock, std::chrono::minutes(1), [&] { return second_begun; });
        }
    });
    EXPECT_TRUE(met) << "the halves did not run at once";

    // An exception from either half reaches the caller once both have ended.
    for (size_t failing : {0, 1}) {
        std::atomic<bool> first_ended = false;
        auto part = [&](size_t first, size_t) {
            if (first == failing) throw std::runtime_error("half");
            if (first == 0) first_ended = true;
        };
        EXPECT_THROW(RunHalves(0, 1, 2, SIZE_MAX, part), std::runtime_error) << "failing half " << failing;
        EXPECT_EQ(first_ended, failing == 1);
    }
}

}  // namespace
