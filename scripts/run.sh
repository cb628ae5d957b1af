#!/usr/bin/env bash
# Installs what is missing, builds if needed and runs Wendle under Wine in a
# virtual desktop with a taskbar, against the simulated RAS with a demo
# phonebook. Uses Xvfb when there is no display. Runs until Wendle exits
# (tray menu, Exit) or Ctrl+C. The shipped 32-bit build where the host runs
# 32-bit code, the 64-bit build otherwise.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wendle_setup
wendle_default_lane
if [ "$WENDLE_LANE" = 32 ]; then
  echo "run.sh: the 32-bit Wendle.exe, under Wine's i386 loader"
else
  echo "run.sh: the 64-bit Wendle.exe, under Wine's 64-bit loader ($WENDLE_NO32_WHY)"
fi
build=$WENDLE_LANE_BUILD
wendle_build "$build" >/dev/null
trap wendle_wine_down EXIT
trap "exit 130" INT TERM
wendle_display
wendle_wine_up "$build/wineprefix-run"
export WINEDLLOVERRIDES="rasapi32=n;mscoree,mshtml=;winemenubuilder.exe=d"
cd "$build/bin"

rasctl() { wine rasctl.exe "$@" </dev/null; }
rasctl reset
rasctl entry add Office
rasctl entry add Home --speaker off
rasctl entry add "Dial-in & VPN" --compression off --prefix-suffix
rasctl entry add "No Password" --no-password
rasctl dialscript Office "0:400,1:300,2:1200,3:400,5:900,10:500,14:400,8192"
rasctl dialscript Home "0:400,2:1500!678"

cat <<MSG
Wendle is running on display $DISPLAY in the Wine desktop "Wendle" (prefix $WINEPREFIX).
Right-click its icon in the taskbar's tray for the menu. Drive the simulated RAS from
another shell:
  scripts/rasctl.sh connect Office      a connection comes up (icon goes online)
  scripts/rasctl.sh drop --all          every line goes down
  scripts/rasctl.sh list | calls        connections / RAS calls made so far
Screenshot: import -display $DISPLAY -window root shot.png
Stop: choose Exit in the tray menu, or press Ctrl+C here.
MSG
# The desktop with its taskbar lives in the background; Wendle runs in it in
# the foreground, so the script ends when Wendle does.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Wendle /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Wendle /d 1024x768 /f </dev/null >/dev/null 2>&1
wine explorer /desktop=Wendle,1024x768 </dev/null >/dev/null 2>&1 &
wine Wendle.exe </dev/null >/dev/null 2>&1
