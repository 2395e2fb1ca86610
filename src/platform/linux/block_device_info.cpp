#include "platform/linux/block_device_info.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "helper/sysfs_attr.h"
#include "platform/bytes_text.h"
#include "platform/win_layouts.h"

namespace orm::lnx {

using helper::ReadAttr;
using helper::ReadBinaryAttr;
using helper::ResolvePath;

namespace {

namespace fs = std::filesystem;

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// The serial of the USB device above a disk: the first directory upwards from the SCSI device
// that has an idVendor file is the USB device.
std::string UsbSerial(const std::string& scsiDevicePath) {
    fs::path dir = scsiDevicePath;
    for (int level = 0; level < 10 && dir.has_parent_path() && dir != dir.parent_path(); ++level) {
        std::error_code ec;
        if (fs::exists(dir / "idVendor", ec)) return ReadAttr((dir / "serial").string()).value_or("");
        if (dir.filename() == "devices") break;
        dir = dir.parent_path();
    }
    return {};
}

// What the bus says the drive is, for a drive without a model of its own.
std::string NameWithoutModel(const BlockDeviceInfo& info) {
    switch (info.busType) {
        case win::BusTypeVirtual:
            return "VirtIO Block Device";
        case win::BusTypeSd:
            return "SD Card";
        case win::BusTypeMmc:
            return "MMC Card";
        case win::BusTypeNvme:
            return "NVMe Disk";
        case win::BusTypeUsb:
            return "USB Disk";
        case win::BusTypeSas:
            return "SAS Disk";
        case win::BusTypeScsi:
            return "SCSI Disk";
        case win::BusTypeAta:
            return "ATA Disk";
        default:
            return "Disk " + info.name;
    }
}

}  // namespace

std::optional<ScsiAddress> ParseScsiAddress(const std::string& text) {
    ScsiAddress a;
    char end = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%d:%d%c", &a.host, &a.channel, &a.target, &a.lun, &end) != 4) {
        return std::nullopt;
    }
    if (a.host < 0 || a.channel < 0 || a.target < 0 || a.lun < 0) return std::nullopt;
    return a;
}

std::uint8_t BusTypeFromSysfs(const std::string& name, const std::string& devicePath) {
    const std::string_view n = name;
    if (n.starts_with("loop")) return win::BusTypeFileBackedVirtual;
    // virtio-blk disks are vd*; a virtio-scsi disk is a SCSI disk (its path has a SCSI target).
    if (n.starts_with("vd") || (Contains(devicePath, "/virtio") && !Contains(devicePath, "/target"))) {
        return win::BusTypeVirtual;
    }
    if (n.starts_with("nvme") || Contains(devicePath, "/nvme")) return win::BusTypeNvme;
    if (n.starts_with("mmcblk") || Contains(devicePath, "/mmc_host/")) return win::BusTypeMmc;
    if (Contains(devicePath, "/usb")) return win::BusTypeUsb;
    // libata puts an "ataN" port directory above the SCSI host of each of its disks.
    for (std::size_t at = devicePath.find("/ata"); at != std::string::npos;
         at = devicePath.find("/ata", at + 1)) {
        const std::size_t digit = at + 4;
        if (digit < devicePath.size() && devicePath[digit] >= '0' && devicePath[digit] <= '9') {
            return win::BusTypeAta;
        }
    }
    if (Contains(devicePath, "/end_device-") || Contains(devicePath, "/sas_")) return win::BusTypeSas;
    if (Contains(devicePath, "/target") && Contains(devicePath, "/host")) return win::BusTypeScsi;
    return win::BusTypeUnknown;
}

std::string SerialFromVpd80(const std::uint8_t* page, std::size_t size) {
    if (size < 4 || page[1] != 0x80) return {};
    const std::size_t length = (static_cast<std::size_t>(page[2]) << 8) | page[3];
    const std::size_t available = std::min(length, size - 4);
    std::string_view text(reinterpret_cast<const char*>(page + 4), available);
    if (const std::size_t zero = text.find('\0'); zero != std::string_view::npos) text = text.substr(0, zero);
    return TrimText(text);
}

BlockDeviceInfo ReadBlockDeviceInfo(const std::string& sysRoot, const std::string& name) {
    BlockDeviceInfo info;
    info.name = name;
    const std::string dir = sysRoot + "/block/" + name;
    info.devicePath = ResolvePath(dir);
    info.busType = BusTypeFromSysfs(name, info.devicePath);

    const std::string maxKb = ReadAttr(dir + "/queue/max_hw_sectors_kb").value_or("0");
    unsigned long long kb = 0;
    if (std::sscanf(maxKb.c_str(), "%llu", &kb) == 1 && kb <= 0xFFFFFFFFull / 1024) {
        info.maxTransferBytes = static_cast<std::uint32_t>(kb * 1024);
    }
    info.removable = ReadAttr(dir + "/removable").value_or("0") == "1";

    const std::string scsiDevice = ResolvePath(dir + "/device");
    if (!scsiDevice.empty() && fs::exists(dir + "/device/scsi_device")) {
        info.scsi = ParseScsiAddress(fs::path(scsiDevice).filename().string());
    }

    DeviceTexts& t = info.texts;
    if (info.busType == win::BusTypeFileBackedVirtual) {
        // A loop device names the image behind it, so the operator sees which file it is.
        t.vendor = "Loop";
        t.product = fs::path(ReadAttr(dir + "/loop/backing_file").value_or("")).filename().string();
        return info;
    }
    if (info.busType == win::BusTypeMmc) {
        // The card's own name, firmware and serial from its CID; "SD" and "SDcombo" cards are SD.
        if (ReadAttr(dir + "/device/type").value_or("").starts_with("SD")) info.busType = win::BusTypeSd;
        t.product = ReadAttr(dir + "/device/name").value_or("");
        t.revision = ReadAttr(dir + "/device/fwrev").value_or("");
    } else if (info.busType == win::BusTypeVirtual) {
        t.serial = ReadAttr(dir + "/serial").value_or("");
    } else {
        if (info.busType != win::BusTypeNvme) t.vendor = ReadAttr(dir + "/device/vendor").value_or("");
        t.product = ReadAttr(dir + "/device/model").value_or("");
        t.revision = ReadAttr(dir + "/device/rev").value_or("");
        if (t.revision.empty()) t.revision = ReadAttr(dir + "/device/firmware_rev").value_or("");
    }
    if (t.serial.empty()) t.serial = ReadAttr(dir + "/device/serial").value_or("");
    if (t.serial.empty()) {
        const std::vector<std::uint8_t> page = ReadBinaryAttr(dir + "/device/vpd_pg80", 256);
        t.serial = SerialFromVpd80(page.data(), page.size());
    }
    if (t.serial.empty() && info.busType == win::BusTypeUsb && !scsiDevice.empty())
        t.serial = UsbSerial(scsiDevice);
    t.vendor = TrimText(t.vendor);
    t.product = TrimText(t.product);
    t.revision = TrimText(t.revision);
    t.serial = TrimText(t.serial);
    // A drive the system gives no model (virtio-blk) is still named in the chooser and the logs.
    if (t.vendor.empty() && t.product.empty() && !info.devicePath.empty()) t.product = NameWithoutModel(info);
    return info;
}

std::string WholeDiskName(const std::string& sysRoot, unsigned major, unsigned minor) {
    const std::string resolved =
        ResolvePath(sysRoot + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor));
    if (resolved.empty()) return {};
    fs::path dir = resolved;
    std::error_code ec;
    if (fs::exists(dir / "partition", ec)) dir = dir.parent_path();
    return dir.filename().string();
}

}  // namespace orm::lnx
