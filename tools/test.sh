#!/bin/sh
# Builds everything and runs every test three ways: under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzz targets for a short fixed run, and the
# ordinary build last, so the output ends with the test runner's summary.
# Before the last, the tests of the paths that run on two threads run under
# ThreadSanitizer, with fewer random cases, and the Windows build is made with
# MinGW-w64 and its unit tests run under Wine; the ordinary build's end-to-end
# tests then run its programs too ("windows.*").
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

echo "== thread sanitizer: the threaded paths"
unset ASAN_OPTIONS UBSAN_OPTIONS
# Only the tests of the threaded paths, at -O1 without debug information,
# which builds fastest; any report fails the run. Left out: the death tests,
# which limit memory that ThreadSanitizer reserves up front, and the
# scanner's property tests of short, single-threaded texts.
cmake -S . -B build-tsan -G Ninja -DFITCORE_SANITIZE_THREAD=ON -DFITCORE_BUILD_BENCHMARKS=OFF \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 >/dev/null
cmake --build build-tsan --target thread_tests
single_threaded='NumberScannerProperty.Tokens*:NumberScannerProperty.Integers*:NumberScannerProperty.RandomFiles*'
TSAN_OPTIONS=halt_on_error=1 FITCORE_PROPERTY_SCALE=0.1 build-tsan/bin/thread_tests \
    --gtest_filter="-*DeathTest*:$single_threaded" --gtest_brief=1 >build-tsan/tsan.log 2>&1 || {
    cat build-tsan/tsan.log
    exit 1
}
grep "PASSED" build-tsan/tsan.log

echo "== Windows build: MinGW-w64, tests under Wine, the zip"
build_and_test build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
(cd build-windows && cpack -G ZIP >/dev/null)
zip=build-windows/fitcore-$(sed -n 's/^project(fitcore VERSION \([^ ]*\).*/\1/p' CMakeLists.txt)-windows-x64.zip
for entry in veldafit.exe cadrafit.exe sorrafit.exe pgnuplot.exe README.txt examples/calibration.pcp; do
    cmake -E tar tf "$zip" | grep -q "/$entry\$" || {
        echo "$zip lacks $entry"
        exit 1
    }
done
echo "$zip"

echo "== ordinary build"
cmake -S . -B build -G Ninja -DFITCORE_WINDOWS_BUILD_DIR="$PWD/build-windows"
cmake --build build
ctest --test-dir build --output-on-failure -j "$jobs"
