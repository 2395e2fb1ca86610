#!/bin/sh
# The drive helper the whole way, as an ordinary user: pkexec starts it for that user (granted
# by a test-only rule), the probe lists a loop device the test made, a headless wipe through the
# helper's descriptor zeroes it, and the user cannot open the device directly. Root, polkit and
# loop devices needed; exits 77 (skipped) without them.
#
#   helper_pkexec_test.sh SOURCE_DIR BUILD_DIR
set -u
src=$1 build=$2
helper=$build/src/helper/ormandel-helper
probe=$build/src/cli/ormandel-probe
wipe=$build/bench/wipe_bench
. "$src/tests/helper/polkit_test_env.sh"

why=$(polkit_env_why_not)
[ -z "$why" ] || { echo "SKIP: $why"; exit 77; }
command -v losetup >/dev/null && [ -e /dev/loop-control ] || { echo "SKIP: no loop devices"; exit 77; }
for f in "$helper" "$probe" "$wipe"; do [ -x "$f" ] || { echo "FAIL: $f not built"; exit 1; }; done

tmp=$(mktemp -d)
loop=""
cleanup() {
    [ -z "$loop" ] || losetup -d "$loop" 2>/dev/null || true
    rm -rf "$tmp"
    polkit_env_down
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() { echo "FAIL: $*"; exit 1; }

polkit_env_up "$helper" "$src/data/com.example.ormandel.policy.in" || fail "polkit set-up"
size=$((8 * 1024 * 1024))
dd if=/dev/urandom of="$tmp/disk.img" bs=1M count=8 status=none
loop=$(losetup --find --show "$tmp/disk.img") || fail "losetup"

if as_test_user sh -c "exec 3<$loop" 2>/dev/null; then fail "$orm_test_user opened $loop directly"; fi

listing=$(as_test_user "$probe" 2>&1) || fail "probe as $orm_test_user: $listing"
echo "$listing"
echo "$listing" | grep -q "^[0-9][0-9]*  *$loop " || fail "the probe did not list $loop"

line=$(as_test_user "$wipe" "$loop" 2>/dev/null) || fail "wipe as $orm_test_user: $line"
echo "$line"
case "$line" in *clean=1*) ;; *) fail "the wipe did not end clean" ;; esac
cmp -n "$size" "$loop" /dev/zero || fail "$loop is not all zeroes"

# Every helper ended with its program.
for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" != "$helper" ] || fail "a helper still runs: ${p#/proc/}"
done
echo "PASS"
