#!/usr/bin/env bash
# Installs what is missing, builds Ormandel and starts the demo: the whole program on simulated
# drives (demo/drives.json), so nothing on this machine is touched. Run as root the first time
# (to install packages); later runs need no root. It builds in a folder of its own, without the
# tests, so that it leaves nothing behind that scripts/test.sh would reuse.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=${ORMANDEL_DEMO_BUILD_DIR:-build-demo}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORMANDEL_TESTS=OFF
cmake --build "$build" -j"$(nproc)" --target ormandel-demo ormandel ormandel-probe

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  # No screen here: run the demo on a virtual one and show a picture of it instead.
  echo "demo.sh: no display; running the demo on a virtual screen and saving pictures of it in $build/screenshots/"
  exec scripts/screenshots.sh "$build" "$build/screenshots"
fi
exec "$build/src/ui/ormandel-demo" "$@"
