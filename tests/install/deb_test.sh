#!/bin/sh
# Builds the Debian package, unpacks it into a scratch root and runs veldafit
# from there on the packaged example file.
# Usage: deb_test.sh SOURCE_DIR BUILD_DIR CPACK
set -eu
source_dir=$1 build_dir=$2 cpack=$3
. "$(dirname "$0")/common.sh"

(cd "$build_dir" && quietly "$cpack" -G DEB -B "$scratch/package")
set -- "$scratch"/package/fitcore_*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "expected one fitcore_*.deb, found: $*"
deb=$1

[ "$(dpkg-deb -f "$deb" Package)" = fitcore ] || fail "wrong package name"
case "$(dpkg-deb -f "$deb" Depends)" in
    *"gnuplot-nox | gnuplot-qt | gnuplot-x11 | gnuplot"*) ;;
    *) fail "the package does not depend on gnuplot: $(dpkg-deb -f "$deb" Depends)" ;;
esac

root="$scratch/root"
dpkg -x "$deb" "$root"
usr="$root/usr"
expect_file "$usr/bin/veldafit"
expect_file "$usr/include/fitcore/pcpfile.h"
expect_file "$usr/lib/pkgconfig/fitcore.pc"
expect_file "$usr/lib/cmake/fitcore/fitcoreConfig.cmake"
[ -n "$(find "$usr/lib" -name libfitcore.a)" ] || fail "libfitcore.a not packaged"
expect_man_pages_for_programs "$usr/bin" "$usr/share/man/man1"
expect_file "$usr/share/bash-completion/completions/cadrafit"
examples="$usr/share/doc/fitcore/examples"
expect_file "$examples/calibration.pcp"

# No gnuplot front-end can be found on this PATH, so the run ends after the
# report; the space on standard input answers the wait if a plot did start.
status=0
(cd "$examples" && printf ' \n' |
    env PATH=/nonexistent "$usr/bin/veldafit" calibration.pcp) >"$scratch/out" 2>"$scratch/err" ||
    status=$?
[ "$status" -eq 0 ] || { cat "$scratch/out" "$scratch/err" >&2; fail "veldafit exited with $status"; }

# The report, then the line that says no plot could be shown (once the
# programs plot), and nothing else.
expected="$source_dir/tests/expected/veldafit_example_calibration.out"
{ cat "$expected"; echo "GNUPlot failed to start.  Plotting failed."; } >"$scratch/expected_no_plot"
if ! cmp -s "$expected" "$scratch/out" && ! cmp -s "$scratch/expected_no_plot" "$scratch/out"; then
    diff "$scratch/expected_no_plot" "$scratch/out" >&2 || true
    fail "the packaged veldafit printed a different report"
fi

echo "package $(basename "$deb") installs and runs"
