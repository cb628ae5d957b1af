#!/usr/bin/env bash
# Runs a Windows program of the build under Wine with the simulated RAS.
# Used by CTest as its emulator; WINEPREFIX, DISPLAY and the lane's loader
# (WENDLE_WINE, WINELOADER) come from test.sh.
#
# A program that Wine cannot start, or that dies, prints nothing of its own:
# its exit code and Wine's own error lines (kept aside, shown only then) are
# all there is to say why.
export WINEDLLOVERRIDES="rasapi32=n;mscoree,mshtml=;winemenubuilder.exe=d"
case ${WINEDEBUG:--all} in
  -all) export WINEDEBUG=-all,err+all ;;
esac
errors=$(mktemp)
child=
trap '[ -z "$child" ] || kill -TERM "$child" 2>/dev/null; rm -f "$errors"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
"${WENDLE_WINE:-wine}" "$@" 2>"$errors" &
child=$!
rc=0
wait "$child" || rc=$?
child=
if [ "$rc" != 0 ]; then
  {
    how="exit code $rc"
    [ "$rc" -le 128 ] || how+=" (signal $(kill -l $((rc - 128)) 2>/dev/null || echo $((rc - 128))))"
    echo "wine-exec.sh: ${1##*[/\\]} ended with $how; Wine's own lines, the last 40:"
    tail -n 40 "$errors" | sed 's/^/  /'
    [ -s "$errors" ] || echo "  (none)"
  } >&2
fi
exit "$rc"
