#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test. Run as root: the loop-device
# tests need it, and they skip with a message without it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --tests

# The throwaway virtual machine with emulated SATA and IDE disks, when the shared tools are
# beside the checkout. Its tests skip where it cannot run.
vm=../shared/tools/qemu-ata/run-vm.sh
if [[ -x "$vm" ]]; then
  "$vm" --setup || echo "test.sh: the virtual machine could not be set up; its tests will skip"
fi

build=${ORMANDEL_BUILD_DIR:-build}
# The prefix /usr lets the package test package this very build. The tests are switched on here
# whatever an earlier configuration of this folder said.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORMANDEL_WERROR=ON \
  -DCMAKE_INSTALL_PREFIX=/usr -DORMANDEL_TESTS=ON
cmake --build "$build" -j"$(nproc)"

# The Windows build (cross-compiled) and its tests under Wine.
if [[ -x scripts/windows-tests.sh && "${ORMANDEL_SKIP_WINDOWS:-0}" != 1 ]]; then
  scripts/windows-tests.sh
fi

cd "$build"
# A build without tests must fail here, not pass empty.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 --no-tests=error
