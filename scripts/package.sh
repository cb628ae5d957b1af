#!/usr/bin/env bash
# Builds the release artefacts from a clean Release build without the
# simulator or the tests: dist/Wendle-<version>.zip (the EXE, its help and
# the users' README) and dist/Wendle-<version>-setup.exe (the installer).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wendle_setup
version=$(head -n 1 "$WENDLE_ROOT/VERSION")
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
cmake -S "$WENDLE_ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$WENDLE_ROOT/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DWENDLE_TESTS=OFF -DWENDLE_SIMULATOR=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target Wendle installer -- --no-print-directory >/dev/null
if [ -e "$build/bin/rasapi32.dll" ] || [ -e "$build/bin/rasctl.exe" ]; then
  echo "package: the simulator was built into a release" >&2
  exit 1
fi
dist="$WENDLE_ROOT/dist"
mkdir -p "$dist"
stage="$build/stage"
mkdir -p "$stage"
cp "$build/bin/Wendle.exe" "$build/bin/Wendle.hlp" "$stage/"
# The download's reader is the users' own, not this developers' README.
sed 's/$/\r/' "$WENDLE_ROOT/installer/ReadMe.txt" > "$stage/README.txt"
[ -f "$WENDLE_ROOT/LICENSE" ] && sed 's/$/\r/' "$WENDLE_ROOT/LICENSE" > "$stage/LICENSE.txt"
rm -f "$dist/Wendle-$version.zip"
(cd "$stage" && zip -q -X "$dist/Wendle-$version.zip" ./*)
cp "$build/bin/Wendle-$version-setup.exe" "$dist/"
echo "package: $(stat -c %s "$build/bin/Wendle.exe") bytes Wendle.exe"
ls -l "$dist/Wendle-$version.zip" "$dist/Wendle-$version-setup.exe"
