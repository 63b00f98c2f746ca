#!/bin/sh
# test.sh - builds and tests the suite.
#
#   sh tools/test.sh            the quick check: the ordinary build and all its
#                               tests (unit, program, end-to-end, install and
#                               packaging), ending with the test runner's summary
#   sh tools/test.sh --full     every leg below, then the ordinary build, whose
#                               end-to-end tests then also run the Windows
#                               programs ("windows.*")
#   sh tools/test.sh --asan     AddressSanitizer and UndefinedBehaviorSanitizer
#   sh tools/test.sh --fuzz     the fuzz targets (clang) for a short fixed run
#   sh tools/test.sh --tsan     the tests of the paths that run on two threads
#                               under ThreadSanitizer
#   sh tools/test.sh --windows  the MinGW-w64 build, its tests under Wine, its
#                               zip, and the end-to-end tests of its programs
#
# Leg options combine and run in the order above. Each build has a directory
# of its own (build, build-asan, build-fuzz, build-tsan, build-windows) that
# later runs reuse: only what changed is built again, and cmake configures a
# directory again only when the options it is given change.
# tools/install-deps.sh installs what the quick check needs; with --full (or
# the leg's option) what the legs need too.
set -e
cd "$(dirname "$0")/.."
jobs=$(nproc)

usage() {
    echo "usage: sh tools/test.sh [--full | --asan | --fuzz | --tsan | --windows]..." >&2
    exit 2
}

asan=false fuzz=false tsan=false windows=false full=false
for option in "$@"; do
    case "$option" in
    --full) full=true asan=true fuzz=true tsan=true windows=true ;;
    --asan) asan=true ;;
    --fuzz) fuzz=true ;;
    --tsan) tsan=true ;;
    --windows) windows=true ;;
    *) usage ;;
    esac
done
legs=$#

# Configures the build directory $1 with the further cmake options, unless
# it was configured here with the same ones before: ninja itself runs cmake
# again when a CMakeLists.txt changes.
configure() {
    dir=$1
    shift
    options="$*"
    if [ -f "$dir/build.ninja" ] && [ "$(cat "$dir/test-options" 2>/dev/null)" = "$options" ]; then
        return
    fi
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    printf '%s\n' "$options" >"$dir/test-options"
}

# Builds in $1 with the further cmake options and runs its tests quietly;
# the whole log only when something fails.
build_and_test() {
    dir=$1
    configure "$@"
    cmake --build "$dir"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" >"$dir/ctest.log" 2>&1 || {
        cat "$dir/ctest.log"
        exit 1
    }
    grep "tests passed" "$dir/ctest.log"
}

# In the sanitizer and fuzz builds a report from either sanitizer fails the
# test that caused it. Allocations far beyond memory must return null as they
# do in the ordinary build.
ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS UBSAN_OPTIONS

asan_leg() {
    echo "== sanitizer build"
    build_and_test build-asan -DFITCORE_SANITIZE=ON
}

fuzz_leg() {
    echo "== fuzz targets"
    build_and_test build-fuzz -DFITCORE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
}

# Only the tests of the threaded paths, at -O1 without debug information,
# which builds fastest; any report fails the run. Left out: the death tests,
# which limit memory that ThreadSanitizer reserves up front, and the
# scanner's property tests of short, single-threaded texts.
tsan_leg() {
    echo "== thread sanitizer: the threaded paths"
    unset ASAN_OPTIONS UBSAN_OPTIONS
    configure build-tsan -DFITCORE_SANITIZE_THREAD=ON -DFITCORE_BUILD_BENCHMARKS=OFF \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1
    cmake --build build-tsan --target thread_tests
    single_threaded='NumberScannerProperty.Tokens*:NumberScannerProperty.Integers*:NumberScannerProperty.RandomFiles*'
    TSAN_OPTIONS=halt_on_error=1 FITCORE_PROPERTY_SCALE=0.1 build-tsan/bin/thread_tests \
        --gtest_filter="-*DeathTest*:$single_threaded" --gtest_brief=1 >build-tsan/tsan.log 2>&1 || {
        cat build-tsan/tsan.log
        exit 1
    }
    grep "PASSED" build-tsan/tsan.log
}

# The Windows build, its unit tests under Wine, and the zip with what a user needs.
windows_leg() {
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
}

# The ordinary build; its end-to-end tests also run the Windows programs
# when $1 names a Windows build. The further arguments go to ctest.
ordinary_build() {
    configure build -DFITCORE_WINDOWS_BUILD_DIR="$1"
    shift
    cmake --build build
    ctest --test-dir build --output-on-failure -j "$jobs" "$@"
}

# Each leg in an "if", not after "&&", so that set -e holds inside it.
if $asan; then asan_leg; fi
if $fuzz; then fuzz_leg; fi
if $tsan; then tsan_leg; fi
if $windows; then windows_leg; fi
unset ASAN_OPTIONS UBSAN_OPTIONS

if [ "$legs" = 0 ] || $full; then
    echo "== ordinary build"
    if $full; then
        ordinary_build "$PWD/build-windows"
    else
        ordinary_build ""
    fi
elif $windows; then
    echo "== the end-to-end tests of the Windows programs"
    ordinary_build "$PWD/build-windows" -R '^windows\.'
fi
