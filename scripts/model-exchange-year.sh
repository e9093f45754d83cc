#!/usr/bin/env bash
# A year of the example room (examples/room/) through the FMU's model-exchange interface,
# integrated by calovinda run-fmu with CVODE as CVODE-based FMI hosts do (at most 500 steps to an
# output point), at the model description's tolerance, against the same FMU co-simulated in hourly
# steps: the heated and cooled room must stay within 15-35 C and within 1 K of co-simulation every
# hour, the free-floating room within 0.1 K. Prints the largest differences and solver statistics.
#   scripts/model-exchange-year.sh [--build DIR] [--results DIR] [--tolerance TOL]
# DIR defaults to build (the tool must be built there) and build/model-exchange-year.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
results=build/model-exchange-year
tolerance=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="${2:?--build needs a directory}"; shift 2 ;;
    --results) results="${2:?--results needs a directory}"; shift 2 ;;
    --tolerance) tolerance=(--tolerance "${2:?--tolerance needs a number}"); shift 2 ;;
    -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "model-exchange-year.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
tool="$build/tools/calovinda"
if [ ! -x "$tool" ]; then
  echo "model-exchange-year.sh: $tool is missing: build the project first (scripts/setup.sh)" >&2
  exit 1
fi
mkdir -p "$results"

# compare NAME MAXDIFF [MIN MAX]: the hourly room air temperatures of NAME-me.csv against
# NAME-cs.csv; fails beyond MAXDIFF K or outside MIN..MAX C
compare() {
  awk -F, -v cs="$results/$1-cs.csv" -v limit="$2" -v lo="${3:--1e9}" -v hi="${4:-1e9}" -v name="$1" '
    NR == 1 { for (i = 1; i <= NF; ++i) if ($i == "ZoneMeanAirTemperature") c = i
              getline line < cs; next }
    (getline line < cs) > 0 {
      split(line, ref, ","); T = $c - 273.15; d = $c - ref[c]; if (d < 0) d = -d
      if (d > m) { m = d; tm = $1 }
      if (n == 0 || T < Tmin) Tmin = T; if (n == 0 || T > Tmax) Tmax = T; ++n }
    END {
      printf "%s: %d hours, room %.2f .. %.2f C, largest difference to co-simulation %.4f K (day %.3f)\n",
             name, n, Tmin, Tmax, m, tm/86400
      exit !(n == 8761 && m < limit && Tmin >= lo && Tmax <= hi) }' "$results/$1-me.csv"
}

status=0
for room in calovinda_project free_floating; do
  name=${room/calovinda_project/room}
  "$tool" export-fmu "examples/room/$room.rmxml" "$results/$name.fmu" > /dev/null
  "$tool" run-fmu "$results/$name.fmu" --output "$results/$name-cs.csv" 2> /dev/null
  echo "== $name: model exchange through CVODE, hourly output points"
  "$tool" run-fmu "$results/$name.fmu" --interface me --solver cvode --max-steps 500 "${tolerance[@]}" \
    --output "$results/$name-me.csv" 2>&1 | grep -e '^cvode:' -e '^calovinda' || true
  if [ "$name" = room ]; then
    compare room 1 15 35 || status=1
  else
    compare free_floating 0.1 || status=1
  fi
done
exit $status
