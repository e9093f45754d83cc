#!/usr/bin/env bash
# The main job on the example room (examples/room/): installs and builds what is missing (as
# scripts/setup.sh does), exports the room as an FMU, runs it through calovinda run-fmu as an
# independent host would, simulates the same year stand-alone with calovinda simulate, compares
# the room temperatures of both runs hour by hour and prints the annual summary, then that of
# the free-floating room.
#   scripts/run-example.sh [--results DIR] [--stop T]
# Files go to DIR (default: build/example-results): room.fmu, room.csv (the FMU run), room/ and
# free_floating/ (the result files of simulate). --stop ends the FMU run at T seconds (default:
# the year); the stand-alone runs always take the year.
set -euo pipefail
cd "$(dirname "$0")/.."

results=build/example-results
stop=()
while [ $# -gt 0 ]; do
  case "$1" in
    --results) results="${2:?--results needs a directory}"; shift 2 ;;
    --stop) stop=(--stop "${2:?--stop needs seconds}"); shift 2 ;;
    -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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
mkdir -p "$results"

echo
echo "== Exporting the example room as an FMU"
"$tool" export-fmu examples/room/calovinda_project.rmxml "$results/room.fmu"
echo
echo "== Running the FMU (co-simulation, hourly communication steps)"
"$tool" run-fmu "$results/room.fmu" "${stop[@]}" --output "$results/room.csv"
echo
echo "== The example room, heated below 20 C and cooled above 27 C, one year in Denver"
"$tool" simulate examples/room/calovinda_project.rmxml --results "$results/room"
# the FMU's room air temperature (K) beside simulate's (C), hour by hour
awk -F'\t' 'NR > 1 { print $13 }' "$results/room/states.tsv" > "$log"
awk -F, -v ref="$log" '
  NR == 1 { for (i = 1; i <= NF; ++i) if ($i == "ZoneMeanAirTemperature") c = i; next }
  (getline T < ref) > 0 { d = $c - 273.15 - T; if (d < 0) d = -d; if (d > m) m = d; ++n }
  END { printf "FMU run and simulate: room air temperatures agree within %.5f K over %d hours\n", m, n
        exit !(n > 0 && m < 0.05) }' "$results/room.csv"
echo
echo "== The same room free floating"
"$tool" simulate examples/room/free_floating.rmxml --results "$results/free_floating"
