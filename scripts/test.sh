#!/usr/bin/env bash
# Sets everything up and runs every test:
#   1. the format check (with shellcheck), then the native build: unit tests, the window's tests,
#      end-to-end and fault tests;
#   1b. the Debian package: built, lintian, installed with apt-get, run, purged;
#   2. the Windows build under Wine (then its zip, unpacked and run, and its installer, installed,
#      run and uninstalled): unit tests, the command-line splitter, the window;
#   3. the native tests again under AddressSanitizer and UndefinedBehaviorSanitizer, then
#      every fuzz target for FUZZ_SECONDS (default 60) seconds.
# `scripts/test.sh native` runs step 1 only; `scripts/test.sh quick` builds and runs only the
# unit tests (ctest label "unit", seconds), the loop while working on the code.
# Every stage prints the whole output of a test that fails; the last line says which stage
# failed, so a CI log read from the bottom names it.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

# stage NAME CMD...: runs one stage, timed; a failure ends the run naming the stage.
stage() {
    local name=$1 begun rc=0
    shift
    begun=$(date +%s)
    echo "==== stage: $name"
    "$@" || rc=$?
    if [ "$rc" != 0 ]; then
        echo "==== FAILED: stage \"$name\" (exit $rc, after $(( $(date +%s) - begun )) s); its output is above" >&2
        exit "$rc"
    fi
    echo "==== passed: $name ($(( $(date +%s) - begun )) s)"
}
# (Chained with &&: "set -e" does not act inside a function whose caller tests its status.)
# format.sh --check: clang-format, shellcheck and the names of tracked files.
native() {
    scripts/setup.sh gui && scripts/format.sh --check && scripts/build.sh &&
        ctest --test-dir build --output-on-failure -j2
}

quick() {
    scripts/setup.sh gui && scripts/build.sh && ctest --test-dir build --output-on-failure -j2 -L unit
}

case ${1:-all} in
    all | native) ;;
    quick) stage quick quick; exit 0 ;;
    *) echo "usage: scripts/test.sh [native|quick]" >&2; exit 64 ;;
esac
stage native native
[ "${1:-all}" = native ] && exit 0
stage package scripts/test-package.sh
stage windows scripts/test-windows.sh
stage windows-zip scripts/test-windows-zip.sh
stage windows-setup scripts/test-windows-setup.sh
stage sanitizers-and-fuzzing scripts/test-hardening.sh "${FUZZ_SECONDS:-60}"
echo "all tests passed in $(( $(date +%s) - started )) s"
