#!/bin/sh
# Builds everything and runs every test; ends with the test runner's summary.
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja
cmake --build build
ctest --test-dir build --output-on-failure
