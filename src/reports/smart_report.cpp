#include "reports/smart_report.h"

#include <string>

#include "ata/ide_passport.h"
#include "platform/win_layouts.h"
#include "reports/attribute_names.h"
#include "reports/pad_text.h"
#include "reports/report_header.h"

namespace orm {

namespace {

constexpr const char* kUnknownName = "Unknown                   ";

// IDENTIFY word 85 bit 0: SMART operations are enabled on the drive.
constexpr int kSmartSupportedWord = 82;
constexpr int kSmartEnabledWord = 85;
constexpr int kSmartValidityWord = 87;

}  // namespace

std::string SmartAttributeLine(const AtaBlock& smart, int index) {
    if (index < 0 || index >= kSmartEntries) return {};
    const std::uint8_t* entry =
        smart.data() + kSmartEntryOffset + kSmartEntrySize * static_cast<std::size_t>(index);
    const std::uint8_t id = entry[0];
    const std::uint8_t current = entry[3];
    const std::uint8_t worst = entry[4];
    // Only the low four of the six raw bytes are shown; they always fit ten columns.
    const std::uint32_t raw = win::GetLe32(entry + 5);

    std::string line = "Att: " + PadRight(std::to_string(id), 3) + "  ";
    const std::string_view name = AttributeName(id);
    line += name.empty() ? std::string(kUnknownName) : std::string(name);
    line += "     " + PadLeft(std::to_string(current), 5);
    line += "  " + PadLeft(std::to_string(worst), 7);
    line += "  " + PadLeft(std::to_string(raw), 10);
    if (id == kTemperatureAttribute) {
        // The lowest raw byte is the temperature in degrees Celsius.
        line += "  (" + std::to_string(entry[5]) + " degrees) ";
    }
    return line;
}

void WriteSmartTable(const AtaBlock& smart, LineSink& log) {
    log.Line(kSmartColumnHeader);
    log.Line(std::string(kSmartRuleWidth, '-'));
    for (int k = 0; k < kSmartEntries; ++k) {
        if (smart[kSmartEntryOffset + kSmartEntrySize * static_cast<std::size_t>(k)] == 0) break;
        log.Line(SmartAttributeLine(smart, k));
    }
    log.Line(" ");
}

std::optional<bool> SmartStateFromIdentify(const AtaBlock& identify) {
    const bool valid = (IdentifyWord(identify, kSmartValidityWord) & 0xC000u) == 0x4000u;
    const bool supported = (IdentifyWord(identify, kSmartSupportedWord) & 1u) != 0;
    if (!valid || !supported) return std::nullopt;
    return (IdentifyWord(identify, kSmartEnabledWord) & 1u) != 0;
}

void ReportSmartAttributes(ReportContext& ctx) {
    AtaBlock smart{};
    WriteReportHeader(ctx, "SMART Attributes for ");
    const TDeviceTable& chosen = ctx.state.Chosen();
    if (chosen.BusType != kAtaBusType) {
        ctx.log.Line("SMART is unavailable because the device is not a Native IDE or SATA device.");
        return;
    }
    const Handle handle = ctx.state.DeviceHandle;
    const std::uint8_t drive = chosen.DriveNumber;

    // The view is read-only: SMART must be left as found. Without a trustworthy IDENTIFY the
    // state before is unknown, and then SMART is left enabled rather than risk turning
    // monitoring off.
    AtaBlock identify{};
    std::optional<bool> before;
    if (AtaIdentify(ctx.ks, handle, drive, identify)) before = SmartStateFromIdentify(identify);
    const bool stateKnown = before.has_value();
    const bool wasEnabled = before.value_or(true);

    if (!SmartEnable(ctx.ks, handle, drive)) {
        ctx.log.Line("SMART is not supported by the device.");
        return;
    }
    const bool read = SmartReadData(ctx.ks, handle, drive, smart);
    // The enable above switched SMART on, whether the read worked or not.
    if (stateKnown && !wasEnabled) SmartDisable(ctx.ks, handle, drive);
    if (!read) {
        ctx.log.Line("SMART is not supported by the device.");
        return;
    }
    WriteSmartTable(smart, ctx.log);
}

void RunSmartCommand(ReportContext& ctx, BusySink& busy) {
    busy.SetControlsEnabled(false);
    ReportSmartAttributes(ctx);
    busy.SetControlsEnabled(true);
}

}  // namespace orm
