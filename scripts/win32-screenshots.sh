#!/usr/bin/env bash
# Takes the README's pictures of the native Windows windows under Wine, at 96 and 144 pixels per
# inch (Wine's LogPixels): the demo on simulated drives, its chooser, then its main window once
# Enter has chosen the preselected drive. Then takes the icon out of ormandel.exe as Explorer
# does, lists its pictures and saves the 48-pixel one.
#   scripts/win32-screenshots.sh [windows-build-dir (default build-windows)] [picture-dir (default docs)]
# Needs what scripts/windows-tests.sh installs and builds, and xdotool; leaves LogPixels at 96.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-windows}
pictures=${2:-docs}
exe="$build/src/win32ui"
export WINEPREFIX="${WINEPREFIX:-/tmp/ormandel-wine}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
for tool in Xvfb import xdotool xwininfo wine wrestool icotool; do
  command -v "$tool" >/dev/null || { echo "win32-screenshots.sh: $tool is missing" >&2; exit 1; }
done
[[ -f "$exe/ormandel-demo.exe" ]] || { echo "win32-screenshots.sh: build ormandel-demo first" >&2; exit 1; }

display=99
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display"
scratch=$(mktemp -d)
log_pixels() { wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
cleanup() {
  wineserver -k 2>/dev/null || true
  log_pixels 96
  wineserver -w 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
sleep 1

# Waits up to 30 s for a shown window whose title begins with $1.
shown() {
  for _ in $(seq 150); do
    xdotool search --onlyvisible --name "^$1" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  return 1
}
# Saves that window as $2.
shot() {
  local geometry=""
  shown "$1" || { echo "win32-screenshots.sh: no window \"$1\"" >&2; return 1; }
  sleep 1
  geometry=$(xwininfo -root -tree | grep -F "\"$1" | grep -o '[0-9]*x[0-9]*+[0-9]*+[0-9]*' | head -1)
  import -window root "$scratch/root.png"
  convert "$scratch/root.png" -crop "$geometry" +repage -strip "PNG8:$2"
}

mkdir -p "$pictures"
for dpi in 96 144; do
  log_pixels "$dpi"
  wineserver -w
  # Wine's own desktop draws the title bars, with the windows' icons.
  (cd "$exe" && timeout 60 wine explorer /desktop=pictures,1600x1200 ormandel-demo.exe >/dev/null 2>&1) &
  demo=$!
  shot "Choose a device" "$pictures/win32-chooser-${dpi}dpi.png"
  for _ in 1 2 3; do  # the first key can go to Wine's desktop before the chooser has the focus
    xdotool key Return
    shown "Ormandel 2.20 build 1098" && break
  done
  shot "Ormandel 2.20 build 1098" "$pictures/win32-main-${dpi}dpi.png"
  wineserver -k
  wait "$demo" || true
done

wrestool -x -t14 "$exe/ormandel.exe" >"$scratch/ormandel.ico"
icotool -l "$scratch/ormandel.ico"
icotool -x -w 48 -o "$pictures/win32-icon-48.png" "$scratch/ormandel.ico"
echo "win32-screenshots.sh: pictures in $pictures/: win32-{chooser,main}-{96,144}dpi.png win32-icon-48.png"
