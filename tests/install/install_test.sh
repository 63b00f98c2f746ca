#!/bin/sh
# Installs the build into a scratch prefix and builds a small program against
# it twice, through find_package(fitcore) and through pkg-config, then runs it.
# Usage: install_test.sh SOURCE_DIR BUILD_DIR CMAKE CMAKE_GENERATOR CXX
set -eu
source_dir=$1 build_dir=$2 cmake=$3 generator=$4 cxx=$5
. "$(dirname "$0")/common.sh"

prefix="$scratch/prefix"
quietly "$cmake" --install "$build_dir" --prefix "$prefix"

# The layout a user relies on.
expect_file "$prefix/bin/veldafit"
[ -x "$prefix/bin/veldafit" ] || fail "veldafit is not executable"
expect_file "$prefix/include/fitcore/pcpfile.h"
expect_file "$prefix/include/fitcore/point.h"
expect_file "$prefix/share/doc/fitcore/examples/calibration.pcp"
library=$(find "$prefix" -name libfitcore.a)
[ -n "$library" ] || fail "libfitcore.a not installed"
expect_man_pages_for_programs "$prefix/bin" "$prefix/share/man/man1"
for program in veldafit sorrafit cadrafit modelfit; do
    expect_file "$prefix/share/bash-completion/completions/$program"
done

# The library's own helpers stay private, and every header that is installed
# compiles on its own: it includes nothing that was left out.
[ ! -e "$prefix/include/fitcore/number_scanner.h" ] || fail "internal header installed"
for header in "$prefix"/include/fitcore/*.h; do
    printf '#include <fitcore/%s>\n' "$(basename "$header")" >"$scratch/header_alone.cpp"
    quietly "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Werror \
        -I"$prefix/include" "$scratch/header_alone.cpp"
done

example="$prefix/share/doc/fitcore/examples/calibration.pcp"
expected_output="Loading PCP file $example...
slope 0.999441 +- 0.00212531, intercept 0.00553846 +- 0.00690045, r^2 1.0000
c0 = 0.00856777 +- 0.0122933
c1 = 0.993187 +- 0.0202562
c2 = 0.00247663 +- 0.00879453
c3 = -0.000263144 +- 0.00104941"

# find_package(fitcore) from a project that knows only the prefix.
consumer_build="$scratch/consumer-build"
quietly "$cmake" -S "$source_dir/tests/consumer" -B "$consumer_build" -G "$generator" \
    -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$prefix"
quietly "$cmake" --build "$consumer_build"
output=$("$consumer_build/fit_example" "$example" </dev/null) || fail "CMake consumer failed"
[ "$output" = "$expected_output" ] || fail "CMake consumer printed: $output"

# pkg-config, with the prefix configured elsewhere: the .pc file finds the
# installed tree from its own place.
pc_dir=$(dirname "$(find "$prefix" -name fitcore.pc)")
flags=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs fitcore) ||
    fail "pkg-config does not know fitcore"
# shellcheck disable=SC2086 # the flags are meant to be split
quietly "$cxx" -std=c++20 "$source_dir/tests/consumer/main.cpp" $flags -o "$scratch/fit_example"
output=$("$scratch/fit_example" "$example" </dev/null) || fail "pkg-config consumer failed"
[ "$output" = "$expected_output" ] || fail "pkg-config consumer printed: $output"

# A user's own point.h is never shadowed: no installed header answers to a bare name.
printf '#include "pcpfile.h"\n' >"$scratch/bare_name.cpp"
# shellcheck disable=SC2086
if "$cxx" -std=c++20 -fsyntax-only $flags "$scratch/bare_name.cpp" >/dev/null 2>&1; then
    fail "an installed header is reachable by its bare name"
fi

echo "installed tree and both consumer builds are fine"
