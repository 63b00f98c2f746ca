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

// Does the work part(first, last) as two halves at once: part(middle, last)
// on a helper thread and part(first, middle) on the calling thread, and
// returns true once both have ended. `bytes` is the size of the whole work.
// Work below the threshold, a range with an empty half, or a helper thread
// that can't be started: part(first, last) alone, on the calling thread,
// and false. Callers whose halves write to different places tell the two
// calls apart by their `first` (the calling thread's starts at `first`), so
// the single call writes where the first half does. The halves must not
// write to the same data. An exception thrown by either half is rethrown
// here once both have ended, the calling thread's first.
template <typename Part>
bool RunHalves(size_t first, size_t middle, size_t last, size_t bytes, const Part& part)
{
    if (bytes < split_minimum_bytes.load(std::memory_order_relaxed) || first >= middle || middle >= last) {
        part(first, last);
        return false;
    }
    std::exception_ptr helper_failure;
    std::thread helper;
    try {
        helper = std::thread([&] {
            try {
                part(middle, last);
            } catch (...) {
                helper_failure = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        part(first, last);
        return false;
    } catch (const std::bad_alloc&) {
        part(first, last);
        return false;
    }
    std::exception_ptr own_failure;
    try {
        part(first, middle);
    } catch (...) {
        own_failure = std::current_exception();
    }
    helper.join();
    if (own_failure) std::rethrow_exception(own_failure);
    if (helper_failure) std::rethrow_exception(helper_failure);
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
