// two_halves.h - the library's one way to use a second core: a range split
// in two, the halves run at once, then joined.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <new>
#include <system_error>
#include <thread>

namespace fitcore {

// Work on fewer bytes than this (text converted or formatted, points gone
// through) runs on the calling thread alone: starting and joining a thread
// takes tens of microseconds, much of what a second core saves on less.
constexpr size_t kSplitMinimumBytes = size_t{1} << 18;

// The threshold in force; only SplitThresholdForTests changes it.
inline std::atomic<size_t> split_minimum_bytes{kSplitMinimumBytes};

// Does the work part(first, last) as two halves at once: part(first, middle)
// on the calling thread and part(middle, last) on a helper thread, and
// returns true once both have ended. When the helper has not begun its half
// by the time the first is done (a busy machine), the calling thread does
// that half too, so that it never waits for a thread to be scheduled that
// has yet to start its work. `bytes` is the size of the whole work. Work
// below the threshold, a range with an empty half, or a helper thread that
// can't be started: part(first, last) alone, on the calling thread, and
// false. Callers whose halves write to different places tell the calls apart
// by their `first`, so the single call writes where the first half does.
// The halves must not write to the same data. An exception thrown by either
// half is rethrown here once both have ended, the first half's first (the
// second is not begun here after the first has failed).
template <typename Part>
bool RunHalves(size_t first, size_t middle, size_t last, size_t bytes, const Part& part)
{
    if (bytes < split_minimum_bytes.load(std::memory_order_relaxed) || first >= middle || middle >= last) {
        part(first, last);
        return false;
    }
    std::atomic<bool> second_taken{false};
    std::exception_ptr first_failure, second_failure;
    auto run_second = [&] {
        if (second_taken.exchange(true)) return;
        try {
            part(middle, last);
        } catch (...) {
            second_failure = std::current_exception();
        }
    };
    std::thread helper;
    try {
        helper = std::thread(run_second);
    } catch (const std::system_error&) {
        part(first, last);
        return false;
    } catch (const std::bad_alloc&) {
        part(first, last);
        return false;
    }
    try {
        part(first, middle);
    } catch (...) {
        first_failure = std::current_exception();
        second_taken.exchange(true);
    }
    run_second();
    helper.join();
    if (first_failure) std::rethrow_exception(first_failure);
    if (second_failure) std::rethrow_exception(second_failure);
    return true;
}

// For tests and benchmarks: while it lives, work of `minimum_bytes` bytes or
// more is split (0: all work that has two non-empty halves; SIZE_MAX: none).
class SplitThresholdForTests {
public:
    explicit SplitThresholdForTests(size_t minimum_bytes) : previous_(split_minimum_bytes.exchange(minimum_bytes)) {}
    ~SplitThresholdForTests() { split_minimum_bytes.store(previous_); }
    SplitThresholdForTests(const SplitThresholdForTests&) = delete;
    SplitThresholdForTests& operator=(const SplitThresholdForTests&) = delete;

private:
    size_t previous_;
};

}  // namespace fitcore
