#!/bin/sh
# install-deps.sh - installs the Debian packages that building, testing,
# packaging and plotting need, where missing:
#
#   sh tools/install-deps.sh             what the quick check (sh tools/test.sh) needs
#   sh tools/install-deps.sh --full      and what every leg of the full check needs
#   sh tools/install-deps.sh --fuzz      and clang for the fuzz targets
#   sh tools/install-deps.sh --windows   and MinGW-w64 and Wine for the Windows build
#
# --asan and --tsan are taken too: those legs need nothing more than g++.
set -e

# pkgconf, dpkg-dev (dpkg-shlibdeps), file and groff-base serve the install,
# package and man page tests; nlohmann-json3-dev reads the programs' JSON
# back in the tests, bash-completion runs the completion test, and
# libboost-math-dev computes the t and chi-square distributions.
packages="cmake ninja-build g++ libgtest-dev libbenchmark-dev pkgconf dpkg-dev file groff-base nlohmann-json3-dev bash-completion libboost-math-dev"
command -v gnuplot >/dev/null 2>&1 || packages="$packages gnuplot-nox"
# The fuzz targets: clang with its libFuzzer and sanitizer runtimes.
fuzz_packages="clang libclang-rt-14-dev"
# The Windows build: the MinGW-w64 cross compiler with POSIX threads, Google
# Test's sources to build for it, and Wine to run its programs and tests,
# without the desktop pieces that Wine recommends.
windows_packages="g++-mingw-w64-x86-64-posix googletest wine64 wine"

lean_packages=""
for option in "$@"; do
    case "$option" in
    --full) packages="$packages $fuzz_packages" lean_packages=$windows_packages ;;
    --fuzz) packages="$packages $fuzz_packages" ;;
    --windows) lean_packages=$windows_packages ;;
    --asan | --tsan) ;;
    *)
        echo "usage: sh tools/install-deps.sh [--full | --asan | --fuzz | --tsan | --windows]..." >&2
        exit 2
        ;;
    esac
done

# The packages of the list $1 that are not installed.
missing() {
    for package in $1; do
        dpkg -s "$package" >/dev/null 2>&1 || printf ' %s' "$package"
    done
}
missing=$(missing "$packages")
missing_lean=$(missing "$lean_packages")
[ -z "$missing$missing_lean" ] && exit 0
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
echo "Installing:$missing$missing_lean"
$sudo apt-get update -qq
install="$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq"
[ -z "$missing" ] || $install $missing >/dev/null
[ -z "$missing_lean" ] || $install --no-install-recommends $missing_lean >/dev/null
