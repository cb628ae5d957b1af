#!/usr/bin/env bash
# Makes Wine report the named Windows version to wendle_tests_<mode>.exe.
set -e
for mode in "$@"; do
  "${WENDLE_WINE:-wine}" reg add "HKCU\\Software\\Wine\\AppDefaults\\wendle_tests_$mode.exe" /v Version /t REG_SZ /d "$mode" /f \
    </dev/null >/dev/null 2>&1
done
