#!/usr/bin/env bash
# Runs rasctl in the Wine prefix of scripts/run.sh, e.g. scripts/rasctl.sh connect Office
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
build=${WENDLE_BUILD_DIR:-$WENDLE_ROOT/build}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix-run}
export WINEDLLOVERRIDES="rasapi32=n;mscoree,mshtml=;winemenubuilder.exe=d"
cd "$build/bin"
exec wine rasctl.exe "$@"
