#!/usr/bin/env bash
# The heated example room (examples/room/) through the FMU's model-exchange interface at the
# tolerances hosts use, integrated by calovinda run-fmu with CVODE as CVODE-based FMI hosts do
# (at most 500 steps to an output point), against the same FMU co-simulated with the same
# communication points. Prints one line per case; exits 1 when a case fails:
# - two days from 1 January and two days from 18 July, relative tolerances 1e-4 to 1e-7, output
#   points every 1, 10, 60, 600 and 3600 s: a run either finishes within 1 K of co-simulation at
#   every output point or exits non-zero with the FMU's message, and never finishes with a room
#   air temperature outside 10-40 C;
# - the year with hourly output points: within 1 K of co-simulation every hour at 1e-4 and 1e-5,
#   within 0.5 K every hour and 0.2 K after the first day at 1e-6 and 1e-7.
#   scripts/model-exchange-matrix.sh [--build DIR] [--results DIR] [--days | --years]
# DIR defaults to build (the tool must be built there) and build/model-exchange-matrix; --days
# or --years runs only those cases.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
results=build/model-exchange-matrix
days=1
years=1
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="${2:?--build needs a directory}"; shift 2 ;;
    --results) results="${2:?--results needs a directory}"; shift 2 ;;
    --days) years=0; shift ;;
    --years) days=0; shift ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "model-exchange-matrix.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
tool="$build/tools/calovinda"
if [ ! -x "$tool" ]; then
  echo "model-exchange-matrix.sh: $tool is missing: build the project first (scripts/setup.sh)" >&2
  exit 1
fi
mkdir -p "$results"
cp examples/room/*.epw "$results/"

# project NAME START END: the example room simulated from START to END [s], exported as NAME.fmu
project() {
  local times="<SimulationEndTime>$3</SimulationEndTime>"
  # a start time, when given, must be positive
  [ "$2" = 0 ] || times="<SimulationStartTime>$2</SimulationStartTime>$times"
  sed "s#<SimulationParameters>#<SimulationParameters>$times#" examples/room/calovinda_project.rmxml > "$results/$1.rmxml"
  "$tool" export-fmu "$results/$1.rmxml" "$results/$1.fmu" > /dev/null
}

# compare LABEL ME.csv CS.csv LIMIT [LIMIT_AFTER_DAY_1]: prints the case's line; fails beyond the
# limits [K], outside 10-40 C or when the rows differ
compare() {
  awk -F, -v cs="$3" -v limit="$4" -v later="${5:-$4}" -v label="$1" -v stats="$6" '
    NR == 1 { for (i = 1; i <= NF; ++i) if ($i == "ZoneMeanAirTemperature") c = i
              getline line < cs; next }
    (getline line < cs) > 0 {
      split(line, ref, ","); T = $c - 273.15; d = $c - ref[c]; if (d < 0) d = -d
      if (n == 0) t0 = $1
      if (d > m) m = d
      if ($1 - t0 > 86400 && d > mLater) mLater = d
      if (n == 0 || T < Tmin) Tmin = T; if (n == 0 || T > Tmax) Tmax = T; ++n }
    END {
      ok = (n > 1 && (getline line < cs) <= 0 && m < limit && mLater < later && Tmin >= 10 && Tmax <= 40)
      printf "%s %-4s %6d points, room %.2f .. %.2f C, largest difference %.3f K (%.3f K after day 1), %s\n",
             label, ok ? "ok" : "FAIL", n, Tmin, Tmax, m, mLater, stats
      exit !ok }' "$2"
}

# run LABEL FMU TOL STEP LIMIT [LIMIT_AFTER_DAY_1]
run() {
  local label=$1 fmu=$2 tol=$3 step=$4 name
  name=$(basename "$fmu" .fmu)
  local cs="$results/$name-cs-$step.csv" me="$results/$name-me-$tol-$step.csv"
  [ -f "$cs" ] || "$tool" run-fmu "$fmu" --step "$step" --output "$cs" 2> /dev/null
  rm -f "$me"
  local err
  if err=$("$tool" run-fmu "$fmu" --interface me --solver cvode --tolerance "$tol" --max-steps 500 \
             --step "$step" --output "$me" 2>&1 > /dev/null); then
    compare "$label" "$me" "$cs" "$5" "${6:-$5}" \
      "$(grep '^cvode:' <<< "$err" | sed 's/^cvode: \([0-9]*\) steps.*, \([0-9]*\) events.*/\1 steps, \2 events/')"
  else
    # a loud failure is an answer for the two days, when the FMU says why; a year must finish
    printf '%s gave up: %s\n' "$label" "$(grep -v '^progress' <<< "$err" | tail -n 1)"
    [ "$mayGiveUp" = 1 ] && grep -q '^calovinda \[error\]: ' <<< "$err"
  fi
}

status=0
mayGiveUp=1
if [ "$days" = 1 ]; then
  project january 0 172800
  project july 17107200 17280000
  for period in january july; do
    for tol in 1e-4 1e-5 1e-6 1e-7; do
      for step in 1 10 60 600 3600; do
        run "$(printf '%-7s two days %-5s %4s s:' $period $tol $step)" "$results/$period.fmu" $tol $step 1 || status=1
      done
    done
  done
fi
if [ "$years" = 1 ]; then
  mayGiveUp=0
  "$tool" export-fmu examples/room/calovinda_project.rmxml "$results/year.fmu" > /dev/null
  run "$(printf '%-16s %-5s %4s s:' year 1e-4 3600)" "$results/year.fmu" 1e-4 3600 1 || status=1
  run "$(printf '%-16s %-5s %4s s:' year 1e-5 3600)" "$results/year.fmu" 1e-5 3600 1 || status=1
  run "$(printf '%-16s %-5s %4s s:' year 1e-6 3600)" "$results/year.fmu" 1e-6 3600 0.5 0.2 || status=1
  run "$(printf '%-16s %-5s %4s s:' year 1e-7 3600)" "$results/year.fmu" 1e-7 3600 0.5 0.2 || status=1
fi
exit $status
