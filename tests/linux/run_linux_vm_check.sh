#!/usr/bin/env bash
# Boots the ATA virtual machine with disks of known identity and runs linux_vm_check in it.
# Exit 77 (skipped) when the harness is missing or the machine cannot run the VM.
# Usage: run_linux_vm_check.sh PATH/TO/linux_vm_check PATH/TO/run-vm.sh
set -u
CHECK=$1
HARNESS=$2
if [ ! -x "$HARNESS" ]; then
    echo "SKIP: the virtual machine harness is not at $HARNESS"
    exit 77
fi
PAYLOAD=$(mktemp -d /tmp/orm-linux-vm.XXXXXX)
trap 'rm -rf "$PAYLOAD"' EXIT
cp "$CHECK" "$PAYLOAD/linux_vm_check"

# Full-width texts: the model is 40 characters and the firmware 8, which the kernel's SCSI view
# of an ATA disk would cut to 16 and 4.
SATA_MODEL="ORMANDEL SATA DISK WITH FORTY CHARS 0001"
IDE_MODEL="ORMANDEL IDE DISK WITH FORTY CHARACTERS2"
SATA_SERIAL="ORM-SATA-0123456789X"
IDE_SERIAL="ORM-IDE-00042"
FW="ORM1.2.3"

"$HARNESS" --sata-model "$SATA_MODEL" --ide-model "$IDE_MODEL" --sata-serial "$SATA_SERIAL" \
    --ide-serial "$IDE_SERIAL" --fw "$FW" "$PAYLOAD" linux_vm_check \
    "/dev/sda:$SATA_MODEL:$SATA_SERIAL:$FW" "/dev/sdb:$IDE_MODEL:$IDE_SERIAL:$FW"
RC=$?
if [ "$RC" = 77 ]; then echo "SKIP: this machine cannot run the virtual machine"; fi
exit "$RC"
