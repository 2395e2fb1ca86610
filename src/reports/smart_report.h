// The SMART attributes report: the chosen drive's attribute values as a fixed-column table in
// the SMART memo. Thresholds are never read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "ata/ata_commands.h"
#include "reports/report_context.h"

namespace orm {

// The column header and the rule under it.
inline constexpr const char* kSmartColumnHeader =
    "          Attribute                      Current   Worst    Raw       Note";
inline constexpr std::size_t kSmartRuleWidth = 82;

// At most thirty 12-byte attribute entries, from block offset 2.
inline constexpr int kSmartEntries = 30;
inline constexpr std::size_t kSmartEntryOffset = 2;
inline constexpr std::size_t kSmartEntrySize = 12;
inline constexpr std::uint8_t kTemperatureAttribute = 194;

// The drive's SMART state as an IDENTIFY block tells it: word 85 bit 0, trusted only when the
// drive claims the SMART feature set (word 82 bit 0) and says words 85 to 87 are valid (word 87
// bits 15:14 = 01). No value when the block does not say: a driver may complete the call and
// hand back zeroes, and reading those as "off" would switch monitoring off on a drive that had it on.
std::optional<bool> SmartStateFromIdentify(const AtaBlock& identify);

// Appends one complete report. The drive's SMART state is left as it was found: the report
// learns it from IDENTIFY first and disables SMART again afterwards only when it was off.
void ReportSmartAttributes(ReportContext& ctx);

// The SMART button: busy state on, the report, busy state off.
void RunSmartCommand(ReportContext& ctx, BusySink& busy);

// The table part of the report for a SMART READ DATA block: column header, rule, one line per
// entry up to the first id 0, and the closing blank line.
void WriteSmartTable(const AtaBlock& smart, LineSink& log);

// The line of attribute entry `index` (0 to 29) of the block, whose id is not 0; empty for an
// index outside the table.
std::string SmartAttributeLine(const AtaBlock& smart, int index);

}  // namespace orm
