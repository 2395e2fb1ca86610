#!/bin/sh
# A drive pulled in the middle of a wipe: inside the test virtual machine, the emulated SATA disk
# is deleted (what the kernel does when a disk is unplugged or its bridge resets) one second into
# a headless wipe of it. Checked from outside:
#   - the wipe log ends with the line saying where the wipe stopped because the drive is no
#     longer connected, and stays short: the header, one or two error lines and that line;
#   - the wipe ends with errors and the warning box.
# Prints the number of wipe-log lines and the time from the deletion to the end of the wipe.
#
#   wipe_vm_vanish_test.sh PAYLOAD_BINARY RUN_VM_SCRIPT
# Exit 0 pass, 1 fail, 77 skip (no virtual machine on this machine).
set -u

payload_bin=${1:?usage: wipe_vm_vanish_test.sh PAYLOAD_BINARY RUN_VM_SCRIPT}
run_vm=${2:?usage: wipe_vm_vanish_test.sh PAYLOAD_BINARY RUN_VM_SCRIPT}

[ -x "$run_vm" ] || { echo "SKIP: no virtual machine harness at $run_vm"; exit 77; }
[ -x "$payload_bin" ] || { echo "FAIL: payload $payload_bin not built"; exit 1; }

work=$(mktemp -d /tmp/orm-wipe-vanish-XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/payload" "$work/images"
cp "$payload_bin" "$work/payload/wipe_vm_payload"

# 4 GiB: the wipe is far from its end when the disk goes (about 0.4 GB/s in the machine).
# Times are read from /proc/uptime (seconds, two decimals).
guest_line='wipe_vm_payload /dev/sda > /tmp/wipe.txt 2>&1 &
pid=$!
sleep 1
read gone_at rest < /proc/uptime
echo 1 > /sys/block/sda/device/delete
wait $pid
rc=$?
read ended_at rest < /proc/uptime
cat /tmp/wipe.txt
echo "payload_exit=$rc deleted_at=$gone_at ended_at=$ended_at"'

"$run_vm" --images "$work/images" --no-ide --sata-size 4G --timeout 240 "$work/payload" "$guest_line" \
    > "$work/out.txt" 2> "$work/err.txt"
rc=$?
tr -d '\r' < "$work/out.txt" > "$work/log.txt"
if [ $rc -eq 77 ]; then
    echo "SKIP: $(tail -1 "$work/err.txt")"
    exit 77
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ $rc -eq 0 ] || fail "guest shell exit status $rc"
# Wipe-log lines carry the payload's fixed stamp followed by three blanks.
grep '^08\.12\.2026   ' "$work/log.txt" > "$work/wipe.txt"
lines=$(wc -l < "$work/wipe.txt")
errors=$(grep -c 'occured at offset' "$work/wipe.txt")
last=$(tail -1 "$work/wipe.txt" | sed 's/^08\.12\.2026   //')
stop=$(tail -2 "$work/wipe.txt" | head -1 | sed 's/^08\.12\.2026   //')
summary=$(grep '^payload_exit=' "$work/log.txt")
payload_exit=$(echo "$summary" | sed -n 's/^payload_exit=\([0-9]*\) .*/\1/p')
deleted_at=$(echo "$summary" | sed -n 's/.* deleted_at=\([0-9.]*\) .*/\1/p')
ended_at=$(echo "$summary" | sed -n 's/.* ended_at=\([0-9.]*\)$/\1/p')

[ "$payload_exit" = 1 ] || fail "payload exit status '$payload_exit', expected 1 (wipe with errors)"
echo "$stop" | grep -Eq '^Wipe stopped at offset [0-9]+: the drive is no longer connected \(error code 1167\)\.$' &&
    [ "$last" = "The drive is not fully erased." ] || fail "the log does not end with the stop lines: $stop / $last"
[ "$errors" -ge 1 ] && [ "$errors" -le 3 ] || fail "$errors error lines, expected 1 to 3"
[ "$lines" -le 10 ] || fail "$lines wipe-log lines, expected a few"
grep -q "boxes=1 box_caption=Wipe finished with errors$" "$work/log.txt" || fail "no warning box"
grep -q "Wipe is done" "$work/log.txt" && fail "a wipe of a vanished drive was reported as done"

if [ $failures -ne 0 ]; then
    echo "--- guest output"; cat "$work/log.txt"; echo "--- harness"; cat "$work/err.txt"
    exit 1
fi
cat "$work/wipe.txt"
stop_seconds=$(awk -v a="$deleted_at" -v b="$ended_at" 'BEGIN { printf "%.2f", b - a }')
echo "PASS: $lines wipe-log lines ($errors error line(s)); stopped ${stop_seconds} s after the deletion: $stop"
exit 0
