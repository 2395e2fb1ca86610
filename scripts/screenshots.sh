#!/usr/bin/env bash
# Takes the README's pictures of the chooser and the main window: starts a virtual X server,
# runs the demo (simulated drives only) with a scripted operator and saves the pictures in docs/.
#   scripts/screenshots.sh [build-dir] [picture-dir (default docs)]
# Needs: xvfb, xauth, imagemagick (import), and the built ormandel-screenshots target.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
pictures=${2:-docs}
driver="$build/src/ui/ormandel-screenshots"
if [[ ! -x "$driver" ]]; then
  cmake --build "$build" --target ormandel-screenshots
fi
for tool in Xvfb import; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool is missing (apt-get install xvfb imagemagick)" >&2; exit 1; }
done

# A display number nobody uses.
display=99
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done

Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [[ -e /tmp/.X11-unix/X$display ]] && break
  sleep 0.1
done

mkdir -p "$pictures"
DISPLAY=":$display" QT_QPA_PLATFORM=xcb timeout 120 "$driver" "$pictures"
echo "screenshots.sh: pictures in $pictures/: chooser.png main-details.png main-smart.png main-wipe.png"
