#!/usr/bin/env bash
# What Wendle costs while it runs, measured under Wine: idle on the NT path,
# idle on the Windows 95 path, online (one line up), and a bare tray program
# the project builds for the yardstick (tests/bare_tray.cpp: the same shell
# calls, nothing else). Each runs alone in a fresh Wine session with a
# desktop and its tray, is left 10 s to settle, then measured for 60 s:
#
#   - CPU: the program's threads, and the wineserver (which every Wine
#     program's waits, timers and window calls go through), in ms;
#   - wakeups: the context switches of the program's threads and of the
#     wineserver;
#   - peak resident memory of the program (under Wine each thread costs
#     about 1 MB of stacks that Windows would not).
#
# It prints one line per program and mode and each one's ratios to the bare
# program. A benchmark, not a test: nothing here passes or fails.
#
#   bench.sh [OTHER.exe]   OTHER.exe: another build of Wendle.exe (an older
#                          commit's, say), measured idle on the NT path alone
#                          and then side by side with this one, both in one
#                          session, so that the two programs' own CPU and
#                          wakeups meet the same conditions; MEASURE_S and
#                          SETTLE_S change the 60 s and 10 s
#
# The wineserver's share also carries Wine's own desktop and services, which
# wake it about 150 times a second whatever runs, and vary by some 10% from
# one session to the next: compare programs' own figures first.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
other=${1:-}
[ -z "$other" ] || other=$(realpath "$other")
measure_s=${MEASURE_S:-60} settle_s=${SETTLE_S:-10}
wendle_setup
wendle_default_lane
if [ "$WENDLE_LANE" = 32 ]; then
  lane="lane 32: the 32-bit build under Wine's i386 loader"
else
  lane="lane 64: the 64-bit build under Wine's 64-bit loader ($WENDLE_NO32_WHY)"
fi
build=$WENDLE_LANE_BUILD
wendle_build "$build" --target Wendle rasapi32 rasctl bare_tray >/dev/null
bin=$build/bin
work=$(mktemp -d)
trap 'wendle_wine_down; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
wendle_display own
export WINEDLLOVERRIDES="rasapi32=n;mscoree,mshtml=;winemenubuilder.exe=d"
cp "$bin/Wendle.exe" "$work/Wendle.exe"
cp "$bin/Wendle.exe" "$work/Wendle_win95.exe"
cp "$bin/bare_tray.exe" "$bin/rasapi32.dll" "$bin/rasctl.exe" "$work/"
[ -z "$other" ] || cp "$other" "$work/Other.exe"

# The CPU time (ns) and context switches of every thread of a process.
sample() {
  local pid=$1 t ns=0 cs=0 v n
  for t in /proc/"$pid"/task/*; do
    read -r v _ < "$t/schedstat" 2>/dev/null || continue
    ns=$((ns + v))
    v=$(awk '/^(non)?voluntary_ctxt_switches/ {s += $2} END {print s + 0}' "$t/status" 2>/dev/null || echo 0)
    cs=$((cs + v))
  done
  echo "$ns $cs"
}

# The wineserver of this script's prefix.
server_pid() {
  local p
  for p in $(pgrep -f '^/usr/lib/wine/wineserver'); do
    tr '\0' '\n' < /proc/"$p"/environ 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && { echo "$p"; return; }
  done
}

# measure LABEL EXE [BEFORE]: one program in a fresh session; BEFORE runs
# once it is up (a line connected, say). Prints and keeps a result line.
results=()
measure() {
  local label=$1 exe=$2 before=${3:-} pid desktop server a b sa sb hwm
  wendle_wine_up "$build/wineprefix-bench" fresh
  wine reg add 'HKCU\Software\Wine\AppDefaults\Wendle_win95.exe' /v Version /d win95 /f </dev/null >/dev/null 2>&1
  (cd "$work" && wine rasctl.exe reset </dev/null >/dev/null 2>&1)
  wine explorer /desktop=Bench,1024x768 </dev/null >/dev/null 2>&1 &
  desktop=$!
  (cd "$work" && exec "$WENDLE_WINE" "$exe" </dev/null >/dev/null 2>&1) &
  pid=$!
  [ -z "$before" ] || (cd "$work" && eval "$before" </dev/null >/dev/null 2>&1)
  sleep "$settle_s"
  server=$(server_pid)
  kill -0 "$pid" 2>/dev/null && [ -n "$server" ] || { echo "bench: $label did not start" >&2; exit 1; }
  a=$(sample "$pid") sa=$(sample "$server")
  sleep "$measure_s"
  b=$(sample "$pid") sb=$(sample "$server")
  hwm=$(awk '/^VmHWM/ {print $2}' /proc/"$pid"/status)
  read -r a_ns a_cs <<<"$a"; read -r b_ns b_cs <<<"$b"
  read -r sa_ns sa_cs <<<"$sa"; read -r sb_ns sb_cs <<<"$sb"
  results+=("$label|$(((b_ns - a_ns) / 1000000))|$(((sb_ns - sa_ns) / 1000000))|$((b_cs - a_cs))|$((sb_cs - sa_cs))|$hwm")
  wendle_wine_stop
  wait "$pid" "$desktop" 2>/dev/null || true
  echo "bench: measured $label"
}

# measure_pair: this Wendle.exe and OTHER.exe idle side by side in one
# session; their own CPU and wakeups.
pair=
measure_pair() {
  local p q desktop a0 b0 a1 b1 x0 y0 x1 y1 u0 v0 u1 v1
  wendle_wine_up "$build/wineprefix-bench" fresh
  (cd "$work" && wine rasctl.exe reset </dev/null >/dev/null 2>&1)
  wine explorer /desktop=Bench,1024x768 </dev/null >/dev/null 2>&1 &
  desktop=$!
  (cd "$work" && exec "$WENDLE_WINE" Wendle.exe </dev/null >/dev/null 2>&1) &
  p=$!
  (cd "$work" && exec "$WENDLE_WINE" Other.exe </dev/null >/dev/null 2>&1) &
  q=$!
  sleep "$settle_s"
  a0=$(sample "$p") b0=$(sample "$q")
  sleep "$measure_s"
  a1=$(sample "$p") b1=$(sample "$q")
  read -r x0 y0 <<<"$a0"; read -r x1 y1 <<<"$a1"
  read -r u0 v0 <<<"$b0"; read -r u1 v1 <<<"$b1"
  pair="$(((x1 - x0) / 1000000))|$((y1 - y0))|$(((u1 - u0) / 1000000))|$((v1 - v0))"
  wendle_wine_stop
  wait "$p" "$q" "$desktop" 2>/dev/null || true
  echo "bench: measured this Wendle.exe and $(basename "$other") side by side"
}

echo "bench: $lane; each program ${settle_s} s to settle, then ${measure_s} s measured"
measure "bare tray program" bare_tray.exe
measure "Wendle idle, NT path" Wendle.exe
measure "Wendle idle, Windows 95 path" Wendle_win95.exe
measure "Wendle online (one line up)" Wendle.exe "wine rasctl.exe connect Office"
if [ -n "$other" ]; then
  measure "$(basename "$other") idle, NT path" Other.exe
  measure_pair
fi

IFS='|' read -r _ bare_cpu bare_scpu bare_cs bare_scs _ <<<"${results[0]}"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
printf '\n%-32s %9s %11s %9s %11s %9s   %s\n' "program, mode" "CPU ms" "server ms" "wakeups" "server wk" "peak KiB" "ratio to the bare program: CPU, wakeups (program + server)"
for r in "${results[@]}"; do
  IFS='|' read -r label cpu scpu cs scs hwm <<<"$r"
  printf '%-32s %9s %11s %9s %11s %9s   %s, %s\n' "$label" "$cpu" "$scpu" "$cs" "$scs" "$hwm" \
    "$(ratio $((cpu + scpu)) $((bare_cpu + bare_scpu)))" "$(ratio $((cs + scs)) $((bare_cs + bare_scs)))"
done
if [ -n "$other" ]; then
  IFS='|' read -r cpu cs ocpu ocs <<<"$pair"
  echo
  echo "idle on the NT path, side by side in one session, over ${measure_s} s:"
  echo "  this Wendle.exe: CPU $cpu ms, $cs wakeups; $(basename "$other"): CPU $ocpu ms, $ocs wakeups"
  echo "  this one against $(basename "$other"): CPU $(ratio "$cpu" "$ocpu"), wakeups $(ratio "$cs" "$ocs")"
fi
