#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite
# under Wine and Xvfb in a throwaway Wine prefix. Extra arguments go to ctest
# (for example -R Tray).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wendle_setup
build=${WENDLE_BUILD_DIR:-$WENDLE_ROOT/build}
wendle_build "$build"
trap wendle_wine_down EXIT
trap "exit 130" INT TERM
wendle_display
wendle_wine_up "$build/wineprefix-test" fresh
# Every program in one virtual desktop: without a window manager, Wine waits
# up to two seconds for each top-level X window it hides.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Tests /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Tests /d 1024x768 /f </dev/null >/dev/null 2>&1
# The desktop lives for the whole run, started here with no pipes attached.
rm -f "$build/bin/desktop-ready"
(cd "$build/bin" && exec wine explorer /desktop=Tests,1024x768 desktop_holder.exe desktop-ready </dev/null >/dev/null 2>&1) &
for _ in $(seq 1 600); do [ -f "$build/bin/desktop-ready" ] && break; sleep 0.1; done
[ -f "$build/bin/desktop-ready" ] || echo "test.sh: the Wine desktop is not ready after 60 s; running the tests anyway" >&2
cd "$build"
ctest --output-on-failure --timeout 120 "$@"
