#!/bin/sh
# Drives on other controllers, all in one test virtual machine: NVMe (512- and 4096-byte LBAs),
# virtio-blk, virtio-scsi (4096-byte sectors), USB mass storage, USB UAS and a SAS RAID adapter.
# Every image starts filled with 0xA5. Checked from outside, for each kind of the table:
#   - the probe's row (ormandel-probe) shows the bus, model, firmware, serial number and LBA count
#     the guest's sysfs gives (model cut to 24 characters, serial number to 20) and the size;
#   - both reports print their header with that name and refuse the non-ATA drive;
#   - the program's wipe ends clean and the image is zero to its last byte.
# Then a second USB stick, its writes slowed to 16 MiB/s, is pulled out (QMP device_del) a second
# into its wipe: the wipe stops with one line, the image is zero before the line's offset and
# untouched after the chunks in flight.
#
#   controller_vm_test.sh PROBE_BINARY REPORTS_PAYLOAD WIPE_PAYLOAD RUN_VM_SCRIPT
# Exit 0 pass, 1 fail, 77 skip (no virtual machine on this machine).
set -u
usage="usage: controller_vm_test.sh PROBE_BINARY REPORTS_PAYLOAD WIPE_PAYLOAD RUN_VM_SCRIPT"
probe_bin=${1:?$usage} reports_bin=${2:?$usage} wipe_bin=${3:?$usage} run_vm=${4:?$usage}
[ -x "$run_vm" ] || { echo "SKIP: no virtual machine harness at $run_vm"; exit 77; }

work=$(mktemp -d /tmp/orm-controller-vm-XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/payload" "$work/img"
cp "$probe_bin" "$work/payload/ormandel-probe" && cp "$reports_bin" "$work/payload/ata_vm_payload" &&
    cp "$wipe_bin" "$work/payload/wipe_vm_payload" || { echo "FAIL: payloads not built"; exit 1; }
mkfifo "$work/qmp.in" "$work/qmp.out" || exit 1
head -c 64M /dev/zero | tr '\0' '\245' > "$work/pattern"

# kind|drive|image bytes|drive options|bus|model where sysfs has none|size|QEMU devices of the disk
kinds='nvme-512|n0|16777216||NVME||16.77 Mbytes|nvme,serial=ORM-NVME-512,drive=n0
nvme-4096|n1|16789504||NVME||16.78 Mbytes|nvme,serial=ORM-NVME-4096,drive=n1,logical_block_size=4096,physical_block_size=4096
virtio-blk|v0|25165824||VIRTUAL|VirtIO Block Device|25.16 Mbytes|virtio-blk-pci,drive=v0,serial=ORM-VIRTIO-BLK
virtio-scsi-4096|s0|16777216||SCSI||16.77 Mbytes|virtio-scsi-pci,id=vs scsi-hd,bus=vs.0,drive=s0,serial=ORM-VSCSI-4096,vendor=ORMANDEL,product=MATRIX_SCSI_DISK,ver=VS42,logical_block_size=4096,physical_block_size=4096
usb-storage|u0|16778752||USB||16.77 Mbytes|qemu-xhci,id=xhci usb-storage,bus=xhci.0,drive=u0,serial=ORM-USB-STICK
usb-uas|a0|16777216||USB||16.77 Mbytes|usb-uas,bus=xhci.0,id=uas scsi-hd,bus=uas.0,scsi-id=0,lun=0,drive=a0,serial=ORM-UAS-0001,vendor=ORMUAS,product=UAS_DISK
megasas|m0|16777216||SCSI||16.77 Mbytes|megasas,id=mr scsi-hd,bus=mr.0,drive=m0,serial=ORM-MEGASAS-SERIAL-0042,vendor=ORMRAID,product=SAS_DISK
usb-pulled|p0|67108864|,throttling.bps-write=16777216|USB||67.1 Mbytes|usb-storage,bus=xhci.0,drive=p0,id=pull,serial=ORM-USB-PULLED'

set -f
args="--qemu-arg=-chardev --qemu-arg=pipe,id=qmp,path=$work/qmp --qemu-arg=-mon --qemu-arg=chardev=qmp,mode=control"
while IFS='|' read -r kind id bytes opts bus model size devices; do
    head -c "$bytes" "$work/pattern" > "$work/img/$id.img"
    args="$args --qemu-arg=-drive --qemu-arg=if=none,id=$id,format=raw,file=$work/img/$id.img$opts"
    for d in $devices; do args="$args --qemu-arg=-device --qemu-arg=$d"; done
done <<EOF
$kinds
EOF

# In the guest: the probe's table, each disk as sysfs shows it (sys|disk|model|firmware|serial|LBA),
# both reports, a wipe of every disk but the pulled one, then the pulled one's wipe in the
# background and "pull-now" a second into it.
guest='ormandel-probe
for d in $EXTRA_DEVS; do
    s=/sys/block/${d#/dev/}; u=$(readlink -f $s/device)
    while [ ${#u} -gt 5 ] && [ ! -e $u/idVendor ]; do u=${u%/*}; done
    ser=$(echo $(cat $s/serial $s/device/serial 2>/dev/null))
    [ -n "$ser" ] || ser=$(tail -c +5 $s/device/vpd_pg80 2>/dev/null)
    [ -n "$ser" ] || ser=$(cat $u/serial)
    m=$(echo $(cat $s/device/vendor $s/device/model 2>/dev/null))
    f=$(echo $(cat $s/device/rev $s/device/firmware_rev 2>/dev/null))
    echo "sys|$d|$m|$f|$ser|$(($(cat $s/size) * 512 / $(cat $s/queue/logical_block_size)))"
    if [ "$ser" = ORM-USB-PULLED ]; then pulled=$d; else others="${others:-} $d"; fi
done
ata_vm_payload $EXTRA_DEVS
for d in $others; do echo "wiped|$d|$(wipe_vm_payload $d | grep ^outcome)"; done
wipe_vm_payload $pulled | sed "s/^/pulled|/" & sleep 1; echo pull-now; wait'

: > "$work/out.txt"
# shellcheck disable=SC2086  # $args holds whole words without blanks
"$run_vm" --no-ide --timeout 240 --modules nvme,virtio_blk,virtio_scsi,usb_storage,uas,megaraid_sas $args \
    "$work/payload" "$guest" > "$work/out.txt" 2> "$work/err.txt" &
vm=$!
while kill -0 $vm 2>/dev/null && ! grep -q '^pull-now' "$work/out.txt"; do sleep 0.1; done
grep -q '^pull-now' "$work/out.txt" && timeout 10 sh -c \
    'printf "%s\n" "{\"execute\":\"qmp_capabilities\"}" "{\"execute\":\"device_del\",\"arguments\":{\"id\":\"pull\"}}" > "$1"' \
    sh "$work/qmp.in"
wait $vm
rc=$?
set +f
tr -d '\r' < "$work/out.txt" > "$work/log.txt"
[ $rc -ne 77 ] || { echo "SKIP: $(tail -1 "$work/err.txt")"; exit 77; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[ $rc -eq 0 ] || fail "guest shell exit status $rc"

chunk=524288 depth=4
while IFS='|' read -r kind id bytes opts bus model size devices; do
    serial=$(echo "$devices" | sed 's/.*serial=\([^, ]*\).*/\1/')
    sys=$(grep "^sys|[^|]*|[^|]*|[^|]*|$serial|" "$work/log.txt")
    [ -n "$sys" ] || { fail "$kind: no disk with serial number $serial in the guest"; continue; }
    IFS='|' read -r _ disk sysmodel fw _ lba <<EOF
$sys
EOF
    model=$(printf '%.24s' "${model:-$sysmodel}" | sed 's/ *$//')
    want=$(printf '%-24s%-10s%-26s%-10s%-22.20s%-14s%s' "$disk" "$bus" "$model" "$fw" "$serial" "$lba" "$size")
    got=$(grep "^[0-9]*  *$disk " "$work/log.txt" | cut -c5-)
    [ "$got" = "$want" ] || fail "$kind: probe row
  got  [$got]
  want [$want]"
    sed -n "\|^== $disk\$|,\|^smart-after $disk |p" "$work/log.txt" > "$work/section.txt"
    for line in "D|Device details for $model    $fw    [$size]" "S|SMART Attributes for $model    $fw    [$size]" \
        "D|Details are unavailable because the device is not a Native IDE or SATA device." \
        "S|SMART is unavailable because the device is not a Native IDE or SATA device."; do
        grep -qxF "$line" "$work/section.txt" || fail "$kind: reports lack the line: $line"
    done
    img="$work/img/$id.img"
    if [ "$id" != p0 ]; then
        grep -q "^wiped|$disk|outcome clean=1 " "$work/log.txt" || fail "$kind: wipe not clean: $(grep "^wiped|$disk|" "$work/log.txt")"
        cmp -s -n "$bytes" "$img" /dev/zero || fail "$kind: image not zero: $(cmp -n "$bytes" "$img" /dev/zero 2>&1)"
        echo "$kind: $got | wiped, image zero"
        continue
    fi
    stop=$(sed -n 's/^pulled|.*   Wipe stopped at offset \([0-9]*\): the drive is no longer connected (error code 1167)\.$/\1/p' "$work/log.txt")
    [ -n "$stop" ] && [ "$stop" -gt 0 ] && [ "$stop" -lt "$bytes" ] || { fail "$kind: no stop line mid-wipe"; continue; }
    cmp -s -n "$stop" "$img" /dev/zero || fail "$kind: not zero before the stop offset $stop"
    # Up to four writes are in flight: a chunk after the failed one may have landed.
    after=$((stop + depth * chunk))
    cmp -s -i "$after" "$img" "$work/pattern" || fail "$kind: written past the chunks in flight at $stop"
    zeroes=$(($(cmp "$img" /dev/zero | sed 's/.*byte \([0-9]*\).*/\1/') - 1))
    echo "$kind: $got | stopped at offset $stop, first byte not zero at $zeroes"
done <<EOF
$kinds
EOF

[ $failures -eq 0 ] || { echo "--- guest output"; cat "$work/log.txt"; echo "--- harness"; cat "$work/err.txt"; exit 1; }
echo "PASS: $(echo "$kinds" | wc -l) disks on six kinds of controller: probe rows, refusals, wipes"
tail -1 "$work/err.txt"
exit 0
