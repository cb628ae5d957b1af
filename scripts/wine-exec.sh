#!/usr/bin/env bash
# Runs a Windows program of the build under Wine with the simulated RAS.
# Used by CTest as its emulator; WINEPREFIX, DISPLAY and the lane's loader
# (WENDLE_WINE, WINELOADER) come from test.sh.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="rasapi32=n;mscoree,mshtml=;winemenubuilder.exe=d"
exec "${WENDLE_WINE:-wine}" "$@"
