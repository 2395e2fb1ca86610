#!/bin/sh
# Both reports on real (emulated) ATA disks: the Linux layer, inside the test virtual machine,
# against the AHCI disk (/dev/sda), the legacy IDE disk (/dev/sdb) and a slave on the same IDE
# channel (/dev/sdc, drive number 1), each given its own model, serial number, firmware and size. Checked from outside:
#   - the details report shows the model, serial number and firmware the disk was given and its
#     sector count and capacity;
#   - the SMART report prints the emulated disk's attribute table, column for column as in
#     tests/data/smart_qemu_sata.txt;
#   - SMART is still on after the report (the drive had it on, so the report leaves it on);
#   - no sectors are reported hidden (QEMU's disks have neither a host protected area nor an overlay).
#
#   ata_vm_test.sh PAYLOAD_BINARY RUN_VM_SCRIPT SMART_GOLDEN
# Exit 0 pass, 1 fail, 77 skip (no virtual machine on this machine).
set -u

payload_bin=${1:?usage: ata_vm_test.sh PAYLOAD_BINARY RUN_VM_SCRIPT SMART_GOLDEN}
run_vm=${2:?usage: ata_vm_test.sh PAYLOAD_BINARY RUN_VM_SCRIPT SMART_GOLDEN}
golden=${3:?usage: ata_vm_test.sh PAYLOAD_BINARY RUN_VM_SCRIPT SMART_GOLDEN}

[ -x "$run_vm" ] || { echo "SKIP: no virtual machine harness at $run_vm"; exit 77; }
[ -x "$payload_bin" ] || { echo "FAIL: payload $payload_bin not built"; exit 1; }
[ -r "$golden" ] || { echo "FAIL: no golden SMART table at $golden"; exit 1; }

work=$(mktemp -d /tmp/orm-ata-vm-XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/payload" "$work/img"
truncate -s 32M "$work/img/slave.img"
cp "$payload_bin" "$work/payload/ata_vm_payload"

sata_model="ORMANDEL REPORT TEST SATA DISK"
sata_serial="ORM-RPT-SATA-0042"
ide_model="ORMANDEL REPORT TEST IDE DISK"
ide_serial="ORM-RPT-IDE-0017"
slave_model="ORMANDEL REPORT SLAVE"
slave_serial="ORM-RPT-SLAVE-1"
fw="RPT2.20"

"$run_vm" --sata-model "$sata_model" --sata-serial "$sata_serial" --ide-model "$ide_model" \
    --ide-serial "$ide_serial" --fw "$fw" --sata-size 96M --ide-size 64M \
    --qemu-arg=-drive --qemu-arg="if=none,id=slave0,format=raw,file=$work/img/slave.img" \
    --qemu-arg=-device --qemu-arg="ide-hd,drive=slave0,bus=ide.0,unit=1,model=$slave_model,serial=$slave_serial,ver=$fw" \
    "$work/payload" 'i=0; while [ ! -b /dev/sdc ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done; ata_vm_payload' > "$work/out.txt" 2> "$work/err.txt"
rc=$?
tr -d '\r' < "$work/out.txt" > "$work/log.txt"
if [ $rc -eq 77 ]; then
    echo "SKIP: $(tail -1 "$work/err.txt")"
    exit 77
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ $rc -eq 0 ] || fail "payload exit status $rc"

# The lines of the section (from one "== DISK" line to the next) of the disk with this serial
# number; the kernel may name the two IDE disks in either order.
section() {
    awk -v s="D|Serial Number: $1" '
        /^== / { if (found) exit; n = 0; delete lines }
        { lines[++n] = $0 }
        $0 == s { found = 1 }
        END { if (found) for (i = 1; i <= n; ++i) print lines[i] }' "$work/log.txt"
}
# The SMART table expected on every emulated disk: the golden file from its column header on.
sed -n '/^          Attribute/,$p' "$golden" | sed 's/^/S|/' > "$work/table.expected"

check_disk() {  # ROLE MODEL SERIAL SECTORS BYTES SIZE_TEXT
    disk=$1 model=$2 serial=$3 sectors=$4 bytes=$5 size=$6
    # The disk name carries the model as the probe stores it: its first 24 characters, trimmed.
    name="$(printf '%.24s' "$model" | sed 's/ *$//')    ${fw}    [$size]"
    section "$serial" > "$work/section.txt"
    [ -s "$work/section.txt" ] || { fail "$disk: no report with serial number $serial"; return; }
    path=$(sed -n 's/^== //p' "$work/section.txt")
    for want in "D|Model: $model" "D|Firmware Revision: $fw" "D|Serial Number: $serial" \
        "D|LBA mode is supported" "D|Sectors available with LBA commands: $sectors" \
        "D|Full device capacity: $bytes bytes" "D|SMART is supported" \
        "D|Device details for $name" "S|SMART Attributes for $name" "smart-after $path on"; do
        grep -qF -- "$want" "$work/section.txt" || fail "$disk: missing line: $want"
    done
    grep -q "^D|Details are unavailable" "$work/section.txt" && fail "$disk: details refused"
    grep -q "^D|Hidden by" "$work/section.txt" && fail "$disk: sectors reported hidden on a disk without any"
    grep -q "^S|SMART is" "$work/section.txt" && fail "$disk: SMART refused"
    sed -n '/^S|          Attribute/,/^S| $/p' "$work/section.txt" > "$work/table.got"
    cmp -s "$work/table.got" "$work/table.expected" ||
        fail "$disk: SMART table differs: $(diff "$work/table.expected" "$work/table.got" | head -20)"
}

check_disk sata "$sata_model" "$sata_serial" "196,608" "100,663,296" "100.66 Mbytes"
check_disk ide-master "$ide_model" "$ide_serial" "131,072" "67,108,864" "67.1 Mbytes"
check_disk ide-slave "$slave_model" "$slave_serial" "65,536" "33,554,432" "33.55 Mbytes"
grep -q "^probe $path bus=3 drive=1 " "$work/log.txt" || fail "the slave $path is not drive number 1: $(grep '^probe' "$work/log.txt")"
[ "$(grep -c '^== ' "$work/log.txt")" -eq 3 ] || fail "expected three disks: $(grep '^probe' "$work/log.txt")"

if [ $failures -ne 0 ]; then
    echo "--- guest output"; cat "$work/log.txt"; echo "--- harness"; cat "$work/err.txt"
    exit 1
fi
echo "PASS: details and SMART reports of the AHCI, IDE master and IDE slave disks, SMART left on"
exit 0
