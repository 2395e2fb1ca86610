// The SMART attributes report: the chosen drive's attribute values as a fixed-column table in
// the SMART memo. Thresholds are never read.
#pragma once

#include <cstddef>
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
