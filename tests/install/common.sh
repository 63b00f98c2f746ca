# Helpers shared by the install and package tests (sourced, not run).

# A scratch directory, removed when the test ends however it ends.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/fitcore-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Runs a command quietly; shows what it printed only when it fails.
quietly() {
    log="$scratch/quietly.log"
    if ! "$@" >"$log" 2>&1; then
        cat "$log" >&2
        fail "command failed: $*"
    fi
}

expect_file() {
    [ -f "$1" ] || fail "missing: $1"
}

# Each program in a bin directory has its man page under the given man1.
expect_man_pages_for_programs() {
    bin_dir=$1 man_dir=$2
    for program in "$bin_dir"/*; do
        name=$(basename "$program")
        expect_file "$man_dir/$name.1.gz"
        gzip -t "$man_dir/$name.1.gz" || fail "not a gzip file: $man_dir/$name.1.gz"
    done
}
