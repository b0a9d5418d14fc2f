#!/usr/bin/env bash
# Sets everything up and runs every test:
#   1. the native build: unit tests, the window's tests, end-to-end and fault tests;
#   2. the Windows build under Wine: unit tests, the command-line splitter, the window;
#   3. the native tests again under AddressSanitizer and UndefinedBehaviorSanitizer, then
#      every fuzz target for FUZZ_SECONDS (default 60) seconds.
# `scripts/test.sh native` runs step 1 only, for a quick check during development.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh gui
scripts/build.sh
ctest --test-dir build --output-on-failure -j2
[ "${1:-all}" = native ] && exit 0
scripts/test-windows.sh
scripts/test-hardening.sh "${FUZZ_SECONDS:-60}"
echo "all tests passed"
