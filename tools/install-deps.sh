#!/bin/sh
# Installs the Debian packages that building, testing, packaging and plotting need, where missing.
set -e
# pkgconf, dpkg-dev (dpkg-shlibdeps), file and groff-base serve the install,
# package and man page tests; nlohmann-json3-dev reads the programs' JSON
# back in the tests, bash-completion runs the completion test, and
# libboost-math-dev computes the t and chi-square distributions;
# python3-numpy and python3-scipy are the comparison of bench/model_comparison.sh.
packages="cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev pkgconf dpkg-dev file groff-base nlohmann-json3-dev bash-completion libboost-math-dev python3-numpy python3-scipy"
command -v gnuplot >/dev/null 2>&1 || packages="$packages gnuplot-nox"
# The Windows build: the MinGW-w64 cross compiler with POSIX threads, Google
# Test's sources to build for it, and Wine to run its programs and tests,
# without the desktop pieces that Wine recommends.
windows_packages="g++-mingw-w64-x86-64-posix googletest wine64 wine"

# The packages of the list $1 that are not installed.
missing() {
    for package in $1; do
        dpkg -s "$package" >/dev/null 2>&1 || printf ' %s' "$package"
    done
}
missing=$(missing "$packages")
missing_windows=$(missing "$windows_packages")
[ -z "$missing$missing_windows" ] && exit 0
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
echo "Installing:$missing$missing_windows"
$sudo apt-get update -qq
install="$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq"
[ -z "$missing" ] || $install $missing >/dev/null
[ -z "$missing_windows" ] || $install --no-install-recommends $missing_windows >/dev/null
