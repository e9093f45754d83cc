#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/run-tests.sh              release build in build/
#   scripts/run-tests.sh --sanitize   AddressSanitizer + UBSan build in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh "$@"
build_dir=build
[ "${1:-}" = "--sanitize" ] && build_dir=build-sanitize
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
