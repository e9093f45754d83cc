#!/usr/bin/env bash
# Rooms through the FMU's model-exchange interface at the tolerances hosts use, integrated with
# CVODE as CVODE-based FMI hosts do (at most 500 steps to an output point) by two hosts: run-fmu,
# which restarts its solver after every event, and the test build's calovinda_restart_on_flags
# ("flags"), which restarts only when the FMU reports changed states; against the same FMU
# co-simulated with the same communication points (and in steps of 60 s). Prints one line per
# case; exits 1 when a case fails.
# --days: the heated example room (examples/room/) two days from 1 January, from 11 January and
#   from 18 July, relative tolerances 1e-4 to 1e-7, output points every 1, 10, 60, 600 and 3600 s:
#   within 0.5 K of co-simulation at every output point.
# --years: the heated example room a year with hourly output points at 1e-4 to 1e-7: as the two
#   days, and at 1e-6 and 1e-7 within 0.2 K after the first day.
# --rooms: rooms made from the example (see room() below), a year with hourly output points at
#   1e-4 and 1e-6: after the first day within 1 K (1e-4) and 0.5 K (1e-6) of co-simulation in
#   steps of 60 s at those hours and of co-simulation in steps of 3600 s (the free-floating room
#   at 1e-6 within 0.1 K at every row); the night setback at 1e-4 with at most 3 times the
#   right-hand sides of the example; co-simulation in steps of 60 s within 0.1 K of steps of
#   3600 s, for the mechanical ventilation cooling rooms (ventcool, ventcool_low), the office and
#   the dehumidifying cooler (drycooler) within 0.05 K of them and of simulate every hour.
#   Excepted: the summer assessment, whose air change switches only at completed steps and then
#   holds for 30 minutes, so that its co-simulation depends on the step: residential (din,
#   din_moisture) 0.5 K between steps of 60 s and 3600 s; non-residential with day ventilation
#   (din_day_moisture) 6 K in every check (where the room lies within hundredths of a Kelvin of
#   23 C as the 30 minutes end, seconds of switching time decide whether the air change holds for
#   another 30; co-simulation in steps of 1 s and 10 s differs there by 2.4 K). In every room and
#   host no more events at 1e-4 than at 1e-6: a looser tolerance that switches more often chatters.
#   Excepted by 0.5 %: the summer assessment's rooms, whose 30-minute holds end at knife's edges
#   (the room air a tenth of a millikelvin past a limit a minute before the night window closes)
#   that the two tolerances pass on different sides.
#   scripts/model-exchange-matrix.sh [--build DIR] [--results DIR] [--jobs N] [--days] [--years] [--rooms]
# DIR defaults to build (the tool and its tests must be built there) and
# build/model-exchange-matrix; N cases run at once (default 1; with more, a section's lines come
# when it is done, in order); without a section all three run.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
results=build/model-exchange-matrix
jobs=1
sections=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="${2:?--build needs a directory}"; shift 2 ;;
    --results) results="${2:?--results needs a directory}"; shift 2 ;;
    --jobs) jobs="${2:?--jobs needs a number}"; shift 2 ;;
    --days|--years|--rooms) sections+=("${1#--}"); shift ;;
    -h|--help) sed -n '2,/all three run\.$/p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "model-exchange-matrix.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || { echo "model-exchange-matrix.sh: --jobs needs a whole number of 1 or more" >&2; exit 2; }
[ ${#sections[@]} -gt 0 ] || sections=(days years rooms)
tool="$build/tools/calovinda"
declare -A hosts=([run-fmu]="$tool" [flags]="$build/tests/tools/calovinda_restart_on_flags")
for host in "${hosts[@]}"; do
  if [ ! -x "$host" ]; then
    echo "model-exchange-matrix.sh: $host is missing: build the project first (scripts/setup.sh)" >&2
    exit 1
  fi
done
mkdir -p "$results"
cp examples/room/725650TYCST.epw tests/data/climate/15000_20220101_20230101_Aachen-Orsbach.epw \
   tests/data/climate/TRY2015_507931060546_Jahr.dat "$results/"

# room NAME: the project of room NAME on standard output, the example room changed thus:
# example        heated below 20 C, cooled above 27 C, Denver (examples/room/)
# free_floating  without heating and cooling (examples/room/)
# ventcool       mechanical ventilation cooling: up to 300 m3/h of 16 C supply air above 25 C
# ventcool_only  the same without heating and cooling
# ventcool_low   the same with its set point at 15 C, below the supply temperature
# din            the DIN 4108-2 summer assessment (residential, ideal heating to 20 C, 2 air changes
#                an hour at night when the room is above 20 C and warmer than outside), Aachen
# din_moisture   the same with the moisture balance
# din_day_moisture the DIN 4108-2 summer assessment for a non-residential room (ideal heating to
#                21 C, 3 air changes an hour from 7:00 to 18:00 when the room is above 23 C and
#                warmer than outside) with the moisture balance, Aachen
# setback        heated to 16 C from 22:00 to 6:00, to 20 C otherwise
# natural        natural ventilation (DIN) rising to 4 air changes an hour above 23 C from 7:30 to
#                22:15 and above 20 C at night, when the room is warmer than outside
# moisture       with the moisture balance (the materials store moisture, the cooler also
#                dehumidifies), Aachen
# dehumidifier   with the moisture balance and 1.5 kg/h of vapour, which a 1.5 kW cooler at 24 C
#                removes above 50 % on weekdays from 8:00 to 17:00, taking the power from the cooling
# recovery       up to 300 m3/h of supply air on weekdays through a heat recovery of 80 %, bypassed
#                around 22 C
# office         a sunny office in Aachen heated to 21 C and cooled above 26 C, with 150 m3/h of supply
#                air on weekdays from 7:00 to 19:00 and 50 m3/h otherwise through a heat recovery of
#                75 %, bypassed around 21.5 C, near the heating set point
# drycooler      with the moisture balance, 0.5 kg/h of vapour and 0.1 air changes an hour, a 2 kW
#                cooler at 25 C that dehumidifies above 60 % on weekdays
# Natural ventilation rising (or falling) over 0.2 K from its base to the scheduled air change; the
# offices are heated to 21 C and cooled above 26 C, in Aachen:
# nv_managed     office, MANAGED from 0.3 to 3 per hour on weekdays, 1.5 at weekends, above 22 C
# nv_din         office, DIN from 0.4 (0.1 at night) to 2-5 per hour, its day from 20:00 to 06:00
#                across midnight, above 23 C by day and 20 C at night
# nv_din_above   the same falling from 1.5 (1.0 at night) to a scheduled 0.2
# nv_managed_above office, MANAGED falling from 1.5 to a scheduled 0.3 above 22 C
# nv_above3      the example, MANAGED falling from 3 to a scheduled 0.5 above 23 C
# nv_floating    the free-floating room, DIN from 0.5 (0.24 at night) to 3 per hour on weekdays and
#                2 at weekends, above 24 C from 08:00 to 18:00 and 22 C at night, Aachen
# nv_moisture    MANAGED from 0.5 to 2 per hour above 23 C with the moisture balance, Aachen
# nv_office      nv_managed with mechanical ventilation of 150 m3/h on weekdays from 7:00 to 19:00
#                and 50 m3/h otherwise through a heat recovery of 75 %, bypassed around 21.5 C
# nv_heavy       the example with 0.2 m of concrete for the plasterboard of walls and roof, Aachen,
#                cooled above 26 C, DIN from 0.5 (0.2 at night) to 4 per hour, its day from 7:00 to
#                19:00, above 22 C by day and 19 C at night
# cell           a cell of 2 m x 2 m x 2.5 m with a 2 m2 south window and 10 W/m2 of equipment, a 400 W
#                heater at 21 C and a cooler at 24 C whose power follows a curve (300 W at 22 C to
#                900 W at 30 C: 450 W at its set point)
room() {
  local base=examples/room/calovinda_project.rmxml e=(-e '')
  # the moisture balance on, its initial humidity 50 %, and the materials storing moisture
  local moist=(-e 's#<SimulationParameters>#&<MoistureBalanceEnabled>true</MoistureBalanceEnabled><RHInitial>50</RHInitial>#'
               -e 's#name="Wood siding" #&w80="60" wsat="500" #'
               -e 's#name="Glass-fibre insulation" #&w80="0.1" wsat="10" #'
               -e 's#name="Plasterboard" #&w80="6" wsat="400" #'
               -e 's#name="Timber flooring" #&w80="70" wsat="550" #')
  case "$1" in
    example) ;;
    free_floating) base=examples/room/free_floating.rmxml ;;
    ventcool|ventcool_only|ventcool_low)
      local set=25
      [ "$1" = ventcool_low ] && set=15
      e+=(-e '/<MechanicalVentilationModel /,/<\/MechanicalVentilationModel>/{
                s/modelType="NONE"/modelType="MECHANICAL_VENTILATION_COOLING"/
                s#<MaxSupplyFlowRate>40<#<MaxSupplyFlowRate>300<#
                /<ScheduleSetPoints /,/<\/ScheduleSetPoints>/c\            <ScheduleSetPoints type="CONSTANT"><ConstantValue>'$set'</ConstantValue></ScheduleSetPoints>
              }')
      [ "$1" = ventcool ] || e+=(-e 's/<\(Heating\|Cooling\)Model name="" modelType="SIMPLE">/<\1Model name="" modelType="NONE">/') ;;
    din|din_moisture)
      e+=(-e 's#<ClimateLocation>.*<#<ClimateLocation>TRY2015_507931060546_Jahr.dat<#'
          -e 's#<Residential>#<Active>true</Active><EnhancedNightVentilation>true</EnhancedNightVentilation>&#'
          -e 's#<EnhancedNightVentilationValue>0<#<EnhancedNightVentilationValue>2<#')
      [ "$1" = din ] || e+=("${moist[@]}") ;;
    din_day_moisture)
      e+=(-e 's#<ClimateLocation>.*<#<ClimateLocation>TRY2015_507931060546_Jahr.dat<#'
          -e 's#<Residential>true<#<Active>true</Active><EnhancedDayVentilation>true</EnhancedDayVentilation><Residential>false<#'
          -e 's#<EnhancedDayVentilationValue>0<#<EnhancedDayVentilationValue>3<#'
          "${moist[@]}") ;;
    setback)
      local day='16 16 16 16 16 16 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 16 16'
      e+=(-e "/<HeatingModel /,/<\/HeatingModel>/{
                /<ScheduleSetPoints /,/<\/ScheduleSetPoints>/c\            <ScheduleSetPoints type=\"DAILY_WEEK\"><WeekDaySchedule>$day</WeekDaySchedule><WeekEndSchedule>$day</WeekEndSchedule></ScheduleSetPoints>
              }") ;;
    natural)
      e+=(-e 's/<NaturalVentilationModel name="" modelType="SIMPLE">/<NaturalVentilationModel name="" modelType="DIN">/'
          -e '/<NaturalVentilationModel /,/<\/NaturalVentilationModel>/{
                s#<ConstantValue>0.5<#<ConstantValue>4<#
                s#<OccupancyStartTime>06:00:00<#<OccupancyStartTime>07:30:00<#
                s#<OccupancyEndTime>23:00:00<#<OccupancyEndTime>22:15:00<#
              }') ;;
    moisture|dehumidifier)
      e+=("${moist[@]}")
      if [ "$1" = moisture ]; then
        e+=(-e 's#<ClimateLocation>.*<#<ClimateLocation>15000_20220101_20230101_Aachen-Orsbach.epw<#')
      else
        e+=(-e '/<CoolingModel /,/<\/CoolingModel>/{
                  s#<MaxPower>100000<#<MaxPower>1500<#
                  s#<ConstantValue>27<#<ConstantValue>24<#
                }'
            -e '/<ScheduleMoistureLoad /,/<\/ScheduleMoistureLoad>/s#<ConstantValue>20<#<ConstantValue>1500<#')
      fi ;;
    recovery)
      local day='0 0 0 0 0 0 150 150 150 300 300 300 300 300 300 300 300 150 150 0 0 0 0 0' off='0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0'
      e+=(-e '/<MechanicalVentilationModel /,/<\/MechanicalVentilationModel>/{
                s/modelType="NONE"/modelType="MECHANICAL_VENTILATION"/
                s#<HeatRecoveryEfficiency>0<#<HeatRecoveryEfficiency>0.8<#
              }'
          -e "/<ScheduleVentilationRates /,/<\/ScheduleVentilationRates>/c\            <ScheduleVentilationRates type=\"DAILY_WEEK\"><WeekDaySchedule>$day</WeekDaySchedule><WeekEndSchedule>$off</WeekEndSchedule></ScheduleVentilationRates>") ;;
    office)
      local hours='50 50 50 50 50 50 50 150 150 150 150 150 150 150 150 150 150 150 150 50 50 50 50 50' rest='50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50'
      e+=(-e 's#<ClimateLocation>.*<#<ClimateLocation>15000_20220101_20230101_Aachen-Orsbach.epw<#'
          -e '/<HeatingModel /,/<\/HeatingModel>/s#<ConstantValue>20<#<ConstantValue>21<#'
          -e '/<CoolingModel /,/<\/CoolingModel>/s#<ConstantValue>27<#<ConstantValue>26<#'
          -e '/<MechanicalVentilationModel /,/<\/MechanicalVentilationModel>/{
                s/modelType="NONE"/modelType="MECHANICAL_VENTILATION"/
                s#<HeatRecoveryEfficiency>0<#<HeatRecoveryEfficiency>0.75<#
                s#<HeatRecoverySetpoint>22<#<HeatRecoverySetpoint>21.5<#
              }'
          -e "/<ScheduleVentilationRates /,/<\/ScheduleVentilationRates>/c\            <ScheduleVentilationRates type=\"DAILY_WEEK\"><WeekDaySchedule>$hours</WeekDaySchedule><WeekEndSchedule>$rest</WeekEndSchedule></ScheduleVentilationRates>") ;;
    drycooler)
      local wet='60 60 60 60 60 60 60 60 60 60 60 60 60 60 60 60 60 60 60 60 60 60 60 60' dry='100 100 100 100 100 100 100 100 100 100 100 100 100 100 100 100 100 100 100 100 100 100 100 100'
      e+=("${moist[@]}"
          -e '/<NaturalVentilationModel /,/<\/NaturalVentilationModel>/s#<ConstantValue>0.5<#<ConstantValue>0.1<#'
          -e '/<ScheduleMoistureLoad /,/<\/ScheduleMoistureLoad>/s#<ConstantValue>20<#<ConstantValue>500<#'
          -e '/<CoolingModel /,/<\/CoolingModel>/{
                s#<MaxPower>100000<#<MaxPower>2000<#
                s#<ConstantValue>27<#<ConstantValue>25<#
                /<ScheduleHumiditySetPoints /,/<\/ScheduleHumiditySetPoints>/c\            <ScheduleHumiditySetPoints type="DAILY_WEEK"><WeekDaySchedule>'"$wet"'</WeekDaySchedule><WeekEndSchedule>'"$dry"'</WeekEndSchedule></ScheduleHumiditySetPoints>
              }') ;;
    cell)
      e+=(-e 's#<Area>48<#<Area>4<#' -e 's#<Height>2.7<#<Height>2.5<#'
          -e 's#<AW>\(21.6\|16.2\)<#<AW>5<#' -e 's#<AW>9.6<#<AW>3<#' -e 's#<AF>12<#<AF>2<#' -e 's#<AW>48<#<AW>4<#'
          -e '/<HeatingModel /,/<\/HeatingModel>/{
                s#<MaxPower>100000<#<MaxPower>400<#
                s#<ConstantValue>20<#<ConstantValue>21<#
              }'
          -e '/<CoolingModel /,/<\/CoolingModel>/{
                s#<MaxPower>100000</MaxPower>#&<LinearSpline name="MaxPowerCurve"><X unit="C">22 30</X><Y unit="W">300 900</Y></LinearSpline>#
                s#<ConstantValue>27<#<ConstantValue>24<#
              }'
          -e '/<ScheduleEquipmentLoad /,/<\/ScheduleEquipmentLoad>/s#<ConstantValue>4.16667<#<ConstantValue>10<#') ;;
    nv_*)
      # natural TYPE SCHEDULE BASE NIGHT MIN SET START END: the natural ventilation so
      natural() {
        e+=(-e "s/<NaturalVentilationModel name=\"\" modelType=\"SIMPLE\">/<NaturalVentilationModel name=\"\" modelType=\"$1\">/"
            -e "/<ScheduleAirChangeRates /,/<\/ScheduleAirChangeRates>/c\\            $2"
            -e "/<NaturalVentilationModel /,/<\/NaturalVentilationModel>/{
                  s#<BaseAirChangeRate>0.5<#<BaseAirChangeRate>$3<#
                  s#<BaseAirChangeRateNight>0.24<#<BaseAirChangeRateNight>$4<#
                  s#<MinTRoom>23<#<MinTRoom>$5<#
                  s#<SetTRoom>20<#<SetTRoom>$6<#
                  s#<OccupancyStartTime>06:00:00<#<OccupancyStartTime>$7<#
                  s#<OccupancyEndTime>23:00:00<#<OccupancyEndTime>$8<#
                }")
      }
      constant() { echo "<ScheduleAirChangeRates type=\"CONSTANT\"><ConstantValue>$1</ConstantValue></ScheduleAirChangeRates>"; }
      week() { echo "<ScheduleAirChangeRates type=\"DAILY_WEEK\"><WeekDaySchedule>$1</WeekDaySchedule><WeekEndSchedule>$2</WeekEndSchedule></ScheduleAirChangeRates>"; }
      local aachen=(-e 's#<ClimateLocation>.*<#<ClimateLocation>15000_20220101_20230101_Aachen-Orsbach.epw<#')
      local office=("${aachen[@]}" -e '/<HeatingModel /,/<\/HeatingModel>/s#<ConstantValue>20<#<ConstantValue>21<#'
                    -e '/<CoolingModel /,/<\/CoolingModel>/s#<ConstantValue>27<#<ConstantValue>26<#')
      local w3='3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3'
      local w15='1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5 1.5'
      local w2='2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2'
      local d25='5 5 5 5 5 5 4 3 2 2 2 2 2 2 2 2 2 3 4 5 5 5 5 5' e25='4 4 4 4 4 4 4 4 3 3 3 3 3 3 3 3 3 3 3 4 4 4 4 4'
      case "$1" in
        nv_managed|nv_office)
          e+=("${office[@]}"); natural MANAGED "$(week "$w3" "$w15")" 0.3 0.24 22 20 06:00:00 23:00:00
          if [ "$1" = nv_office ]; then
            local day='50 50 50 50 50 50 50 150 150 150 150 150 150 150 150 150 150 150 150 50 50 50 50 50'
            local rest='50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50 50'
            e+=(-e '/<MechanicalVentilationModel /,/<\/MechanicalVentilationModel>/{
                      s/modelType="NONE"/modelType="MECHANICAL_VENTILATION"/
                      s#<HeatRecoveryEfficiency>0<#<HeatRecoveryEfficiency>0.75<#
                      s#<HeatRecoverySetpoint>22<#<HeatRecoverySetpoint>21.5<#
                    }'
                -e "/<ScheduleVentilationRates /,/<\/ScheduleVentilationRates>/c\\            <ScheduleVentilationRates type=\"DAILY_WEEK\"><WeekDaySchedule>$day</WeekDaySchedule><WeekEndSchedule>$rest</WeekEndSchedule></ScheduleVentilationRates>")
          fi ;;
        nv_din) e+=("${office[@]}"); natural DIN "$(week "$d25" "$e25")" 0.4 0.1 23 20 20:00:00 06:00:00 ;;
        nv_din_above) e+=("${office[@]}"); natural DIN "$(constant 0.2)" 1.5 1.0 23 20 20:00:00 06:00:00 ;;
        nv_managed_above) e+=("${office[@]}"); natural MANAGED "$(constant 0.3)" 1.5 0.24 22 20 06:00:00 23:00:00 ;;
        nv_above3) natural MANAGED "$(constant 0.5)" 3 0.24 23 20 06:00:00 23:00:00 ;;
        nv_floating)
          base=examples/room/free_floating.rmxml
          e+=("${aachen[@]}"); natural DIN "$(week "$w3" "$w2")" 0.5 0.24 24 22 08:00:00 18:00:00 ;;
        nv_moisture)
          e+=("${aachen[@]}" "${moist[@]}")
          natural MANAGED "$(constant 2)" 0.5 0.24 23 20 06:00:00 23:00:00 ;;
        nv_heavy)
          e+=("${aachen[@]}" -e '/<CoolingModel /,/<\/CoolingModel>/s#<ConstantValue>27<#<ConstantValue>26<#'
              -e 's#<Material id="10004"[^>]*/>#&<Material id="10005" category="5" name="Concrete" lambda="2.1" rho="2400" cT="1000" mu="80"/>#'
              -e 's#<Layer materialId="10003" d="0.01\(2\)\{0,1\}"/>#<Layer materialId="10005" d="0.2"/>#')
          natural DIN "$(constant 4)" 0.5 0.2 22 19 07:00:00 19:00:00 ;;
        *) echo "model-exchange-matrix.sh: no room '$1'" >&2; exit 2 ;;
      esac ;;
    *) echo "model-exchange-matrix.sh: no room '$1'" >&2; exit 2 ;;
  esac
  sed "${e[@]}" "$base"
}

# project NAME ROOM [START END]: ROOM simulated from START to END [s] (default: its year),
# exported as NAME.fmu, whose co-simulations are then still to run
project() {
  local times=''
  if [ $# -gt 2 ]; then
    times="<SimulationEndTime>$4</SimulationEndTime>"
    # a start time, when given, must be positive
    [ "$3" = 0 ] || times="<SimulationStartTime>$3</SimulationStartTime>$times"
  fi
  room "$2" | sed "s#<SimulationParameters>#&$times#" > "$results/$1.rmxml"
  "$tool" export-fmu "$results/$1.rmxml" "$results/$1.fmu" > /dev/null
  rm -f "$results/$1"-cs-*.csv
}

# cosimulate NAME STEP: NAME.fmu co-simulated in steps of STEP s into NAME-cs-STEP.csv (once for
# each export)
cosimulate() {
  local cs="$results/$1-cs-$2.csv"
  [ -f "$cs" ] || "$tool" run-fmu "$results/$1.fmu" --step "$2" --output "$cs" 2> /dev/null
}

# compare LABEL TEST.csv REFERENCE.csv STATS LIMIT [LATER] [AT]: the room air temperatures of TEST
# against REFERENCE at the times of REFERENCE (AT: ref, the default) or of TEST (AT: test, for a
# reference with more rows); prints the case's line, ending in STATS; fails unless every row is
# within LIMIT [K] and the rows after the first day within LATER, or when a row at those times is
# missing from the other file
compare() {
  awk -F, -v ref="$3" -v stats="$4" -v limit="$5" -v later="${6:-$5}" -v at="${7:-ref}" -v label="$1" '
    function columns(line, names,   i, n, f) {
      n = split(line, f, ","); for (i = 1; i <= n; ++i) names[f[i]] = i }
    BEGIN {
      getline line < ref; columns(line, rc)
      c = rc["ZoneMeanAirTemperature"]
      while ((getline line < ref) > 0) {
        split(line, f, ","); t = f[1] + 0; T[t] = f[c]; ++nRef
        if (t0 == "") t0 = t } }
    NR == 1 { columns($0, tc); c = tc["ZoneMeanAirTemperature"]; next }
    { ++nTest }
    ($1 + 0) in T {
      t = $1 + 0; d = $c - T[t]; if (d < 0) d = -d; x = $c - 273.15
      if (n == 0 || x < Tmin) Tmin = x; if (n == 0 || x > Tmax) Tmax = x; ++n
      if (d > m) { m = d; tm = t }
      if (t - t0 > 86400) { if (d > mDay1) mDay1 = d; if (d > 1) ++off } }
    END {
      ok = (n > 1 && n == (at == "test" ? nTest : nRef) && m < limit && mDay1 < later)
      printf "%s %-4s %6d points, room %6.2f .. %6.2f C, largest difference %.3f K at %d s, %.3f K after day 1 (%d rows > 1 K)%s\n",
             label, ok ? "ok" : "FAIL", n, Tmin, Tmax, m, tm, mDay1, off, stats
      exit !ok }' "$2"
}

# exchange HOST NAME TOL STEP: NAME.fmu through model exchange in HOST with output points every
# STEP s into NAME-HOST-TOL-STEP.csv, the host's statistics into .stats beside it; when the host
# gives up, prints its last words and fails
exchange() {
  local me="$results/$2-$1-$3-$4" err
  rm -f "$me.csv" "$me.stats"
  if err=$("${hosts[$1]}" run-fmu "$results/$2.fmu" --interface me --solver cvode --tolerance "$3" \
             --max-steps 500 --step "$4" --output "$me.csv" 2>&1 > /dev/null); then
    grep '^cvode:' <<< "$err" > "$me.stats"
  else
    printf 'gave up: %s\n' "$(grep -v '^progress' <<< "$err" | tail -n 1)"
    return 1
  fi
}

# the statistics of run NAME-HOST-TOL-STEP for the end of its line
stats() {
  sed 's/^cvode: \([0-9]*\) steps, \([0-9]*\) right-hand sides.*, \([0-9]*\) events.*/, \1 steps, \2 right-hand sides, \3 events/' \
    "$results/$1.stats"
}

# run HOST NAME TOL STEP PERIOD LIMIT [LATER]: NAME.fmu through model exchange in HOST
# (exchange) against co-simulation with the same communication points; the case's line names
# NAME, PERIOD, TOL, STEP and HOST
run() {
  local host=$1 name=$2 tol=$3 step=$4 label why
  label=$(printf '%-13s %-8s %-5s %4s s %-7s:' "$name" "$5" "$tol" "$step" "$host")
  shift 5
  if ! why=$(exchange $host $name $tol $step); then
    printf '%s FAIL %s\n' "$label" "$why"
    return 1
  fi
  compare "$label" "$results/$name-$host-$tol-$step.csv" "$results/$name-cs-$step.csv" "$(stats $name-$host-$tol-$step)" "$@"
}

# year HOST NAME TOL LATER [LIMIT]: NAME.fmu a year through model exchange in HOST with hourly
# output points (exchange), after the first day within LATER [K] of co-simulation in steps of
# 60 s at those hours and of steps of 3600 s, and with LIMIT every row within LIMIT [K]; a line
# for each
year() {
  local host=$1 name=$2 tol=$3 step why status=0
  local limits=("${5:-1e9}" "$4")
  if ! why=$(exchange $host $name $tol 3600); then
    printf '%-13s %-8s %-5s %4s s %-7s: FAIL %s\n' "$name" year "$tol" 3600 "$host" "$why"
    return 1
  fi
  for step in 60 3600; do
    compare "$(printf '%-13s %-8s %-5s %4s s %-7s against %4s s steps:' "$name" year "$tol" 3600 "$host" $step)" \
      "$results/$name-$host-$tol-3600.csv" "$results/$name-cs-$step.csv" "$(stats $name-$host-$tol-3600)" \
      "${limits[@]}" test || status=1
  done
  return $status
}

# right-hand sides and events of a run, from its .stats
rhs() { sed -n 's/.* \([0-9]*\) right-hand sides.*/\1/p' "$results/$1.stats" 2> /dev/null; }
events() { sed -n 's/.* \([0-9]*\) events.*/\1/p' "$results/$1.stats" 2> /dev/null; }

# start CASE...: runs the case (a command that prints its line and fails with it) beside at most
# jobs - 1 others; finish: waits for them and prints their lines in order
lines="$results/lines"
cases=0
status=0
start() {
  if [ "$jobs" = 1 ]; then
    "$@" || status=1
    return
  fi
  cases=$((cases + 1))
  local line="$lines/$(printf '%06d' $cases)"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  { "$@" > "$line" 2>&1 || touch "$line.failed"; } &
}
finish() {
  wait
  local line
  for line in "$lines"/??????; do
    [ -e "$line" ] || continue
    cat "$line"
    [ ! -e "$line.failed" ] || status=1
    rm -f "$line" "$line.failed"
  done
}
rm -rf "$lines"
mkdir -p "$lines"

for section in days years rooms; do
  [[ " ${sections[*]} " == *" $section "* ]] || continue
  case $section in
    days)
      project jan01 example 0 172800
      project jan11 example 864000 1036800
      project jul18 example 17107200 17280000
      for period in jan01 jan11 jul18; do
        for tol in 1e-4 1e-5 1e-6 1e-7; do
          for step in 1 10 60 600 3600; do
            cosimulate $period $step
            for host in run-fmu flags; do
              start run $host $period $tol $step 'two days' 0.5
            done
          done
        done
      done ;;
    years)
      project example example
      cosimulate example 3600
      for tol in 1e-4 1e-5 1e-6 1e-7; do
        later=0.5
        case $tol in 1e-6|1e-7) later=0.2 ;; esac
        for host in run-fmu flags; do
          start run $host example $tol 3600 year 0.5 $later
        done
      done ;;
    rooms)
      rooms="free_floating ventcool ventcool_only ventcool_low din din_moisture din_day_moisture setback natural
             moisture dehumidifier recovery office drycooler
             nv_managed nv_office nv_din nv_din_above nv_managed_above nv_above3 nv_floating nv_moisture nv_heavy cell"
      for name in $rooms; do
        project $name $name
        start cosimulate $name 3600
        start cosimulate $name 60
      done
      finish
      for name in $rooms; do
        for tol in 1e-4 1e-6; do
          later=1
          [ $tol = 1e-6 ] && later=0.5
          case $name$tol in din_day_moisture*) later=6 ;; esac
          all=()
          [ $name$tol = free_floating1e-6 ] && all=(0.1)
          for host in run-fmu flags; do
            start year $host $name $tol $later "${all[@]}"
          done
        done
      done
      if [[ " ${sections[*]} " != *" years "* ]]; then
        # the example's year at 1e-4, for the setback's right-hand sides
        project example example
        cosimulate example 3600
        for host in run-fmu flags; do
          start run $host example 1e-4 3600 year 0.5
        done
      fi
      # co-simulation does not depend on the host's communication step, and simulate is co-simulation
      for name in $rooms; do
        limit=0.1
        case $name in
          ventcool|ventcool_low|office|drycooler) limit=0.05 ;;
          din|din_moisture) limit=0.5 ;;
          din_day_moisture) limit=6 ;;
        esac
        start compare "$(printf '%-13s %-8s co-simulation in 60 s steps against 3600 s:' $name year)" \
          "$results/$name-cs-60.csv" "$results/$name-cs-3600.csv" '' $limit
      done
      for name in ventcool ventcool_low office drycooler; do
        "$tool" simulate "$results/$name.rmxml" --results "$results/$name-simulate" > /dev/null 2>&1
        awk -F'\t' 'NR == 1 { for (i = 1; i <= NF; ++i) if ($i == "Room air temperature [C]") c = i
                             print "time,ZoneMeanAirTemperature"; next }
                   { printf "%d,%.17g\n", $1*86400 + 0.5, $c + 273.15 }' \
          "$results/$name-simulate/states.tsv" > "$results/$name-simulate.csv"
        start compare "$(printf '%-13s %-8s co-simulation in 60 s steps against simulate:' $name year)" \
          "$results/$name-cs-60.csv" "$results/$name-simulate.csv" '' 0.05
      done
      finish
      for name in $rooms; do
        share=0
        case $name in din|din_moisture|din_day_moisture) share=0.005 ;; esac
        for host in run-fmu flags; do
          awk -v loose="$(events $name-$host-1e-4-3600)" -v tight="$(events $name-$host-1e-6-3600)" \
              -v share=$share -v name=$name -v host=$host 'BEGIN {
            ok = (loose != "" && tight != "" && loose <= tight*(1 + share))
            printf "%-13s %-8s %-5s %4s s %-7s: %-4s %d events, at 1e-6 %d\n",
                   name, "year", "1e-4", 3600, host, ok ? "ok" : "FAIL", loose, tight
            exit !ok }' || status=1
        done
      done
      # the set-point steps cost little more than the room without them
      for host in run-fmu flags; do
        awk -v s="$(rhs setback-$host-1e-4-3600)" -v e="$(rhs example-$host-1e-4-3600)" -v host=$host 'BEGIN {
          ok = (s > 0 && e > 0 && s <= 3*e)
          printf "%-13s %-8s %-5s %4s s %-7s: %-4s %d right-hand sides, %.2f times the example\047s %d\n",
                 "setback", "year", "1e-4", 3600, host, ok ? "ok" : "FAIL", s, (e > 0 ? s/e : 0), e
          exit !ok }' || status=1
      done ;;
  esac
  finish
done
exit $status
