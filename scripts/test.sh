#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite
# under Wine and Xvfb, once per lane, each in a throwaway Wine prefix of its
# own width. Extra arguments go to ctest (for example -R Tray).
#
# Lanes: 32, the shipped 32-bit build under Wine's i386 loader; 64, the
# 64-bit build under Wine's 64-bit loader. Both run on every host. Where the
# host's kernel runs no 32-bit code (probed, never assumed), lane 32 runs in
# an emulated machine (scripts/guest.sh) and, being several times slower
# there, runs only what users get: the end-to-end tests of the real EXE, the
# installer and the table checks. WENDLE_LANES=32, 64 or 32,64 picks lanes;
# with 32 named, the emulated machine runs the whole 32-bit suite.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
[ -n "${WENDLE_PREBUILT:-}" ] || wendle_setup

can32=yes
wendle_probe_32 || can32=no
lanes=()
if [ -n "${WENDLE_LANES:-}" ]; then
  for l in ${WENDLE_LANES//,/ }; do
    case $l in 32|64) lanes+=("$l") ;; *) echo "test.sh: WENDLE_LANES takes 32, 64 or 32,64, not '$WENDLE_LANES'" >&2; exit 2 ;; esac
  done
  guest_scope=full
else
  lanes=(32 64)
  guest_scope=end-to-end
fi
has_lane() { local l; for l in "${lanes[@]}"; do [ "$l" = "$1" ] && return 0; done; return 1; }

trap wendle_wine_down EXIT
trap "exit 130" INT TERM

summary=()
total_passed=0 total_failed=0 total_skipped=0 failed_lanes=0
lane_failed() {
  summary+=("$1")
  failed_lanes=$((failed_lanes + 1)) total_failed=$((total_failed + 1))
}

# Adds up the counts of a closing line "tests: N passed, N failed, N skipped"
# (the guest's) and sets lane_line.
count_guest() {
  local line p=0 f=0 s=0
  line=$(grep -E '^tests: [0-9]+ passed, [0-9]+ failed, [0-9]+ skipped' "$1" | tail -n 1 || true)
  if [ -n "$line" ]; then
    read -r p f s < <(echo "$line" | sed 's/[^0-9 ]//g')
  fi
  total_passed=$((total_passed + p)) total_failed=$((total_failed + f)) total_skipped=$((total_skipped + s))
  lane_line="$p passed, $f failed, $s skipped"
}

# Runs ctest in a build folder, keeps its output and adds up what it counted.
# Sets lane_line to "passed: ..." or "FAILED: ...".
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

# A lane on this host, under the lane's own Wine loader.
run_lane() {
  local started=$SECONDS
  wendle_lane "$1"
  shift
  echo "test.sh: lane $WENDLE_LANE ($WENDLE_ARCH build in $WENDLE_LANE_BUILD, $WENDLE_WINE)"
  if [ -z "${WENDLE_PREBUILT:-}" ] && ! wendle_build "$WENDLE_LANE_BUILD"; then
    lane_failed "lane $WENDLE_LANE: FAILED: the build failed"
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
  local place="on this host"
  [ -z "${WENDLE_IN_GUEST:-}" ] || place="inside the emulated machine"
  summary+=("lane $WENDLE_LANE ($WENDLE_ARCH under Wine's ${WENDLE_WINE##*/} loader, $place, $((SECONDS - started)) s): $lane_line")
}

# Lane 32 in the emulated machine: built here, run there by this script.
run_guest_lane() {
  local started=$SECONDS scope=$1 rc=0
  shift
  wendle_lane 32
  echo "test.sh: lane 32 ($scope) in an emulated machine: $WENDLE_NO32_WHY"
  local targets=()
  [ "$scope" = full ] || targets=(--target Wendle installer e2e_tests desktop_holder rasapi32 rasctl)
  if ! wendle_build "$WENDLE_LANE_BUILD" "${targets[@]}"; then
    lane_failed "lane 32: FAILED: the build failed"
    return 0
  fi
  local args=()
  [ "$scope" = full ] || args=(-L '^e2e_tests$')
  args+=("$@")
  local limit=900 out=$WENDLE_LANE_BUILD/guest-run
  [ "$scope" = full ] && limit=3600
  bash "$WENDLE_ROOT/scripts/guest.sh" "$out" "$limit" \
    "WENDLE_IN_GUEST=1 WENDLE_PREBUILT=1 WENDLE_LANES=32 bash scripts/test.sh ${args[*]@Q}" || rc=$?
  [ -f "$out/guest.log" ] && cat "$out/guest.log"
  count_guest "$out/guest.log"
  local where="x86 under Wine's i386 loader, $scope, in the emulated machine (QEMU), $((SECONDS - started)) s"
  if [ "$rc" = 0 ]; then
    summary+=("lane 32 ($where): passed: $lane_line")
  else
    echo "test.sh: the emulated machine's console ($out/console.log), last lines:"
    tail -n 40 "$out/console.log" 2>/dev/null || true
    summary+=("lane 32 ($where): FAILED (exit $rc): $lane_line")
    failed_lanes=$((failed_lanes + 1))
    # Counted once: as the guest's own failures, or as one when it said none.
    case $lane_line in *" 0 failed"*) total_failed=$((total_failed + 1)) ;; esac
  fi
}

# What users download, built before the lanes, twice, to show that the same
# source gives the same bytes; lane 32's Package.SameBytes then checks that
# it tests exactly those. Inside the emulated machine the host has done it.
package_for_lanes() {
  [ -z "${WENDLE_PREBUILT:-}" ] || return 0
  local started=$SECONDS
  if bash "$WENDLE_ROOT/scripts/check-reproducible.sh" "$WENDLE_BUILD_DIR/x86/package"; then
    total_passed=$((total_passed + 1))
    summary+=("package: built twice in two folders, byte-identical, into $WENDLE_BUILD_DIR/x86/package ($((SECONDS - started)) s): passed")
  else
    lane_failed "package: FAILED: not built, or two builds differ (see above)"
  fi
}
package_for_lanes

for lane in "${lanes[@]}"; do
  if [ "$lane" = 32 ] && [ $can32 = no ]; then
    run_guest_lane "$guest_scope" "$@"
  else
    run_lane "$lane" "$@"
  fi
done

# What users get is the 32-bit EXE and installer: where lane 32 was not
# asked for, build them anyway and run the checks that need no Wine.
if ! has_lane 32; then
  started=$SECONDS
  wendle_lane 32
  if wendle_build "$WENDLE_LANE_BUILD" --target Wendle installer; then
    # Called directly: ctest would first list the 32-bit test programs,
    # which needs a lane that is not running.
    if bash "$WENDLE_ROOT/tests/check_tables.sh" "$WENDLE_LANE_BUILD/bin/Wendle.exe" \
        "$WENDLE_ROOT/tests/expected-exports.txt" "$WENDLE_ROOT/tests/expected-ras-imports.txt" \
        "$WENDLE_ROOT/tests/allowed-imports.txt" "$WENDLE_ROOT/VERSION"; then
      total_passed=$((total_passed + 1))
      summary+=("lane 32: skipped as WENDLE_LANES asks; the shipped Wendle.exe and installer built, their tables checked ($((SECONDS - started)) s): passed")
    else
      lane_failed "lane 32: skipped as WENDLE_LANES asks; the shipped Wendle.exe's tables: FAILED"
    fi
  else
    lane_failed "lane 32: skipped as WENDLE_LANES asks; the shipped Wendle.exe or its installer: FAILED to build"
  fi
fi
has_lane 64 || summary+=("lane 64: skipped as WENDLE_LANES asks")

echo
for line in "${summary[@]}"; do echo "test.sh: $line"; done
echo "tests: $total_passed passed, $total_failed failed, $total_skipped skipped"
[ "$failed_lanes" = 0 ]
