#!/bin/sh
# Builds everything and runs every test three ways: under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzz targets for a short fixed run, and the
# ordinary build last, so the output ends with the test runner's summary.
set -e
cd "$(dirname "$0")/.."
jobs=$(nproc)

# A report from either sanitizer fails the test that caused it. Allocations
# far beyond memory must return null as they do in the ordinary build.
ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS UBSAN_OPTIONS

# Builds in $1 with the further cmake options and runs its tests quietly;
# the whole log only when something fails.
build_and_test() {
    dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" >"$dir/ctest.log" 2>&1 || {
        cat "$dir/ctest.log"
        exit 1
    }
    grep "tests passed" "$dir/ctest.log"
}

echo "== sanitizer build"
build_and_test build-asan -DFITCORE_SANITIZE=ON

echo "== fuzz targets"
build_and_test build-fuzz -DFITCORE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++

echo "== ordinary build"
unset ASAN_OPTIONS UBSAN_OPTIONS
cmake -S . -B build -G Ninja
cmake --build build
ctest --test-dir build --output-on-failure -j "$jobs"
