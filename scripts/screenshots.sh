#!/usr/bin/env bash
# Renders Wendle's windows to PNG under Wine, driving the real program as the
# shell and a user would: the tray with the idle and the online icon
# (enlarged), the tray menu with its Dial submenu, the progress dialog
# mid-dial, the reminder, the auto-disconnect prompt, the properties dialog
# and the About box mid-marquee. At 96 DPI (the default) into docs/; with
# --dpi N into build/shots-N/ for a look at another DPI. The shipped 32-bit
# build where the host runs 32-bit code, the 64-bit build otherwise.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wendle_setup
dpi=96
[ "${1:-}" = --dpi ] && dpi=$2
wendle_default_lane
echo "screenshots: the $WENDLE_LANE-bit Wendle.exe, under ${WENDLE_WINE##*/}"
build=$WENDLE_LANE_BUILD
wendle_build "$build" >/dev/null
out=$WENDLE_ROOT/docs
[ "$dpi" = 96 ] || out=$WENDLE_BUILD_DIR/shots-$dpi
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'wendle_wine_down; rm -rf "$tmp"' EXIT
trap "exit 130" INT TERM
unset DISPLAY  # a display of our own, always the same size
wendle_display
wendle_wine_up "$build/wineprefix-shots" fresh
export WINEDLLOVERRIDES="rasapi32=n;mscoree,mshtml=;winemenubuilder.exe=d"
# Wine draws the caption buttons with Marlett, which a fresh prefix lacks.
for f in /usr/share/wine/fonts/marlett.ttf; do [ -f "$f" ] && cp "$f" "$WINEPREFIX/drive_c/windows/Fonts/"; done
cd "$build/bin"

reg() { wine reg add "$@" /f </dev/null >/dev/null 2>&1; }
reg 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi"
reg 'HKCU\Software\Wine\Explorer' /v Desktop /d Shots
reg 'HKCU\Software\Wine\Explorer\Desktops' /v Shots /d 800x600
(wine explorer /desktop=Shots,800x600 </dev/null >/dev/null 2>&1 &)
drv() { wine shot_driver.exe "$@" </dev/null | tr -d "\r"; return "${PIPESTATUS[0]}"; }
rasctl() { wine rasctl.exe "$@" </dev/null >/dev/null; }
rasctl reset
rasctl entry add Office
rasctl entry add Home
rasctl entry add "Dial-in & VPN"
rasctl dialscript Office "0:1500,2:4000,5:3000,8192"

# shot NAME X Y W H [SCALE%]: a region of the screen as it is now.
shot() {
  import -window root "$tmp/screen.png"
  convert "$tmp/screen.png" -crop "$4x$5+$2+$3" +repage -filter point -resize "${6:-100}%" "$out/$1.png"
  echo "screenshots: $out/$1.png"
}
# window NAME CLASS TITLE: the window, with a margin.
window() {
  local x y w h
  read -r x y w h < <(drv wait "$2" "$3")
  shot "$1" $((x - 4)) $((y - 4)) $((w + 8)) $((h + 8))
}
settings() {  # Remind Time, Disconnect Time, Remind Online, Auto Disconnect
  reg 'HKCU\Software\Ferrow Apps\Wendle' /v "Remind Time" /t REG_DWORD /d "$1"
  reg 'HKCU\Software\Ferrow Apps\Wendle' /v "Disconnect Time" /t REG_DWORD /d "$2"
  reg 'HKCU\Software\Ferrow Apps\Wendle' /v "Remind Online" /d "$3"
  reg 'HKCU\Software\Ferrow Apps\Wendle' /v "Auto Disconnect" /d "$4"
}
start_wendle() {
  (wine Wendle.exe </dev/null >/dev/null 2>&1 &)
  drv ready
  sleep 1
}
stop_wendle() { drv command 40004 || true; sleep 1; rasctl drop --all; }

settings 20 60 Yes Yes
start_wendle
read -r tx ty tw th < <(drv wait Shell_TrayWnd)
tray() { shot "$1" $((tx + tw - 44)) "$ty" 44 "$th" 400; }
tray tray-idle
rasctl connect Office
sleep 1.5
tray tray-online
rasctl drop --all
sleep 1

# The menu opens where the mouse is: over the tray, as after a right-click.
drv cursor $((tx + tw - 30)) $((ty + th / 2))
drv tray rdown
drv menukey "'d"
sleep 0.5
shot tray-menu $((tx + tw - 330)) $((ty - 190)) 330 $((th + 190))
drv menukey 13
window dialing "#32770" "Connecting"
drv text "#32770" 1002 >/dev/null || true
sleep 0.3
window dialing "#32770" "Connecting"
drv gone "#32770" "Connecting" || true
stop_wendle

settings 0 60 Yes No
start_wendle
rasctl connect Office
window reminder "#32770" "Wendle"
stop_wendle

settings 20 0 No Yes
start_wendle
rasctl connect Office
window auto-disconnect "#32770" "Wendle"
stop_wendle

settings 20 60 Yes Yes
start_wendle
drv tray dblclk
window properties "#32770" "RAS Notification Properties"
# F1 on the reminder minutes: the dialog with the topic's pop-up under the field.
drv help "RAS Notification Properties" 1003
read -r px py pw ph < <(drv wait "#32770" "RAS Notification Properties")
read -r qx qy qw qh < <(drv wait WendleHelpPopup)
left=$((px < qx ? px : qx)) right=$((px + pw > qx + qw ? px + pw : qx + qw))
bottom=$((py + ph > qy + qh ? py + ph : qy + qh))
shot help-popup $((left - 4)) $((py - 4)) $((right - left + 8)) $((bottom - py + 8))
drv command 40001 || true
stop_wendle

start_wendle
drv command 40001
drv wait "#32770" "About Wendle" >/dev/null
# The marquee caught at the one frame where the whole title stands.
drv freeze "About Wendle" 730 "Wendle v1.0"
window about "#32770" "About Wendle"
drv thaw "About Wendle"
stop_wendle

# The threads picture of docs/DESIGN.md, from its text source.
if [ "$dpi" = 96 ]; then
  dot -Tpng "$WENDLE_ROOT/docs/threads.dot" -o "$WENDLE_ROOT/docs/threads.png"
  echo "screenshots: $WENDLE_ROOT/docs/threads.png"
fi
