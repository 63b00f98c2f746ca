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

echo "== sanitizer build"
cmake -S . -B build-asan -G Ninja -DFITCORE_SANITIZE=ON >/dev/null
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j "$jobs" >build-asan/ctest.log 2>&1 || {
    cat build-asan/ctest.log
    exit 1
}
tail -n 3 build-asan/ctest.log

echo "== fuzz targets"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DFITCORE_FUZZ=ON >/dev/null
cmake --build build-fuzz
ctest --test-dir build-fuzz --output-on-failure -j "$jobs" >build-fuzz/ctest.log 2>&1 || {
    cat build-fuzz/ctest.log
    exit 1
}
tail -n 3 build-fuzz/ctest.log

echo "== ordinary build"
unset ASAN_OPTIONS UBSAN_OPTIONS
cmake -S . -B build -G Ninja
cmake --build build
ctest --test-dir build --output-on-failure -j "$jobs"
