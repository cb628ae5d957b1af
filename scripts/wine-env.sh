# Sourced by the run and test scripts: the lanes (the 32-bit and the 64-bit
# build, each run by Wine's loader of its own width), a display, a Wine prefix
# of our own and Wine's helper processes started up front with no pipes
# attached (CTest would otherwise wait on them).
WENDLE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WENDLE_BUILD_DIR=${WENDLE_BUILD_DIR:-$WENDLE_ROOT/build}
export WINEDEBUG=${WINEDEBUG:--all}

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

# Whether this host runs Wine's i386 loader. Some kernels run no 32-bit code
# at all ("Exec format error"); then only the 64-bit lane can run. Sets
# WENDLE_NO32_WHY when it cannot.
wendle_probe_32() {
  local out rc=0
  WENDLE_NO32_WHY=
  if [ ! -x /usr/lib/wine/wine ]; then
    WENDLE_NO32_WHY="Wine's i386 loader is not installed (wine32:i386)"
    return 1
  fi
  out=$(/usr/lib/wine/wine --version 2>&1 </dev/null) || rc=$?
  [ "$rc" = 0 ] && return 0
  out=${out##*: }
  WENDLE_NO32_WHY="this host does not run 32-bit code (/usr/lib/wine/wine --version: ${out:-no output}, exit $rc)"
  return 1
}

# Selects the lane a single program runs in (run.sh, screenshots.sh,
# rasctl.sh): the shipped 32-bit build where the host runs it, the 64-bit one
# otherwise.
wendle_default_lane() {
  if wendle_probe_32; then wendle_lane 32; else wendle_lane 64; fi
}

# Selects lane 32 or 64 for what follows: its build folder, its toolchain and
# Wine's loader of that width. Debian's wine, wineboot and regedit wrappers
# always take the i386 loader when it is installed, so `wine` here is a
# function that calls the lane's own loader.
wendle_lane() {
  WENDLE_LANE=$1
  case $1 in
    32) WENDLE_ARCH=x86 WENDLE_TOOLCHAIN=mingw-i686.cmake WENDLE_WINE=/usr/lib/wine/wine WINEARCH=win32 ;;
    64) WENDLE_ARCH=x64 WENDLE_TOOLCHAIN=mingw-x86_64.cmake WENDLE_WINE=/usr/lib/wine/wine64 WINEARCH=win64 ;;
    *) echo "no lane '$1' (32 or 64)" >&2; return 1 ;;
  esac
  WENDLE_LANE_BUILD=$WENDLE_BUILD_DIR/$WENDLE_ARCH
  export WENDLE_WINE WINEARCH
  # The 64-bit loader is told its own path, so that the programs a test
  # starts come up under it too; the i386 lane needs nothing.
  if [ "$1" = 64 ]; then export WINELOADER=$WENDLE_WINE; else unset WINELOADER; fi
}
wine() { "$WENDLE_WINE" "$@"; }

# Configures (once) and builds a folder for the selected lane; extra
# arguments go to the build tool (--target ...).
wendle_build() {
  local build=$1
  shift
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$WENDLE_ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$WENDLE_ROOT/cmake/$WENDLE_TOOLCHAIN" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" -j"$(nproc)" "$@" -- --no-print-directory
}

# Starts Xvfb on a free display when there is no display to use, or always
# with "own" (lanes that run side by side each get one: two Wine sessions on
# one display take each other's focus). Xvfb picks the number itself, so two
# starting at once never take the same one.
wendle_display() {
  if [ "${1:-}" != own ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
  local fd_file i n
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  WENDLE_XVFB_PID=$!
  for i in $(seq 1 100); do
    n=$(head -n 1 "$fd_file")
    if [ -n "$n" ]; then
      export DISPLAY=":$n"
      xdpyinfo >/dev/null 2>&1 && { rm -f "$fd_file"; return; }
    fi
    kill -0 "$WENDLE_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$fd_file"
  echo "could not start Xvfb" >&2
  return 1
}

# Makes the prefix WINEPREFIX names, for the selected lane's width.
wendle_wine_boot() {
  mkdir -p "$WINEPREFIX"
  local rc=0
  WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" wine wineboot -i </dev/null >/dev/null 2>&1 || rc=$?
  [ "$rc" = 0 ] || { echo "Wine ($WENDLE_WINE) could not make the prefix $WINEPREFIX (exit $rc)" >&2; return 1; }
}

# The prefix's settings, in one Wine process: a crash prints a backtrace
# and exits instead of waiting for a click; with "test", every program of
# the tests runs in one virtual desktop (without a window manager, Wine waits
# up to two seconds for each top-level X window it hides).
wendle_wine_settings() {
  local file=$WINEPREFIX/drive_c/wendle-settings.reg out rc=0
  {
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n'
    if [ "${1:-}" = test ]; then
      printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"Desktop"="Tests"\r\n'
      printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"Tests"="1024x768"\r\n'
    fi
  } >"$file"
  # Into a file, not a pipe: the services Wine starts for it stay with the
  # server and would hold a pipe open.
  out=$(mktemp)
  wine reg import 'C:\wendle-settings.reg' </dev/null >"$out" 2>&1 || rc=$?
  rm -f "$file"
  [ "$rc" = 0 ] || echo "Wine ($WENDLE_WINE) could not write to the registry of $WINEPREFIX (reg import: exit $rc): $(tail -n 5 "$out")" >&2
  rm -f "$out"
  [ "$rc" = 0 ]
}

# Prepares WINEPREFIX for the selected lane and keeps wineserver up: fresh
# when $2 is "fresh", taken as it is when "prepared" (by
# wendle_wine_prepare); $3 "test" for the tests' settings. A prefix's width
# is fixed when it is made: one per lane.
wendle_wine_up() {
  export WINEPREFIX=$1
  # Leftovers of an earlier run that was killed would hold the prefix's desktop.
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ "${2:-}" = fresh ]; then rm -rf "$WINEPREFIX"; fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then wendle_wine_boot || return 1; fi
  # The server wineboot started ends a moment after it, and while it is
  # there no persistent one can start: without one, every program that
  # follows a pause starts the server and Wine's services again (seconds
  # each, in the emulated machine).
  timeout 120 wineserver -w </dev/null >/dev/null 2>&1 || true
  wineserver -p </dev/null >/dev/null 2>&1 || true
  [ "${2:-}" = prepared ] || wendle_wine_settings "${3:-}"
}

# Makes PREFIX afresh for the tests of the selected lane (crash dialog off,
# the tests' desktop) and leaves it saved on disk with no wineserver, so that
# another machine sharing this file system can start from it as it is: the
# emulated machine, where Wine takes minutes to make a prefix and seconds to
# start each program on it.
wendle_wine_prepare() {
  export WINEPREFIX=$1
  wineserver -k </dev/null >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  wendle_wine_boot || return 1
  wendle_wine_settings test || return 1
  # Without -p the server ends a moment after its last client, saving the
  # registry as it goes.
  wineserver -w </dev/null >/dev/null 2>&1 || true
}

# Only a prefix of our own: with none chosen yet, wineserver -k would end
# the user's own Wine session.
wendle_wine_stop() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k </dev/null >/dev/null 2>&1 || true
  # -k waits only so long, then kills the server: a run started before it
  # is really gone would meet it.
  wineserver -w </dev/null >/dev/null 2>&1 || true
}

wendle_wine_down() {
  wendle_wine_stop
  if [ -n "${WENDLE_XVFB_PID:-}" ]; then kill "$WENDLE_XVFB_PID" 2>/dev/null || true; fi
  WENDLE_XVFB_PID=
}
