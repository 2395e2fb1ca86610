// What sysfs tells about one whole-disk block device: the bus it hangs on (in the Windows
// numbering), its transfer limit, removability, SCSI address and identification texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orm::lnx {

// host:channel:target:lun of a SCSI (or libata) device, from the name of its sysfs directory.
struct ScsiAddress {
    int host = 0;
    int channel = 0;
    int target = 0;
    int lun = 0;
};
std::optional<ScsiAddress> ParseScsiAddress(const std::string& text);

// The Windows STORAGE_BUS_TYPE of a disk, from its kernel name and the canonical path of its
// sysfs directory (/sys/devices/...): loop 15 (file-backed virtual), virtio 14, NVMe 17,
// MMC/SD 13 (ReadBlockDeviceInfo tells SD cards, 12, by their type), USB 7 (a USB bridge,
// whatever it carries), libata 3 (ATA and SATA alike, as the program's ATA path expects), a disk
// behind the SAS transport (an end device) 10, any other SCSI 1 (QEMU's megasas and lsi53c895a
// disks among them), else 0.
std::uint8_t BusTypeFromSysfs(const std::string& name, const std::string& devicePath);

// The four texts of a device descriptor.
struct DeviceTexts {
    std::string vendor;
    std::string product;
    std::string revision;
    std::string serial;
};

struct BlockDeviceInfo {
    std::string name;        // kernel name of the whole disk, "sda"
    std::string devicePath;  // canonical sysfs directory of the whole disk
    std::uint8_t busType = 0;
    std::uint32_t maxTransferBytes = 0;  // queue/max_hw_sectors_kb x 1024
    bool removable = false;
    std::optional<ScsiAddress> scsi;
    DeviceTexts texts;  // from sysfs alone; libata disks get better ones from IDENTIFY
};

// Reads /sys/block/<name> under sysRoot. Missing attributes leave their fields empty or 0, but
// a disk sysfs knows always has a name: without vendor and model it is named after its bus
// ("VirtIO Block Device", "SD Card", ...) or, on a bus without a name of its own, "Disk <name>".
BlockDeviceInfo ReadBlockDeviceInfo(const std::string& sysRoot, const std::string& name);

// The kernel name of the whole disk that holds block device major:minor (the disk itself for a
// partition's number); empty if sysfs does not know the number.
std::string WholeDiskName(const std::string& sysRoot, unsigned major, unsigned minor);

// The serial number in a SCSI unit serial number page (VPD page 0x80): the bytes after the
// 4-byte header, as long as the page says, trimmed; empty for anything else.
std::string SerialFromVpd80(const std::uint8_t* page, std::size_t size);

}  // namespace orm::lnx
