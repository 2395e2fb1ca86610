#!/bin/sh
# The Debian package, as a user gets it: build it with CPack, lint it (lintian, the desktop entry,
# the AppStream metainfo), install it with apt, run the installed programs once headless, purge
# it, and check that none of its files is left and that the packages apt pulled in are gone again.
#
#   package_test.sh SOURCE_DIR BUILD_DIR INSTALL_PREFIX BUILD_TYPE WERROR BUILD_TREE_HELPER
# BUILD_DIR is packaged as it stands when its install prefix is /usr and it was built without the
# build-tree helper; otherwise a package build is made in BUILD_DIR/package-build.
# Exit 0 pass, 1 fail, 77 skip (not root, a tool missing, or ormandel installed by someone else).
set -u

src=${1:?usage: package_test.sh SOURCE_DIR BUILD_DIR INSTALL_PREFIX BUILD_TYPE WERROR}
build=${2:?}
prefix=${3:?}
build_type=${4:-RelWithDebInfo}
werror=${5:-OFF}
tree_helper=${6:-ON}

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; failed=1; }

[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
for tool in cpack dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate appstreamcli apt-get; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is missing (scripts/install-deps.sh --tests installs it)"
done
if dpkg-query -W -f='${Status}\n' ormandel 2>/dev/null | grep -q 'install ok installed'; then
  skip "the package ormandel is installed on this machine already; it is left alone"
fi

failed=0
installed=""
work=$(mktemp -d /tmp/orm-package-XXXXXX) || exit 1
chmod 755 "$work"  # apt reads the package as its own unprivileged user
cleanup() {
  # Purges the package and whatever apt installed along with it, and nothing else.
  if [ -n "$installed" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q -o DPkg::Lock::Timeout=300 $installed \
      >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; echo "FAIL: apt-get purge $installed"; failed=1; }
    installed=""
  fi
}
trap 'cleanup; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM

# ---- Build -------------------------------------------------------------------------------------
case $tree_helper in ON|on|1|TRUE|true|YES|yes) tree_helper=ON ;; esac
if [ "$prefix" != /usr ] || [ "$tree_helper" = ON ]; then
  build=$build/package-build
  echo "package: building for the prefix /usr, without the build-tree helper, in $build"
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DORMANDEL_WERROR="$werror" \
    -DCMAKE_INSTALL_PREFIX=/usr -DORMANDEL_TESTS=OFF -DORMANDEL_BUILD_TREE_HELPER=OFF \
    >"$work/configure.log" 2>&1 \
    || { cat "$work/configure.log"; echo "FAIL: configure"; exit 1; }
fi
cmake --build "$build" >"$work/build.log" 2>&1 || { tail -n 50 "$work/build.log"; echo "FAIL: build"; exit 1; }
(cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$work"/out/ormandel_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { cat "$work/cpack.log"; echo "FAIL: cpack made no ormandel_*.deb"; exit 1; }
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# ---- Lint --------------------------------------------------------------------------------------
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
lintian_rc=$?
grep -v 'running with root privileges' "$work/lintian.log"
[ "$lintian_rc" -eq 0 ] && ! grep -q '^E:' "$work/lintian.log" || fail "lintian reports errors"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work"/root/usr/share/applications/*.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli validate"

# A package names no folder of the machine that built it: its programs start only the installed
# helper.
for f in "$work"/root/usr/bin/* "$work"/root/usr/libexec/ormandel/*; do
  strings -a "$f" | grep -F -e "$(cd "$build" && pwd)" -e "$src" >/dev/null && fail "$(basename "$f") names the build or source folder"
done
strings -a "$work/root/usr/bin/ormandel" | grep -qF /usr/libexec/ormandel/ || fail "ormandel does not name its helper"

# ---- Install -----------------------------------------------------------------------------------
DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o DPkg::Lock::Timeout=300 "$deb" \
  >"$work/install.log" 2>&1
install_rc=$?
installed=$(sed -n 's/^Setting up \([^ :]*\).*/\1/p' "$work/install.log" | tr '\n' ' ')
if [ "$install_rc" -ne 0 ]; then
  cat "$work/install.log"
  fail "apt-get install $deb"
  exit 1
fi
echo "package: apt installed $installed"
dpkg -L ormandel >"$work/files"

# ---- The installed programs, once, headless ----------------------------------------------------
for program in ormandel ormandel-demo ormandel-probe; do
  [ -x "/usr/bin/$program" ] || fail "/usr/bin/$program is not installed"
  ! ldd "/usr/bin/$program" | grep 'not found' || fail "$program misses shared libraries"
done
cd "$work" || exit 1
/usr/bin/ormandel-probe --sim /usr/share/ormandel/drives.json >"$work/probe.txt" 2>&1 \
  || fail "the installed ormandel-probe --sim failed"
grep -q '^Disks found: [1-9]' "$work/probe.txt" || { cat "$work/probe.txt"; fail "ormandel-probe listed no demo drive"; }
# The installed demo, with no argument and nothing beside it: it must find its drives in the share
# folder and be showing its chooser when it is stopped (a failed load says "Cannot load" first).
QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/ormandel-demo >"$work/demo.txt" 2>&1
demo_rc=$?
if [ "$demo_rc" -ne 124 ] || grep -q 'Cannot load' "$work/demo.txt"; then
  cat "$work/demo.txt"
  fail "the installed ormandel-demo did not start on its drives (exit $demo_rc)"
fi
helper_path=$(sed -n 's:.*"org.freedesktop.policykit.exec.path">\(.*\)</annotate>.*:\1:p' \
  /usr/share/polkit-1/actions/com.example.ormandel.policy)
[ "$helper_path" = /usr/libexec/ormandel/ormandel-helper ] || fail "the polkit action names '$helper_path'"
if grep -qx "$helper_path" "$work/files"; then
  [ -x "$helper_path" ] || fail "the helper $helper_path is not executable"
fi

# ---- Purge: nothing of the package is left -----------------------------------------------------
cleanup
dpkg-query -W -f='${Status}\n' ormandel 2>/dev/null | grep -q 'installed' && fail "ormandel is still installed"
while IFS= read -r path; do
  case "$path" in
    /.) ;;
    *ormandel*) [ -e "$path" ] && fail "left after the purge: $path" ;;
    *) [ -e "$path" ] && [ ! -d "$path" ] && fail "left after the purge: $path" ;;
  esac
done <"$work/files"

[ "$failed" -eq 0 ] && echo "PASS: package built, linted, installed, run and purged"
exit "$failed"
