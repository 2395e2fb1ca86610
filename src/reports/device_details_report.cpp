#include "reports/device_details_report.h"

#include <string>

#include "ata/ata_commands.h"
#include "common/product.h"
#include "discovery/size_text.h"
#include "reports/report_header.h"

namespace orm {

namespace {

const char* Supported(bool yes, const char* supported, const char* notSupported) {
    return yes ? supported : notSupported;
}

// The sector count times the drive's logical sector size. Done in unsigned arithmetic: a
// nonsense count from a broken block must not overflow.
std::int64_t CapacityBytes(std::int64_t sectors, std::int64_t sectorSize) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(sectors) *
                                     static_cast<std::uint64_t>(sectorSize));
}

// "1,234,567 sectors (632.09 Mbytes)"
std::string SectorsText(std::int64_t sectors, const T_IDE_PASSPORT& r, char decimalSeparator) {
    return GroupDigits(sectors) + " sectors (" +
           SizeText(CapacityBytes(sectors, r.SectorSize), decimalSeparator) + ")";
}

}  // namespace

void WriteIdentifyDetails(const T_IDE_PASSPORT& r, char decimalSeparator, LineSink& log,
                          const HiddenSectors& hidden) {
    log.Line("Model: " + r.Model);
    log.Line("Firmware Revision: " + r.FirmwareRevision);
    log.Line("Serial Number: " + r.SerialNumber);
    if (r.BufferSize != 0) log.Line("Buffer size: " + SizeText(r.BufferSize, decimalSeparator));
    log.Line(" ");
    log.Line("PHYSICAL PARAMETERS:");
    log.Line(Supported(r.LbaSupported, "LBA mode is supported", "LBA mode is not supported"));
    log.Line(Supported(r.Lba48Supported, "LBA-48 mode is supported", "LBA-48 mode is not supported"));
    log.Line("Sectors available with LBA commands: " + GroupDigits(r.LbaSectors));
    log.Line("Sectors available with LBA48 commands: " + GroupDigits(r.Lba48Sectors));
    log.Line("Full device capacity: " + GroupDigits(CapacityBytes(r.TotalSectors, r.SectorSize)) + " bytes");
    log.Line(" ");
    log.Line("SECURITY:");
    log.Line(Supported(r.SecuritySupported, "Security features is supported",
                       "Security features is not supported"));
    if (r.SecurityLocked) {
        log.Line("The drive is currently LOCKED");
        if (r.SecurityLevelMaximum) {
            log.Line("Security level: Maximum");
            log.Line("Device needs USER password to be unlocked.");
            log.Line("If USER password is unknown, the device could be erased with MASTER password.");
        } else {
            log.Line("Security level: High");
            log.Line("Device needs either USER or MASTER password to be unlocked.");
        }
    } else {
        log.Line("The device is currently not locked");
    }
    log.Line(" ");
    log.Line("FEATURES:");
    log.Line(Supported(r.SmartSupported, "SMART is supported", "SMART is not supported"));
    log.Line(Supported(r.HpaSupported, "HPA (Host-protected area) is supported",
                       "HPA (Host-protected area) is not supported"));
    // Each sentence in two lines, so that the memo shows it whole.
    if (hidden.hpa.value_or(0) > 0) {
        log.Line("Hidden by a host protected area: " + SectorsText(*hidden.hpa, r, decimalSeparator) + ";");
        log.Line("the drive's native size is " + GroupDigits(*hidden.nativeSectors) + " sectors");
    }
    if (hidden.dco.value_or(0) > 0) {
        log.Line("Hidden by a device configuration overlay: " +
                 SectorsText(*hidden.dco, r, decimalSeparator) + ";");
        log.Line("the drive's full size is " + GroupDigits(*hidden.dcoSectors) + " sectors");
    }
    log.Line(Supported(r.AamSupported, "AAM (Automatic acoustic management) is supported",
                       "AAM (Automatic acoustic management) is not supported"));
    log.Line(Supported(r.StreamingSupported, "Streaming feature set is supported",
                       "Streaming feature set is not supported"));
    log.Line(" ");
    log.Line("QUEUING:");
    if (r.QueueDepth > 0) {
        log.Line("Command Queuing is supported by the device");
        log.Line("Maximum Queue Depth: " + std::to_string(r.QueueDepth + 1));
    } else {
        log.Line("Command Queuing is not supported by the device");
    }
}

HiddenSectors ReportDeviceDetails(ReportContext& ctx) {
    WriteReportHeader(ctx, "Device details for ");
    const TDeviceTable& chosen = ctx.state.Chosen();
    if (chosen.BusType != kAtaBusType) {
        ctx.log.Line("Details are unavailable because the device is not a Native IDE or SATA device.");
        return {};
    }
    AtaBlock identify{};
    if (!AtaIdentify(ctx.ks, ctx.state.DeviceHandle, chosen.DriveNumber, identify)) {
        ctx.log.Line("Details are unavailable: Internal error.");
        ctx.log.Line(std::string("Please post this problem on ") + kSupportForumAddress);
        return {};
    }
    const HiddenSectors hidden =
        DetectHiddenSectors(ctx.ks, ctx.state.DeviceHandle, chosen.DriveNumber, identify);
    WriteIdentifyDetails(DecodeIdentifyData(identify), ctx.regional.DecimalSeparator(), ctx.log, hidden);
    return hidden;
}

}  // namespace orm
