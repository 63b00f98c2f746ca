#!/bin/sh
# Runs one fuzz target for longer: tools/fuzz.sh fuzz_pcp_reader [seconds]
# New inputs collect in build-fuzz/fuzz/work/<target>; crashes land in the
# current directory as crash-* files.
set -e
cd "$(dirname "$0")/.."
target=${1:?usage: tools/fuzz.sh TARGET [SECONDS]}
seconds=${2:-600}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DFITCORE_FUZZ=ON >/dev/null
cmake --build build-fuzz --target "$target"
corpus=$(echo "$target" | sed 's/^fuzz_//; s/_reader$//; s/_importer$//')
mkdir -p "build-fuzz/fuzz/work/$target"
exec "build-fuzz/bin/$target" -max_total_time="$seconds" -max_len=4096 \
    "build-fuzz/fuzz/work/$target" "fuzz/corpus/$corpus"
