#!/usr/bin/env bash
# Builds the release artefacts from a clean Release build without the
# simulator or the tests, into DIR (default dist/): Wendle-<version>.zip (the
# EXE, its help and the users' README), Wendle-<version>-setup.exe (the
# installer), the bare Wendle.exe and Wendle.hlp they hold, and SHA256SUMS
# for the two downloads.
#
#   package.sh [DIR]
#
# The same commit gives the same bytes, wherever and whenever it is built:
# the EXE carries no link time, and every file time in the zip and the
# installer is the last commit's (SOURCE_DATE_EPOCH overrides it).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wendle_setup
version=$(head -n 1 "$WENDLE_ROOT/VERSION")
dist=${1:-$WENDLE_ROOT/dist}
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
cmake -S "$WENDLE_ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$WENDLE_ROOT/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DWENDLE_TESTS=OFF -DWENDLE_SIMULATOR=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target Wendle installer -- --no-print-directory >/dev/null
if [ -e "$build/bin/rasapi32.dll" ] || [ -e "$build/bin/rasctl.exe" ]; then
  echo "package: the simulator was built into a release" >&2
  exit 1
fi
epoch=$(cat "$build/generated/source-date-epoch")
mkdir -p "$dist"
dist=$(cd "$dist" && pwd)
stage="$build/stage"
mkdir -p "$stage"
cp "$build/bin/Wendle.exe" "$build/bin/Wendle.hlp" "$stage/"
# The download's reader is the users' own, not this developers' README.
sed 's/$/\r/' "$WENDLE_ROOT/installer/ReadMe.txt" > "$stage/README.txt"
[ -f "$WENDLE_ROOT/LICENSE" ] && sed 's/$/\r/' "$WENDLE_ROOT/LICENSE" > "$stage/LICENSE.txt"
# Modes, times and order of the zip's entries owe nothing to this machine:
# not its umask, its clock or its time zone (zip stores local DOS times).
chmod 0644 "$stage"/*
chmod 0755 "$stage/Wendle.exe"
touch -d "@$epoch" "$stage"/*
rm -f "$dist/Wendle-$version.zip"
(cd "$stage" && LC_ALL=C TZ=UTC zip -q -X -D "$dist/Wendle-$version.zip" $(LC_ALL=C ls))
cp "$build/bin/Wendle-$version-setup.exe" "$build/bin/Wendle.exe" "$build/bin/Wendle.hlp" "$dist/"
(cd "$dist" && sha256sum "Wendle-$version.zip" "Wendle-$version-setup.exe" > SHA256SUMS)
echo "package: $(stat -c %s "$build/bin/Wendle.exe") bytes Wendle.exe, file times $(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S') UTC"
(cd "$dist" && sha256sum Wendle.exe Wendle.hlp "Wendle-$version.zip" "Wendle-$version-setup.exe")
