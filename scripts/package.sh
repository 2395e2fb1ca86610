#!/usr/bin/env bash
# Builds the Debian package of Ormandel: a build for the install prefix /usr, then CPack's DEB
# generator. Prints the package's path on its last line. Run as root the first time (to install
# packages); later runs need no root.
#   scripts/package.sh [BUILD_DIR]        default build-package
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --package

build=${1:-build-package}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DORMANDEL_TESTS=OFF -DORMANDEL_BUILD_TREE_HELPER=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/ormandel_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
case $build in /*) ;; *) build=$PWD/$build ;; esac
ls "$build"/ormandel_*.deb
