#!/usr/bin/env bash
# Builds everything and runs the whole test suite under Wine and Xvfb in a
# throwaway Wine prefix. Extra arguments go to ctest (for example -R Tray).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
build=${WENDLE_BUILD_DIR:-$WENDLE_ROOT/build}
wendle_build "$build"
trap wendle_wine_down EXIT
trap "exit 130" INT TERM
wendle_display
wendle_wine_up "$build/wineprefix-test" fresh
cd "$build"
ctest --output-on-failure --timeout 120 "$@"
