#!/usr/bin/env bash
# Installs, from Debian's packages, what building and running Ormandel needs. Idempotent: asks
# dpkg which packages are missing and runs apt-get only for those. Run as root.
#   scripts/install-deps.sh            build + demo packages
#   scripts/install-deps.sh --package  also what building the Debian package needs
#   scripts/install-deps.sh --tests    also what the test suite needs (the package test included)
#   scripts/install-deps.sh --bench    also what the benchmarks compare the wipe with (fio)
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  nlohmann-json3-dev libudev1 libseccomp-dev liburing-dev
  qt6-base-dev qt6-qpa-plugins libgl-dev
  fonts-liberation2 fonts-wine fonts-dejavu-core
  xvfb xauth imagemagick
  pkexec
)
if [[ "${1:-}" == "--package" || "${1:-}" == "--tests" ]]; then
  packages+=(dpkg-dev file)
fi
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(fio)
fi
if [[ "${1:-}" == "--tests" ]]; then
  packages+=(googletest libgtest-dev libgmock-dev util-linux e2fsprogs dosfstools polkitd dbus python3-dbusmock)
  packages+=(lintian desktop-file-utils appstream)
  packages+=(icoutils)  # the Windows exe's icon, checked as Explorer reads it (windows-tests.sh)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  if [[ $(id -u) -ne 0 ]]; then
    echo "install-deps: these packages are missing and installing them needs root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
