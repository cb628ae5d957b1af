#!/usr/bin/env bash
# Runs rasctl in the Wine prefix of scripts/run.sh, e.g. scripts/rasctl.sh connect Office
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wendle_default_lane
build=$WENDLE_LANE_BUILD
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix-run}
export WINEDLLOVERRIDES="rasapi32=n;mscoree,mshtml=;winemenubuilder.exe=d"
cd "$build/bin"
exec "$WENDLE_WINE" rasctl.exe "$@"
