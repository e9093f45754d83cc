#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/run-tests.sh              release build in build/
#   scripts/run-tests.sh --sanitize   AddressSanitizer + UBSan build in build-sanitize/
#   scripts/run-tests.sh --fuzz       replays the fuzz corpora and fuzzes each target briefly, in build-fuzz/
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh "$@"
build_dir=build
case "${1:-}" in
  --sanitize) build_dir=build-sanitize ;;
  --fuzz) build_dir=build-fuzz ;;
esac
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
