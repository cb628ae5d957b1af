#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite
# under Wine and Xvfb, once per lane, each in a throwaway Wine prefix of its
# own width. Extra arguments go to ctest (for example -R Tray); arguments
# that match no test in any lane fail the run.
#
# Lanes: 32, the shipped 32-bit build under Wine's i386 loader; 64, the
# 64-bit build under Wine's 64-bit loader. Both run on every host. Where the
# host's kernel runs no 32-bit code (probed, never assumed), or where
# WENDLE_GUEST=1 asks for it, lane 32 runs in an emulated machine
# (scripts/guest.sh) and, being several times slower there, runs only what
# users get: the end-to-end tests of the real EXE, the installer and the
# table checks. WENDLE_LANES=32, 64 or 32,64 picks lanes; with 32 named, the
# emulated machine runs the whole 32-bit suite.
#
# Hosts take turns between kernels that run 32-bit code and ones that do
# not, so the emulated path must not go unexercised where lane 32 runs
# natively: there a whole run (no ctest arguments) also boots the emulated
# machine once for one end-to-end test of the shipped EXE. WENDLE_GUEST=0
# leaves that out.
#
# The steps run side by side: the package, each lane with a display and a
# Wine prefix of its own, the emulated machine as soon as the 32-bit build it
# tests is there, and in a whole run the tests of the real EXE at its shipped
# pace (run_paced) as soon as lane 64's build is there. Almost all of a
# lane's time is waiting (timers, prompts, Wine starting processes), so two
# lanes take little longer than one. Each line a step prints starts with its
# name ("lane 64| ").
#
# The last lines: one per step (the package, a lane, the emulated machine's
# check, the paced tests, the tables of a lane that did not run), then "tests: N passed,
# N failed, N skipped", all counted from what record_as() wrote.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
[ -n "${WENDLE_PREBUILT:-}" ] || wendle_setup

# The end-to-end test the emulated machine runs where lane 32 runs here: the
# real EXE started, reminding, hanging up and exiting, as Windows 95 sees it.
# CTest's name for it ends in a comment on the parameter.
guest_check_test=Modes/EveryWindows.StartsRemindsHangsUpAndExits/win95
# What the emulated lane runs of the end-to-end program where lane 32 cannot
# run here: the shipped EXE in every Windows version, the help and the
# installer. The program's other tests drive the same source; lane 64 runs
# them everywhere, and lane 32 where the host runs it.
guest_e2e_filter='Modes/*:Help/*:HelpFile.*:Installer.*'
# The end-to-end tests at the shipped pace, which a whole run gives a step
# of its own (run_paced), as ctest labels them: the lanes run them only when
# the arguments name them (-R Paced, say), and the emulated machine, which
# picks the end-to-end tests by their label, never.
paced_label='^paced$'
# Without arguments for ctest every step must run some test: one that finds
# none (a build folder that is not the one built, say) has tested nothing.
user_args=$#

can32=yes
wendle_probe_32 || can32=no
case ${WENDLE_GUEST:-} in
  ''|0|1) ;;
  *) echo "test.sh: WENDLE_GUEST takes 1 (lane 32 in the emulated machine) or 0 (no emulated machine where lane 32 runs here), not '$WENDLE_GUEST'" >&2; exit 2 ;;
esac
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
guest32=no why_guest=
if [ -z "${WENDLE_IN_GUEST:-}" ]; then
  if [ $can32 = no ]; then
    guest32=yes why_guest=$WENDLE_NO32_WHY
  elif [ "${WENDLE_GUEST:-}" = 1 ]; then
    guest32=yes why_guest="WENDLE_GUEST=1 asks for it"
  fi
fi

# What the steps leave for each other and for the count: markers (the 32-bit
# build done, the package done) and one result file per step.
run_dir=$WENDLE_BUILD_DIR/test-run
rm -rf "$run_dir"
mkdir -p "$run_dir"

# Every long command runs as a child in the background, waited for, so that
# a signal stops it at once (bash acts on a signal only once a foreground
# command ends): the terminal's interrupt does not reach a background child
# (nor QEMU, in timeout's own process group), so it is told with TERM. Killed
# outright, this script leaves guest.sh a parent death signal.
kill_tree() {
  local p
  for p in $(pgrep -P "$1" 2>/dev/null); do kill_tree "$p"; done
  kill -TERM "$1" 2>/dev/null || true
}
child_pid=
stop_child() {
  [ -n "$child_pid" ] || return 0
  kill_tree "$child_pid"
  wait "$child_pid" 2>/dev/null || true
  child_pid=
}
# Runs COMMAND... as that child; its exit status.
waited_child() {
  local rc=0
  "$@" &
  child_pid=$!
  wait "$child_pid" || rc=$?
  child_pid=
  return $rc
}

# ---- a step's own result ------------------------------------------------------
# record WHAT PASSED FAILED SKIPPED [WHY [NOTE]]: a step's summary line and
# its share of the totals, written for the count at the end. WHY says what
# went wrong beyond failed tests (a build, a ctest that stopped before its
# summary, an emulated machine with no answer): the step fails, and with no
# failed test of its own counts as one, so that the totals never read as a
# pass.
step_result=
# Fields are parted by the unit separator: a tab, being white space to read,
# would fold an empty field into the next.
# record_as KIND ...: as record, of a kind: ctest's records alone tell whether
# the arguments matched a test.
record_as() { printf '%s\037%s\037%s\037%s\037%s\037%s\037%s\n' "$1" "$2" "$3" "$4" "$5" "${6:-}" "${7:-}" >>"$step_result"; }
record() { record_as run "$@"; }

# What a step's run counted, for record_run: set by ctest_run and guest_run.
# run_none: its ctest arguments matched no test (the run fails only when no
# step matched any: a lane's scope may hold none of them).
run_passed=0 run_failed=0 run_skipped=0 run_why= run_note= run_none=
record_run() {
  if [ -n "$run_none" ] && [ "$user_args" = 0 ]; then
    run_none= run_why="no test ran"
  fi
  if [ -n "$run_none" ]; then
    printf 'none\037%s\n' "$1" >>"$step_result"
    return 0
  fi
  record_as ctest "$1" "$run_passed" "$run_failed" "$run_skipped" "$run_why" "$run_note"
}

# Runs ctest in a build folder, keeping its output in LOG: the counts of its
# closing summary, or why there is none (a test program that cannot list its
# tests stops ctest before it).
ctest_pipeline() {
  local dir=$1 log=$2
  shift 2
  cd "$dir" && ctest --output-on-failure --timeout 120 "$@" 2>&1 | tee "$log"
}
ctest_run() {
  local dir=$1 log=$2 rc=0 out_of cause
  shift 2
  run_passed=0 run_failed=0 run_skipped=0 run_why= run_note= run_none=
  waited_child ctest_pipeline "$dir" "$log" "$@" || rc=$?
  out_of=$(sed -n 's/.*tests\{0,1\} failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  if [ -z "$out_of" ]; then
    if [ "$rc" = 0 ] && grep -q '^No tests were found' "$log"; then
      run_none=yes
    else
      run_why="ctest stopped before its summary (exit $rc)"
      if grep -q 'Error running test executable' "$log"; then
        # GoogleTest's discovery: "Path: '<emulator> <program>'", "Result: N".
        cause=$(sed -n "s/^ *Path: '\(.* \)\{0,1\}\([^ ]*\)'\$/\2/p" "$log" | head -n 1)
        run_why+=": ${cause##*/} cannot list its tests (exit $(sed -n 's/^ *Result: //p' "$log" | head -n 1))"
      else
        cause=$(grep -m 1 -E 'Could not find executable|CMake Error|Error' "$log" | sed 's/^ *//' || true)
        run_why+="${cause:+: $cause}"
      fi
    fi
    return 0
  fi
  run_failed=$(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of.*/\1/p' "$log" | tail -n 1)
  run_skipped=$(grep -c '(Skipped)$' "$log" || true)
  run_failed=${run_failed:-0}
  run_passed=$((out_of - run_failed - run_skipped))
  [ "$rc" = 0 ] || [ "$run_failed" != 0 ] || run_why="ctest exit $rc"
  [ "$run_skipped" = 0 ] || run_note="skipped: $(grep '(Skipped)$' "$log" | awk '{print $3}' | tr '\n' ' ' | sed 's/ $//')"
}

# Runs the tests of PROGRAM (in the lane's bin folder) that FILTER names in
# one process, its output kept in LOG: the counts of GoogleTest's closing
# lines, or why there are none. The emulated machine runs its end-to-end
# tests this way: there each Wine process takes seconds to start, and ctest
# starts one a test. LIMIT, in seconds, stops a program that hangs (0: none;
# the emulated machine has a limit of its own).
gtest_pipeline() {
  # The program writes Windows line ends.
  cd "$1/bin" && timeout -k 10 "$5" bash "$WENDLE_ROOT/scripts/wine-exec.sh" "$3" --gtest_color=no "--gtest_filter=$4" </dev/null 2>&1 | sed -u 's/\r$//' | tee "$2"
}
gtest_whole() {
  local dir=$1 log=$2 program=$3 filter=$4 limit=${5:-0} rc=0
  run_passed=0 run_failed=0 run_skipped=0 run_why= run_note= run_none=
  waited_child gtest_pipeline "$dir" "$log" "$program" "$filter" "$limit" || rc=$?
  count_of() { sed -n "s/^\[  $1 *\] \([0-9]*\) tests\{0,1\}[.,].*/\1/p" "$log" | tail -n 1; }
  run_passed=$(count_of PASSED)
  if [ -z "$run_passed" ]; then
    run_passed=0
    run_why="$program stopped before its summary (exit $rc)"
    [ "$rc" != 124 ] || [ "$limit" = 0 ] || run_why="$program did not finish within $limit s"
    return 0
  fi
  run_failed=$(count_of FAILED) run_skipped=$(count_of SKIPPED)
  run_failed=${run_failed:-0} run_skipped=${run_skipped:-0}
  [ "$rc" = 0 ] || [ "$run_failed" != 0 ] || run_why="$program exit $rc"
  [ "$run_skipped" = 0 ] || run_note="skipped: $(sed -n '/^\[  SKIPPED \] [0-9]* tests\{0,1\}, listed below:/,/^$/s/^\[  SKIPPED \] \([^ ]*\)$/\1/p' "$log" | tr '\n' ' ' | sed 's/ $//')"
}

# This checkout's test.sh, run inside the emulated machine on the build
# folder built here (the guest starts with an empty environment), in a Wine
# prefix of its own name: the guest writes only to a layer in its own
# memory, but reads the host's folders live, while lane 32 may be using its
# prefix here.
in_guest() {
  echo "WENDLE_IN_GUEST=1 WENDLE_PREBUILT=1 WENDLE_LANES=32 WENDLE_BUILD_DIR=${WENDLE_BUILD_DIR@Q} WENDLE_TEST_PREFIX=wineprefix-guest ${1:-}bash ${WENDLE_ROOT@Q}/scripts/test.sh"
}

# Runs COMMAND (a test.sh command line) in the emulated machine, in the
# background (see waited_child): the closing count of the test.sh that ran
# there, or why there is none.
guest_run() {
  local limit=$1 command=$2 out=$WENDLE_LANE_BUILD/guest-run line rc=0
  run_passed=0 run_failed=0 run_skipped=0 run_why= run_note= run_none=
  rm -f "$out/guest.log"  # an earlier run's count is not this one's
  waited_child setpriv --pdeathsig TERM bash "$WENDLE_ROOT/scripts/guest.sh" "$out" "$limit" "$command" || rc=$?
  # Marked, so that its closing line is never taken for this script's own.
  [ -f "$out/guest.log" ] && sed 's/^/guest| /' "$out/guest.log"
  line=$(grep -E '^tests: [0-9]+ passed, [0-9]+ failed, [0-9]+ skipped$' "$out/guest.log" 2>/dev/null | tail -n 1 || true)
  [ -z "$line" ] || read -r run_passed run_failed run_skipped < <(echo "$line" | sed 's/[^0-9 ]//g')
  if [ -z "$line" ]; then
    case $rc in
      124) run_why="the emulated machine did not finish within $limit s" ;;
      125) run_why="the emulated machine stopped without an answer" ;;
      *) run_why="no count from the emulated machine (exit $rc)" ;;
    esac
  elif [ "$rc" != 0 ] && [ "$run_failed" = 0 ]; then
    run_why="exit $rc"
  elif [ "$rc" = 0 ] && [ $((run_passed + run_failed + run_skipped)) = 0 ]; then
    run_none=yes
  fi
  if [ "$rc" != 0 ]; then
    echo "test.sh: the emulated machine's console ($out/console.log), last lines:"
    tail -n 40 "$out/console.log" 2>/dev/null || true
  fi
}

# Waits until a step left MARKER (its content: ok or failed); the marker's
# content, or nothing when the step that makes it is not running.
await_marker() {
  local marker=$run_dir/$1
  while [ ! -f "$marker" ]; do
    [ -f "$run_dir/$1.expected" ] || return 0
    waited_child sleep 0.5
  done
  cat "$marker"
}
expect_marker() { : >"$run_dir/$1.expected"; }
mark() { echo "$2" >"$run_dir/$1"; }

# ---- the steps ------------------------------------------------------------------

# A lane on this host, under the lane's own Wine loader, with a display and
# a prefix of its own.
run_lane() {
  local started=$SECONDS
  wendle_lane "$1"
  shift
  echo "test.sh: lane $WENDLE_LANE ($WENDLE_ARCH build in $WENDLE_LANE_BUILD, $WENDLE_WINE)"
  if [ -z "${WENDLE_PREBUILT:-}" ] && ! waited_child wendle_build "$WENDLE_LANE_BUILD"; then
    mark "$WENDLE_ARCH-built" failed
    record "lane $WENDLE_LANE" 0 0 0 "the build failed"
    return 0
  fi
  mark "$WENDLE_ARCH-built" ok
  local place="on this host"
  [ -z "${WENDLE_IN_GUEST:-}" ] || place="inside the emulated machine"
  local loader="i386 loader"
  [ "$WENDLE_LANE" = 32 ] || loader="64-bit loader"
  local what="lane $WENDLE_LANE ($WENDLE_ARCH under Wine's $loader, $place"
  # A prefix made by the host for the emulated machine is taken as it is.
  local prefix=${WENDLE_TEST_PREFIX:-wineprefix-test} how=fresh
  [ "${prefix:0:1}" = / ] || prefix=$WENDLE_LANE_BUILD/$prefix
  [ -z "${WENDLE_PREFIX_PREPARED:-}" ] || how=prepared
  if ! wendle_display own; then
    record "$what, $((SECONDS - started)) s)" 0 0 0 "no display: no test ran"
    return 0
  fi
  if ! wendle_wine_up "$prefix" $how test; then
    record "$what, $((SECONDS - started)) s)" 0 0 0 "no Wine prefix: no test ran"
    return 0
  fi
  echo "test.sh: the Wine prefix is ready ($((SECONDS - started)) s)"
  # The emulated machine makes its prefix while the host still builds what
  # it tests: it goes on once the host says the build is there.
  if [ -n "${WENDLE_GUEST_GO:-}" ]; then
    while [ ! -s "$WENDLE_GUEST_GO" ]; do waited_child sleep 1; done
    if [ "$(cat "$WENDLE_GUEST_GO")" != ok ]; then
      record "$what, $((SECONDS - started)) s)" 0 0 0 "the build failed"
      return 0
    fi
    echo "test.sh: the build is there ($((SECONDS - started)) s)"
  fi
  start_desktop
  echo "test.sh: the desktop is up ($((SECONDS - started)) s)"
  # Lane 32 checks that it tests the very bytes the package step built.
  [ "$WENDLE_LANE" != 32 ] || await_marker package-done >/dev/null
  if [ -n "${WENDLE_E2E_WHOLE:-}" ]; then
    gtest_whole "$WENDLE_LANE_BUILD" "$WENDLE_LANE_BUILD/e2e.log" e2e_tests.exe "$WENDLE_E2E_WHOLE"
  else
    # The tests at the shipped pace take minutes: only when asked for.
    case " $* " in
      *Paced*|*" -LE "*|*" --label-exclude "*) ;;
      *) set -- "$@" -LE "$paced_label" ;;
    esac
    ctest_run "$WENDLE_LANE_BUILD" "$WENDLE_LANE_BUILD/ctest.log" "$@"
  fi
  record_run "$what, $((SECONDS - started)) s)"
}

# The Wine desktop every test program of a step shares, for the whole step,
# started with no pipes attached, in the selected lane's prefix.
start_desktop() {
  local bin=$WENDLE_LANE_BUILD/bin ready=desktop-ready-$BASHPID
  rm -f "$bin/$ready"
  (cd "$bin" && exec "$WENDLE_WINE" explorer /desktop=Tests,1024x768 desktop_holder.exe "$ready" </dev/null >/dev/null 2>&1) &
  for _ in $(seq 1 600); do [ -f "$bin/$ready" ] && break; waited_child sleep 0.1; done
  [ -f "$bin/$ready" ] || echo "test.sh: the Wine desktop is not ready after 60 s; running the tests anyway" >&2
  rm -f "$bin/$ready"
}

# The real program at the pace it ships with: its prompts come at real
# minutes, which would make a lane minutes longer, so they run beside the
# lanes, on lane 64's build (every host runs it), once it is built, with a
# display and a Wine prefix of their own. Almost all of it is waiting.
run_paced() {
  local started=$SECONDS
  local what="paced (the real Wendle.exe at its shipped pace: lane 64's build, in a Wine prefix of its own"
  wendle_lane 64
  if [ "$(await_marker x64-built)" != ok ]; then
    record "$what)" 0 0 0 "the build failed"
    return 0
  fi
  if ! wendle_display own || ! wendle_wine_up "$WENDLE_LANE_BUILD/wineprefix-paced" fresh test; then
    record "$what)" 0 0 0 "no display or no Wine prefix: no test ran"
    return 0
  fi
  start_desktop
  # About 3 minutes of waiting; a hang must not hold the run for ever.
  gtest_whole "$WENDLE_LANE_BUILD" "$WENDLE_LANE_BUILD/paced.log" e2e_tests.exe 'Paced.*' 600
  # A filter that matches nothing passes in GoogleTest's eyes.
  [ -n "$run_why" ] || [ $((run_passed + run_failed + run_skipped)) != 0 ] || run_why="no test matched Paced.*"
  record_run "$what, $((SECONDS - started)) s)"
}

# Lane 32 in the emulated machine. It boots and makes its Wine prefix (its
# own, in its memory) while the 32-bit build and the package are made here,
# each a matter of minutes, and goes on when told they are there. Its
# end-to-end tests run in one process (each Wine process takes seconds to
# start there); the checks that need no Wine run here, after it.
run_guest_lane() {
  local started=$SECONDS scope=$1
  shift
  wendle_lane 32
  echo "test.sh: lane 32 ($scope) in an emulated machine: $why_guest"
  local out=$WENDLE_LANE_BUILD/guest-run targets=() env
  [ "$scope" = full ] || targets=(--target Wendle installer e2e_tests desktop_holder rasapi32 rasctl)
  mkdir -p "$out"
  rm -f "$out/go"
  # The whole end-to-end program in one process, unless ctest arguments
  # pick tests; ctest then also runs Package.SameBytes there, which waits
  # for the package.
  local whole=yes
  [ "$scope" = end-to-end ] && [ $# = 0 ] || whole=no
  (
    go=failed
    wendle_build "$WENDLE_LANE_BUILD" "${targets[@]}" && go=ok
    [ $whole = yes ] || await_marker package-done >/dev/null
    echo "$go" >"$out/go.new" && mv "$out/go.new" "$out/go"
  ) &
  local build=$!
  env="WENDLE_GUEST_GO=${out@Q}/go WENDLE_TEST_PREFIX=/run/wendle-prefix "
  local args=()
  if [ $whole = yes ]; then
    env+="WENDLE_E2E_WHOLE=${guest_e2e_filter@Q} "
  elif [ "$scope" = full ]; then
    args=("$@")
  else
    args=(-L '^e2e_tests$' "$@")
  fi
  # Counted from the machine's start, so the host's build (and, where
  # ctest arguments pick the tests, the package) are in it too.
  local limit=1800
  [ "$scope" = full ] && limit=3600
  guest_run "$limit" "$(in_guest "$env") ${args[*]@Q}"
  wait "$build" 2>/dev/null || true
  local what="lane 32 (x86 under Wine's i386 loader, $scope, in the emulated machine (QEMU), $((SECONDS - started)) s)"
  if [ "$(cat "$out/go" 2>/dev/null)" != ok ]; then
    record "$what" 0 0 0 "the build failed"
    return 0
  fi
  record_run "$what"
  if [ $whole = yes ]; then
    await_marker package-done >/dev/null
    host_checks_32
  fi
}

# The import and export tables of the 32-bit Wendle.exe, read here.
check_tables_32() {
  bash "$WENDLE_ROOT/tests/check_tables.sh" "$WENDLE_LANE_BUILD/bin/Wendle.exe" \
    "$WENDLE_ROOT/tests/expected-exports.txt" "$WENDLE_ROOT/tests/expected-ras-imports.txt" \
    "$WENDLE_ROOT/tests/allowed-imports.txt" "$WENDLE_ROOT/VERSION"
}

# The checks of the shipped 32-bit files that need no Wine, run on this
# host: the module's tables, and (once packaged) the package's very bytes.
host_checks_32() {
  local what="lane 32, on this host: the tables of the shipped Wendle.exe and the package's bytes" failed=0
  check_tables_32 || failed=$((failed + 1))
  bash "$WENDLE_ROOT/tests/same_bytes.sh" "$WENDLE_LANE_BUILD/bin" "$WENDLE_LANE_BUILD/package" \
    Wendle.exe Wendle.hlp "Wendle-$(head -n 1 "$WENDLE_ROOT/VERSION")-setup.exe" || failed=$((failed + 1))
  record "$what" $((2 - failed)) "$failed" 0
}

# Where lane 32 runs on this host: the emulated machine once, for one
# end-to-end test of the shipped EXE, as soon as lane 32 has built it (its
# kernel is fetched on the first run).
run_guest_check() {
  local started=$SECONDS what="emulated machine (QEMU), one end-to-end test of the 32-bit Wendle.exe"
  wendle_lane 32
  if [ "$(await_marker x86-built)" != ok ]; then
    record "$what" 0 0 0 "the build failed"
    return 0
  fi
  echo "test.sh: the emulated machine, once, for one end-to-end test of the 32-bit Wendle.exe (WENDLE_GUEST=0 leaves it out)"
  # Its Wine prefix is made here, where it takes seconds, not minutes.
  if ! wendle_wine_prepare "$WENDLE_LANE_BUILD/wineprefix-guest"; then
    record "$what" 0 0 0 "no Wine prefix for it"
    return 0
  fi
  local pattern="^${guest_check_test//./\\.}( |\$)"
  guest_run 900 "$(in_guest "WENDLE_PREFIX_PREPARED=1 ") -R ${pattern@Q}"
  # Its one test always exists: finding none is a failure here.
  [ -z "$run_none" ] || run_none= run_why="no test matched ${pattern@Q}"
  record_run "$what ($guest_check_test, $((SECONDS - started)) s)"
}

# What users get is the 32-bit EXE and installer: where lane 32 was not
# asked for, build them anyway and run the checks that need no Wine.
check_shipped_tables() {
  local started=$SECONDS what="lane 32: skipped as WENDLE_LANES asks; the shipped Wendle.exe and installer built, their tables checked"
  wendle_lane 32
  if ! waited_child wendle_build "$WENDLE_LANE_BUILD" --target Wendle installer; then
    record "$what" 0 0 0 "the build failed"
    return 0
  fi
  # Called directly: ctest would first list the 32-bit test programs,
  # which needs a lane that is not running.
  if check_tables_32; then
    record "$what ($((SECONDS - started)) s)" 1 0 0
  else
    record "$what ($((SECONDS - started)) s)" 0 1 0
  fi
}

# What users download, built twice, to show that the same source gives the
# same bytes; lane 32's Package.SameBytes then checks that it tests exactly
# those.
package_for_lanes() {
  local started=$SECONDS what="package: built twice in two folders, compared byte for byte, into $WENDLE_BUILD_DIR/x86/package"
  # The package has minutes to spare; the lanes' builds and the emulated
  # machine have none.
  if waited_child nice -n 10 bash "$WENDLE_ROOT/scripts/check-reproducible.sh" "$WENDLE_BUILD_DIR/x86/package"; then
    record "$what ($((SECONDS - started)) s)" 1 0 0
  else
    record "$what ($((SECONDS - started)) s)" 0 1 0 "not built, or the two builds differ (see above)"
  fi
  mark package-done done
}

# ---- running the steps side by side ---------------------------------------------

# start_step NAME MARKERS FUNCTION ARGS...: FUNCTION in the background, in
# a shell of its own that cleans up after itself (its child, its Wine prefix,
# its display) however it ends, each line of its output marked with NAME.
# MARKERS: those it makes for other steps; should it end without one, the
# marker says "failed", so that no step waits for it for ever.
steps=() step_pids=()
start_step() {
  local name=$1 markers=$2
  shift 2
  local n=${#steps[@]}
  steps+=("$name")
  (
    (
      step_result=$run_dir/$(printf '%02d' "$n").result
      : >"$step_result"
      # Only a prefix the step makes is its own to stop: one the caller's
      # environment names is the user's.
      unset WINEPREFIX
      trap 'stop_child; wendle_wine_down; for m in '"$markers"'; do [ -f "$run_dir/$m" ] || mark "$m" failed; done' EXIT
      trap 'exit 143' TERM
      trap 'exit 130' INT
      "$@"
    ) 2>&1 | sed -u "s/^/$name| /"
  ) &
  step_pids+=($!)
}
stop_steps() {
  local p
  for p in "${step_pids[@]}"; do kill_tree "$p"; done
  for p in "${step_pids[@]}"; do wait "$p" 2>/dev/null || true; done
  step_pids=()
}
on_signal() {
  echo "test.sh: stopped by SIG$1" >&2
  stop_steps
  exit $((128 + $(kill -l "$1")))
}
trap 'stop_steps; rm -rf "$run_dir"' EXIT
for sig in INT TERM HUP; do trap "on_signal $sig" "$sig"; done

# Inside the emulated machine the host has built the package already.
if [ -z "${WENDLE_PREBUILT:-}" ]; then
  expect_marker package-done
  start_step package package-done package_for_lanes
fi
if has_lane 32; then
  if [ $guest32 = yes ]; then
    start_step "lane 32" "" run_guest_lane "$guest_scope" "$@"
  else
    expect_marker x86-built
    start_step "lane 32" x86-built run_lane 32 "$@"
  fi
else
  start_step "tables" "" check_shipped_tables
fi
if has_lane 64; then
  paced=no
  if [ $# = 0 ] && [ -z "${WENDLE_IN_GUEST:-}" ]; then
    paced=yes
    expect_marker x64-built
  fi
  start_step "lane 64" x64-built run_lane 64 "$@"
  [ $paced = no ] || start_step paced "" run_paced
fi
if has_lane 32 && [ $guest32 = no ] && [ $# = 0 ] && [ "${WENDLE_GUEST:-}" != 0 ] && [ -z "${WENDLE_IN_GUEST:-}" ]; then
  start_step emulated "" run_guest_check
fi
for p in "${step_pids[@]}"; do wait "$p" || true; done
step_pids=()

# ---- the count, in one place ---------------------------------------------------------
summary=()
total_passed=0 total_failed=0 total_skipped=0 failed_steps=0
# Steps of ctest that ran some test, and those whose arguments matched none.
matched_steps=0 unmatched_steps=0
count() {
  local what=$1 p=$2 f=$3 s=$4 why=$5 note=$6 line
  line="$p passed, $f failed, $s skipped"
  if [ -n "$why" ] && [ "$f" = 0 ]; then
    f=1
    line+=", counted as 1 failed"
  fi
  if [ "$f" = 0 ]; then
    line="passed: $line"
  else
    line="FAILED: $line"
    failed_steps=$((failed_steps + 1))
  fi
  [ -z "$why" ] || line+="; $why"
  [ -z "$note" ] || line+="; $note"
  summary+=("$what: $line")
  total_passed=$((total_passed + p)) total_failed=$((total_failed + f)) total_skipped=$((total_skipped + s))
}
for i in "${!steps[@]}"; do
  result=$run_dir/$(printf '%02d' "$i").result
  if [ ! -s "$result" ]; then
    count "${steps[$i]}" 0 0 0 "the step ended without a count" ""
    continue
  fi
  while IFS=$'\037' read -r kind what p f s why note; do
    case $kind in
      none) summary+=("$what: no test matched"); unmatched_steps=$((unmatched_steps + 1)) ;;
      run) count "$what" "$p" "$f" "$s" "$why" "$note" ;;
      ctest)
        [ $((p + f + s)) = 0 ] || matched_steps=$((matched_steps + 1))
        count "$what" "$p" "$f" "$s" "$why" "$note"
        ;;
    esac
  done <"$result"
done
has_lane 64 || summary+=("lane 64 and the paced tests on its build: skipped as WENDLE_LANES asks")

# Inside the emulated machine an empty match is left for the caller to judge.
if [ "$matched_steps" = 0 ] && [ "$unmatched_steps" -gt 0 ] && [ -z "${WENDLE_IN_GUEST:-}" ]; then
  count "ctest $*" 0 0 0 "no test matched, in any lane" ""
fi

echo
for line in "${summary[@]}"; do echo "test.sh: $line"; done
echo "tests: $total_passed passed, $total_failed failed, $total_skipped skipped"
[ "$failed_steps" = 0 ]
