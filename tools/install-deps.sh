#!/bin/sh
# Installs the Debian packages that building, testing, packaging and plotting need, where missing.
set -e
# pkgconf, dpkg-dev (dpkg-shlibdeps), file and groff-base serve the install,
# package and man page tests; nlohmann-json3-dev reads the programs' JSON
# back in the tests, and bash-completion runs the completion test.
packages="cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev pkgconf dpkg-dev file groff-base nlohmann-json3-dev bash-completion"
command -v gnuplot >/dev/null 2>&1 || packages="$packages gnuplot-nox"
missing=""
for package in $packages; do
    dpkg -s "$package" >/dev/null 2>&1 || missing="$missing $package"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
echo "Installing:$missing"
$sudo apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
