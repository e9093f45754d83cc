#!/usr/bin/env bash
# The main job on the example room (examples/room/): installs and builds what is missing (as
# scripts/setup.sh does), simulates the year of the heated and cooled room and prints its annual
# summary, then the free-floating room's.
#   scripts/run-example.sh [--results DIR]
# The result files go to DIR/room and DIR/free_floating (default DIR: build/example-results).
set -euo pipefail
cd "$(dirname "$0")/.."

results=build/example-results
while [ $# -gt 0 ]; do
  case "$1" in
    --results) results="${2:?--results needs a directory}"; shift 2 ;;
    -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run-example.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done

log="$(mktemp)"
trap 'rm -f "$log"' EXIT
echo "Building (scripts/setup.sh) ..."
if ! scripts/setup.sh > "$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "run-example.sh: the build failed" >&2
  exit 1
fi
tool=build/tools/calovinda

echo
echo "== The example room, heated below 20 C and cooled above 27 C, one year in Denver"
"$tool" simulate examples/room/calovinda_project.rmxml --results "$results/room"
echo
echo "== The same room free floating"
"$tool" simulate examples/room/free_floating.rmxml --results "$results/free_floating"
