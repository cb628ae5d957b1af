#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite
# under Wine and Xvfb, once per lane, each in a throwaway Wine prefix of its
# own width. Extra arguments go to ctest (for example -R Tray).
#
# Lanes: 64, the 64-bit build under Wine's 64-bit loader, runs on every host;
# 32, the shipped 32-bit build under Wine's i386 loader, runs wherever the
# host runs 32-bit code (probed, never assumed). WENDLE_LANES=32, 64 or 32,64
# forces the choice. Where the 32-bit lane does not run, the shipped 32-bit
# Wendle.exe and its installer are still built and checked without Wine.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wendle_setup

can32=yes
wendle_probe_32 || can32=no
lanes=()
if [ -n "${WENDLE_LANES:-}" ]; then
  for l in ${WENDLE_LANES//,/ }; do
    case $l in 32|64) lanes+=("$l") ;; *) echo "test.sh: WENDLE_LANES takes 32, 64 or 32,64, not '$WENDLE_LANES'" >&2; exit 2 ;; esac
  done
  why_chosen="as WENDLE_LANES asks"
else
  [ $can32 = yes ] && lanes+=(32)
  lanes+=(64)
  why_chosen="probed"
fi
has_lane() { local l; for l in "${lanes[@]}"; do [ "$l" = "$1" ] && return 0; done; return 1; }

trap wendle_wine_down EXIT
trap "exit 130" INT TERM

summary=()
total_passed=0 total_failed=0 total_skipped=0 failed_lanes=0

# Runs ctest in a build folder, keeps its output and adds up what it counted.
# Sets lane_line to "passed, N tests" or "FAILED, ...".
run_ctest() {
  local dir=$1 log=$2 rc=0
  shift 2
  (cd "$dir" && ctest --output-on-failure --timeout 120 "$@") 2>&1 | tee "$log" || rc=$?
  local out_of failed skipped passed
  out_of=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  failed=$(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of.*/\1/p' "$log" | tail -n 1)
  skipped=$(grep -c '(Skipped)$' "$log" || true)
  out_of=${out_of:-0} failed=${failed:-0}
  passed=$((out_of - failed - skipped))
  total_passed=$((total_passed + passed)) total_failed=$((total_failed + failed))
  total_skipped=$((total_skipped + skipped))
  if [ "$rc" = 0 ]; then
    lane_line="passed: $passed passed, $failed failed, $skipped skipped"
  else
    lane_line="FAILED: $passed passed, $failed failed, $skipped skipped (ctest exit $rc)"
    failed_lanes=$((failed_lanes + 1))
  fi
  [ "$skipped" = 0 ] || lane_line+="; skipped: $(grep '(Skipped)$' "$log" | awk '{print $3}' | tr '\n' ' ')"
  return 0
}

run_lane() {
  local started=$SECONDS
  wendle_lane "$1"
  shift
  echo "test.sh: lane $WENDLE_LANE ($WENDLE_ARCH build in $WENDLE_LANE_BUILD, $WENDLE_WINE)"
  if ! wendle_build "$WENDLE_LANE_BUILD"; then
    summary+=("lane $WENDLE_LANE: FAILED: the build failed")
    failed_lanes=$((failed_lanes + 1)) total_failed=$((total_failed + 1))
    return 0
  fi
  wendle_display
  wendle_wine_up "$WENDLE_LANE_BUILD/wineprefix-test" fresh
  # Every program in one virtual desktop: without a window manager, Wine waits
  # up to two seconds for each top-level X window it hides.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Tests /f </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Tests /d 1024x768 /f </dev/null >/dev/null 2>&1
  # The desktop lives for the whole lane, started here with no pipes attached.
  local bin=$WENDLE_LANE_BUILD/bin
  rm -f "$bin/desktop-ready"
  (cd "$bin" && exec "$WENDLE_WINE" explorer /desktop=Tests,1024x768 desktop_holder.exe desktop-ready </dev/null >/dev/null 2>&1) &
  for _ in $(seq 1 600); do [ -f "$bin/desktop-ready" ] && break; sleep 0.1; done
  [ -f "$bin/desktop-ready" ] || echo "test.sh: the Wine desktop is not ready after 60 s; running the tests anyway" >&2
  run_ctest "$WENDLE_LANE_BUILD" "$WENDLE_LANE_BUILD/ctest.log" "$@"
  wendle_wine_stop
  summary+=("lane $WENDLE_LANE ($WENDLE_ARCH under Wine's ${WENDLE_WINE##*/} loader, $((SECONDS - started)) s): $lane_line")
}

for lane in "${lanes[@]}"; do
  if [ "$lane" = 32 ] && [ $can32 = no ]; then
    summary+=("lane 32: FAILED: asked for by WENDLE_LANES, but $WENDLE_NO32_WHY")
    failed_lanes=$((failed_lanes + 1)) total_failed=$((total_failed + 1))
    continue
  fi
  run_lane "$lane" "$@"
done

# What users get is the 32-bit EXE and installer: where the 32-bit lane did
# not run, build them anyway and run the checks that need no Wine.
if ! has_lane 32 || [ $can32 = no ]; then
  started=$SECONDS
  wendle_lane 32
  if wendle_build "$WENDLE_LANE_BUILD" --target Wendle installer; then
    # Called directly: ctest would first list the 32-bit test programs,
    # which needs the lane that cannot run here.
    if bash "$WENDLE_ROOT/tests/check_tables.sh" "$WENDLE_LANE_BUILD/bin/Wendle.exe" \
        "$WENDLE_ROOT/tests/expected-exports.txt" "$WENDLE_ROOT/tests/expected-ras-imports.txt" \
        "$WENDLE_ROOT/tests/allowed-imports.txt" "$WENDLE_ROOT/VERSION"; then
      total_passed=$((total_passed + 1))
      static="passed"
    else
      total_failed=$((total_failed + 1)) failed_lanes=$((failed_lanes + 1))
      static="FAILED"
    fi
    static="the shipped 32-bit Wendle.exe and installer built, their tables checked without Wine ($((SECONDS - started)) s): $static"
  else
    static="FAILED: the shipped 32-bit Wendle.exe or its installer did not build"
    failed_lanes=$((failed_lanes + 1)) total_failed=$((total_failed + 1))
  fi
  if has_lane 32; then
    summary+=("lane 32 static: $static")
  elif [ $can32 = no ]; then
    summary+=("lane 32: skipped: $WENDLE_NO32_WHY; $static")
  else
    summary+=("lane 32: skipped $why_chosen; $static")
  fi
fi
has_lane 64 || summary+=("lane 64: skipped $why_chosen")

echo
for line in "${summary[@]}"; do echo "test.sh: $line"; done
echo "tests: $total_passed passed, $total_failed failed, $total_skipped skipped"
[ "$failed_lanes" = 0 ]
