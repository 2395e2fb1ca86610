#!/usr/bin/env bash
# Builds ormandel.exe and the Windows tests with MinGW-w64 and runs them under Wine and Xvfb:
# the test executable (Windows layer, SDK layout checks, the portable core tests on simulated
# drives, start-up checks on the real platform) and the smoke test of ormandel.exe.
# Idempotent; exits non-zero when anything fails.
set -u -o pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORMANDEL_WINDOWS_BUILD:-$ROOT/build-windows}"
export WINEPREFIX="${WINEPREFIX:-/tmp/ormandel-wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"  # no Mono/Gecko installer prompts
TEST_LIMIT=300
SMOKE_LIMIT=120

step() { printf '\n==> %s\n' "$*"; }
results=()
failed=0
record() {  # name, exit code
    if [ "$2" -eq 0 ]; then results+=("PASS  $1"); else results+=("FAIL  $1 (exit $2)"); failed=1; fi
}

# ---- Packages ---------------------------------------------------------------------------------
packages=(g++-mingw-w64-x86-64-posix wine wine64 xvfb fonts-wine googletest nlohmann-json3-dev cmake ninja-build
          icoutils)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    step "Installing ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then echo "need root to install: ${missing[*]}" >&2; exit 2; fi
    apt-get update -qq || exit 2
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" || exit 2
fi

# ---- Build ------------------------------------------------------------------------------------
step "Configuring $BUILD"
mkdir -p "$BUILD"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DORMANDEL_TESTS=ON >"$BUILD/configure.log" 2>&1 \
    || { cat "$BUILD/configure.log"; exit 1; }
step "Building ormandel.exe, ormandel-demo.exe and the Windows tests"
if ! cmake --build "$BUILD" -j2 --target ormandel ormandel-demo ormandel_windows_tests ormandel_smoke; then
    echo "BUILD FAILED" >&2
    exit 1
fi
TESTS_EXE="$BUILD/tests/windows/ormandel_windows_tests.exe"
SMOKE_EXE="$BUILD/src/win32ui/ormandel_smoke.exe"

# ---- Resources of the executables, as Explorer reads them --------------------------------------
step "Icon and manifest of ormandel.exe and ormandel-demo.exe"
resources=0
for exe in "$BUILD/src/win32ui/ormandel.exe" "$BUILD/src/win32ui/ormandel-demo.exe"; do
    wrestool -x -t14 "$exe" >"$BUILD/first-icon.ico"
    sizes=$(icotool -l "$BUILD/first-icon.ico" | grep -o 'width=[0-9]*' | tr '\n' ' ')
    echo "$(basename "$exe"): icon ${sizes}"
    [ "$sizes" = "width=16 width=24 width=32 width=48 width=64 width=256 " ] || resources=1
    wrestool -x --raw -t24 "$exe" | grep -q '>PerMonitorV2,PerMonitor<' || { echo "no per-monitor awareness"; resources=1; }
done
record "icon and manifest resources" "$resources"

# ---- Wine and a display -----------------------------------------------------------------------
xvfb_pid=""
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" >/dev/null 2>&1 || true; fi
}
trap cleanup EXIT

display=""
for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then display=":$n"; break; fi
done
if [ -z "$display" ]; then echo "no free X display number" >&2; exit 1; fi
# A screen as wide as those run at 144 dpi: the main window is 1320 pixels wide there.
Xvfb "$display" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
sleep 1

step "Wine prefix $WINEPREFIX"
if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
    timeout 180 wineboot -i >/dev/null 2>&1 || true
fi
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ]; then
    # Wine's own Tahoma, so that dialog text is not clipped.
    cp -n /usr/share/wine/fonts/tahoma*.ttf "$fonts"/ 2>/dev/null || true
fi

# ---- Tests ------------------------------------------------------------------------------------
step "Test executable under Wine (limit ${TEST_LIMIT}s)"
timeout "$TEST_LIMIT" wine "$TESTS_EXE" --gtest_brief=1 2>&1 | tail -n 60
record "windows test executable" "${PIPESTATUS[0]}"

step "Smoke test of ormandel.exe under Wine (limit ${SMOKE_LIMIT}s)"
timeout "$SMOKE_LIMIT" wine "$SMOKE_EXE" 2>&1 | tail -n 20
record "ormandel.exe smoke test" "${PIPESTATUS[0]}"

step "Smoke test of ormandel-demo.exe under Wine (limit ${SMOKE_LIMIT}s)"
timeout "$SMOKE_LIMIT" wine "$SMOKE_EXE" ormandel-demo.exe 2>&1 | tail -n 20
record "ormandel-demo.exe smoke test" "${PIPESTATUS[0]}"

step "Summary"
printf '%s\n' "${results[@]}"
exit "$failed"
