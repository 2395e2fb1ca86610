#!/usr/bin/env bash
# Boots the ATA virtual machine with disks of known identity and runs linux_vm_check in it.
# Exit 77 (skipped) when the harness is missing or the machine cannot run the VM.
# Usage: run_linux_vm_check.sh PATH/TO/linux_vm_check PATH/TO/run-vm.sh [PATH/TO/ormandel-helper]
set -u
CHECK=$1
HARNESS=$2
HELPER=${3:-}
if [ ! -x "$HARNESS" ]; then
    echo "SKIP: the virtual machine harness is not at $HARNESS"
    exit 77
fi
PAYLOAD=$(mktemp -d /tmp/orm-linux-vm.XXXXXX)
trap 'rm -rf "$PAYLOAD"' EXIT
mkdir "$PAYLOAD/bin" "$PAYLOAD/img"
cp "$CHECK" "$PAYLOAD/bin/linux_vm_check"
HELPER_ARG=
if [ -n "$HELPER" ]; then
    cp "$HELPER" "$PAYLOAD/bin/ormandel-helper"
    HELPER_ARG=--helper=/payload/ormandel-helper
fi
# A third disk, the slave on the parallel-ATA channel of the IDE disk: drive number 1.
truncate -s 32M "$PAYLOAD/img/slave.img"

# Full-width texts: the model is 40 characters and the firmware 8, which the kernel's SCSI view
# of an ATA disk would cut to 16 and 4.
SATA_MODEL="ORMANDEL SATA DISK WITH FORTY CHARS 0001"
IDE_MODEL="ORMANDEL IDE DISK WITH FORTY CHARACTERS2"
SATA_SERIAL="ORM-SATA-0123456789X"
IDE_SERIAL="ORM-IDE-00042"
SLAVE_MODEL="ORMANDEL IDE SLAVE DISK"
SLAVE_SERIAL="ORM-SLAVE-7"
FW="ORM1.2.3"

# The two disks of the IDE channel are scanned together, so which of them becomes sdb and which
# sdc is not fixed: wait for both, then tell them apart by the (16-character) model the kernel
# shows for them.
GUEST_LINE="i=0; while [ ! -b /dev/sdc ] && [ \$i -lt 100 ]; do sleep 0.1; i=\$((i+1)); done
master=sdb; slave=sdc
case \"\$(cat /sys/block/sdb/device/model)\" in \"${SLAVE_MODEL:0:16}\"*) master=sdc; slave=sdb;; esac
linux_vm_check \"/dev/sda:$SATA_MODEL:$SATA_SERIAL:$FW\" \"/dev/\$master:$IDE_MODEL:$IDE_SERIAL:$FW\" \"/dev/\$slave:$SLAVE_MODEL:$SLAVE_SERIAL:$FW:1\" $HELPER_ARG --busy=/dev/sda"

"$HARNESS" --sata-model "$SATA_MODEL" --ide-model "$IDE_MODEL" --sata-serial "$SATA_SERIAL" \
    --ide-serial "$IDE_SERIAL" --fw "$FW" \
    --qemu-arg=-drive --qemu-arg="if=none,id=slave0,format=raw,file=$PAYLOAD/img/slave.img" \
    --qemu-arg=-device --qemu-arg="ide-hd,drive=slave0,bus=ide.0,unit=1,model=$SLAVE_MODEL,serial=$SLAVE_SERIAL,ver=$FW" \
    "$PAYLOAD/bin" "$GUEST_LINE"
RC=$?
if [ "$RC" = 77 ]; then echo "SKIP: this machine cannot run the virtual machine"; fi
exit "$RC"
