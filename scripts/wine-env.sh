# Sourced by the run and test scripts: a display, a Wine prefix of our own
# and Wine's helper processes started up front with no pipes attached (CTest
# would otherwise wait on them).
WENDLE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win32

# Installs what the scripts need when it is missing: as root directly, through
# sudo when that asks no password; otherwise stops and says what to run.
wendle_setup() {
  local setup="$WENDLE_ROOT/scripts/setup.sh"
  bash "$setup" --check >/dev/null 2>&1 && return 0
  if [ "$(id -u)" = 0 ]; then
    bash "$setup"
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo bash "$setup"
  else
    echo "Wendle needs tools that are not installed here:" >&2
    bash "$setup" --check >&2 || true
    echo "Install them once with:  sudo bash scripts/setup.sh   (then run this command again)" >&2
    exit 1
  fi
}

wendle_build() {
  local build=$1
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$WENDLE_ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$WENDLE_ROOT/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" -j"$(nproc)" -- --no-print-directory
}

# Starts Xvfb on a free display when there is no display to use.
wendle_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    WENDLE_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 100); do
      xdpyinfo >/dev/null 2>&1 && return
      kill -0 "$WENDLE_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
  done
  echo "could not start Xvfb" >&2
  return 1
}

# Prepares WINEPREFIX (fresh when $2 is "fresh") and keeps wineserver up.
wendle_wine_up() {
  export WINEPREFIX=$1
  # Leftovers of an earlier run that was killed would hold the prefix's desktop.
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ "${2:-}" = fresh ]; then rm -rf "$WINEPREFIX"; fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" wineboot -i </dev/null >/dev/null 2>&1
  fi
  wineserver -p </dev/null >/dev/null 2>&1 || true  # already up after wineboot
  # A crash prints a backtrace and exits instead of waiting for a click.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
}

wendle_wine_down() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ -n "${WENDLE_XVFB_PID:-}" ]; then kill "$WENDLE_XVFB_PID" 2>/dev/null || true; fi
}
