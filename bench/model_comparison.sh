#!/usr/bin/env bash
# Times modelfit against numpy's loadtxt plus scipy's curve_fit (1e6 points)
# and against gnuplot's fit command (1e5 points), in one run, on
# y = 5 exp(-1.3 x) + 0.5 with Gaussian noise of 0.05, from the starts a=1,
# b=1, c=0.1. Every case runs REPEATS times, round-robin; the median wall
# time counts. Prints a Markdown table for docs/benchmarks.md.
#
#   bench/model_comparison.sh [REPEATS]        (default 3)
#
# Environment: BUILD_DIR (default build); PYTHON (default /usr/bin/python3,
# the Debian one, with python3-numpy and python3-scipy). gnuplot serves the
# second comparison.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
repeats=${1:-3}
bin=${BUILD_DIR:-$root/build}/bin
python=${PYTHON:-/usr/bin/python3}
# Debian's numpy and scipy for the Debian python, installed where missing.
if [ "$python" = /usr/bin/python3 ] && ! "$python" -c 'import numpy, scipy' 2>/dev/null; then
    sudo=""
    [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq python3-numpy python3-scipy >/dev/null
fi
"$python" -c 'import numpy, scipy' || { echo "$0: $python lacks numpy or scipy" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The data: a PCP header, then x y per line.
"$python" - "$scratch" <<'PY'
import math, random, sys
random.seed(1)
for name, n in (("large.pcp", 1000000), ("small.pcp", 100000)):
    with open(sys.argv[1] + "/" + name, "w") as out:
        out.write("%d 0 0\n" % n)
        for i in range(n):
            x = 5.0 * i / (n - 1)
            out.write("%.6g %.6g\n" % (x, 5 * math.exp(-1.3 * x) + 0.5 + random.gauss(0, 0.05)))
PY

cat >"$scratch/scipy_fit.py" <<'PY'
import sys
import numpy
from scipy.optimize import curve_fit
data = numpy.loadtxt(sys.argv[1], skiprows=1)
model = lambda x, a, b, c: a * numpy.exp(-b * x) + c
values, covariance = curve_fit(model, data[:, 0], data[:, 1], p0=(1, 1, 0.1))
print(values, numpy.sqrt(numpy.diag(covariance)))
PY
# gnuplot logs every fit into fit.log: in the scratch directory.
printf "set fit logfile '%s/fit.log'\n" "$scratch" >"$scratch/gnuplot_fit.gp"
cat >>"$scratch/gnuplot_fit.gp" <<'PY'
set fit quiet
a = 1; b = 1; c = 0.1
fit a*exp(-b*x)+c ARG1 every ::1 via a, b, c
print a, b, c
PY

# Wall seconds (to the millisecond, from the clock's nanoseconds around the
# run) and peak resident kilobytes of one run.
measure() {
    local start end
    start=$(date +%s%N)
    if ! /usr/bin/time -f "%M" -o "$scratch/time" "$@" >/dev/null 2>&1; then
        echo "$0: failed: $*" >&2
        exit 1
    fi
    end=$(date +%s%N)
    printf '%.3f %s\n' "$(echo "($end - $start) / 1000000000" | bc -l)" "$(tail -n 1 "$scratch/time")"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
: >"$scratch/modelfit_large"; : >"$scratch/scipy_large"; : >"$scratch/modelfit_small"; : >"$scratch/gnuplot_small"
for ((i = 0; i < repeats; i++)); do
    measure "$bin/modelfit" -j --start a=1,b=1,c=0.1 'a*exp(-b*x)+c' "$scratch/large.pcp" >>"$scratch/modelfit_large"
    measure "$python" "$scratch/scipy_fit.py" "$scratch/large.pcp" >>"$scratch/scipy_large"
    measure "$bin/modelfit" -j --start a=1,b=1,c=0.1 'a*exp(-b*x)+c' "$scratch/small.pcp" >>"$scratch/modelfit_small"
    measure gnuplot -c "$scratch/gnuplot_fit.gp" "$scratch/small.pcp" >>"$scratch/gnuplot_small"
done

time_of() { cut -d' ' -f1 "$scratch/$1" | median; }
memory_of() { cut -d' ' -f2 "$scratch/$1" | median; }
echo "| Points | Program | Median wall time (s) | Peak memory (MB) |"
echo "|---:|---|---:|---:|"
for case in "1000000 modelfit_large modelfit -j" "1000000 scipy_large numpy loadtxt + scipy curve_fit" \
            "100000 modelfit_small modelfit -j" "100000 gnuplot_small gnuplot fit"; do
    set -- $case
    points=$1 file=$2
    shift 2
    printf '| %s | %s | %s | %.0f |\n' "$points" "$*" "$(time_of "$file")" "$(echo "$(memory_of "$file") / 1024" | bc -l)"
done
printf '\nLoad average before the runs: %s; after: %s.\n' "$load_before" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '\nmodelfit is %.1f times as fast as numpy and scipy on 1e6 points and %.0f times as fast as gnuplot on 1e5.\n' \
    "$(echo "$(time_of scipy_large) / $(time_of modelfit_large)" | bc -l)" \
    "$(echo "$(time_of gnuplot_small) / $(time_of modelfit_small)" | bc -l)"
