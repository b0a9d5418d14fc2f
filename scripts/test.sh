#!/usr/bin/env bash
# Sets everything up and runs every test: the native unit and end-to-end tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh gui
scripts/build.sh
ctest --test-dir build --output-on-failure -j2
