#!/usr/bin/env bash
# Builds everything and runs every test, once plain and once under
# AddressSanitizer and UndefinedBehaviorSanitizer; then every fuzz target over
# its committed seeds and briefly beyond them, so a finding fails the run; then
# the browser tests in headless Chromium against the plain build; last the
# Debian package, installed on this machine and removed again (as root).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

scripts/build.sh build/test -DCMAKE_BUILD_TYPE=Debug
(cd build/test && ctest --output-on-failure --parallel "$(nproc)")

scripts/build.sh build/asan -DCMAKE_BUILD_TYPE=Debug -DTALVERO_SANITIZE=ON -DTALVERO_BENCH=OFF
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build/asan && ctest --output-on-failure --parallel "$(nproc)")

scripts/fuzz.sh 10

# The real talvero --monitor with the field tools; screenshots land in build/test/browser/.
TALVERO_BIN=build/test TALVERO_SCREENSHOTS=build/test/browser node --test tests/browser/

tests/package/package_test.sh
