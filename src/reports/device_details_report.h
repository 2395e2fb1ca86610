// The device details report: the chosen drive's IDENTIFY DEVICE data as text in the details memo.
#pragma once

#include "ata/ide_passport.h"
#include "reports/report_context.h"

namespace orm {

// Runs once, when the chosen drive has been opened. Appends the header, then either a refusal
// (a drive not on an ATA bus: nothing is sent to it), the two internal-error lines (IDENTIFY
// failed) or the decoded details.
void ReportDeviceDetails(ReportContext& ctx);

// The lines of the report behind a successful IDENTIFY, from "Model: " to the queuing lines.
void WriteIdentifyDetails(const T_IDE_PASSPORT& r, char decimalSeparator, LineSink& log);

}  // namespace orm
