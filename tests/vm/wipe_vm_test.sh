#!/bin/sh
# Real write faults: the wipe, on the Linux layer, inside the test virtual machine, against an
# emulated SATA disk whose writes fail at chosen sectors. Checked from outside:
#   - one "Write Error occured at offset " line per chunk holding a failing sector, and no other
#     error line;
#   - the closing says the wipe finished with errors (3 chunks, 1572864 bytes) and shows the
#     warning box, not the "Format" one;
#   - every chunk without a failing sector is zero in the image file.
#
#   wipe_vm_test.sh PAYLOAD_BINARY RUN_VM_SCRIPT
# Exit 0 pass, 1 fail, 77 skip (no virtual machine on this machine).
set -u

payload_bin=${1:?usage: wipe_vm_test.sh PAYLOAD_BINARY RUN_VM_SCRIPT}
run_vm=${2:?usage: wipe_vm_test.sh PAYLOAD_BINARY RUN_VM_SCRIPT}

[ -x "$run_vm" ] || { echo "SKIP: no virtual machine harness at $run_vm"; exit 77; }
[ -x "$payload_bin" ] || { echo "FAIL: payload $payload_bin not built"; exit 1; }

work=$(mktemp -d /tmp/orm-wipe-vm-XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/payload" "$work/images"
cp "$payload_bin" "$work/payload/wipe_vm_payload"

chunk=524288
size_mib=96
# Sectors 2600, 101500 and the disk's last sector (196607): chunks 2, 99 and 191, the last.
fail_sectors="2600 101500 196607"
head -c "${size_mib}M" /dev/urandom > "$work/images/sata.img"

"$run_vm" --images "$work/images" --no-ide --fail-writes "$(echo $fail_sectors | tr ' ' ',')" \
    "$work/payload" wipe_vm_payload /dev/sda > "$work/out.txt" 2> "$work/err.txt"
rc=$?
tr -d '\r' < "$work/out.txt" > "$work/log.txt"
if [ $rc -eq 77 ]; then
    echo "SKIP: $(tail -1 "$work/err.txt")"
    exit 77
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ $rc -eq 1 ] || fail "payload exit status $rc, expected 1 (wipe with errors)"

expected=""
for s in $fail_sectors; do
    expected="$expected $(( s * 512 / chunk * chunk ))"
done
got=$(sed -n 's/.*   Write Error occured at offset \([0-9]*\)$/\1/p' "$work/log.txt" | tr '\n' ' ')
[ "$(echo $got)" = "$(echo $expected)" ] || fail "write error offsets [$got], expected [$expected ]"
grep -q "Seek error occured" "$work/log.txt" && fail "unexpected seek error lines"

closing="Wipe finished with errors: 3 chunks (1572864 bytes) could not be written."
grep -A1 -F "   $closing" "$work/log.txt" | grep -qF "   The drive is not fully erased." ||
    fail "closing lines missing: $closing"
grep -q "Wipe is done" "$work/log.txt" && fail "a wipe with errors was reported as done"
grep -q "^outcome clean=0 failed_chunks=3 failed_bytes=1572864 flush_failed=0 direct=1 boxes=1 box_caption=Wipe finished with errors$" \
    "$work/log.txt" || fail "outcome line: $(grep '^outcome' "$work/log.txt")"

# From outside: blank out the failed chunks in a copy; the rest of the image must be zero.
img="$work/images/sata.img"
size=$(stat -c %s "$img")
[ "$size" -eq $((size_mib * 1048576)) ] || fail "image size $size"
cp "$img" "$work/check.img"
for off in $expected; do
    dd if=/dev/zero of="$work/check.img" bs=$chunk count=1 seek=$((off / chunk)) conv=notrunc status=none
done
cmp -s -n "$size" "$work/check.img" /dev/zero || fail "bytes outside the failed chunks are not zero: $(cmp -n "$size" "$work/check.img" /dev/zero 2>&1)"
# The failing sectors themselves were never written: they keep their random bytes.
for s in $fail_sectors; do
    if cmp -s -n 512 -i "$((s * 512)):0" "$img" /dev/zero; then fail "failing sector $s reads zero"; fi
done

if [ $failures -ne 0 ]; then
    echo "--- guest output"; cat "$work/log.txt"; echo "--- harness"; cat "$work/err.txt"
    exit 1
fi
echo "PASS: write errors at offsets$expected, closing reports errors, all other chunks zero"
exit 0
