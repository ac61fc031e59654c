#!/usr/bin/env bash
# The test command: installs what is missing, builds, and runs the whole suite twice, in a normal
# build and under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

scripts/build.sh build
(cd build && ctest --output-on-failure -j2)

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
scripts/build.sh build-sanitize -DZV_SANITIZE=ON -DZV_BENCH=OFF
(cd build-sanitize && ctest --output-on-failure -j2)
