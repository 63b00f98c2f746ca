#!/bin/sh
# The man pages render without a single warning, and the front-end's page
# names exactly the environment variables that the front-end's notes list.
# Usage: man_pages_test.sh SOURCE_DIR
set -eu
source_dir=$1
. "$(dirname "$0")/common.sh"

command -v groff >/dev/null 2>&1 || { echo "groff is not installed"; exit 77; }

for page in "$source_dir"/docs/man/*.1; do
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

notes="$source_dir/docs/pgnuplot.md"
if [ -f "$notes" ]; then
    variables() { grep -o 'FITCORE_[A-Z_]*' "$1" | sort -u; }
    variables "$notes" >"$scratch/in_notes"
    variables "$source_dir/docs/man/pgnuplot.exe.1" >"$scratch/in_page"
    if ! cmp -s "$scratch/in_notes" "$scratch/in_page"; then
        diff "$scratch/in_notes" "$scratch/in_page" >&2 || true
        fail "pgnuplot.exe.1 and docs/pgnuplot.md name different variables"
    fi
fi

echo "man pages render cleanly"
