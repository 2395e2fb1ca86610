// The device details report: the chosen drive's IDENTIFY DEVICE data as text in the details memo.
#pragma once

#include "ata/hidden_sectors.h"
#include "ata/ide_passport.h"
#include "reports/report_context.h"

namespace orm {

// Runs once, when the chosen drive has been opened. Appends the header, then either a refusal
// (a drive not on an ATA bus: nothing is sent to it), the two internal-error lines (IDENTIFY
// failed) or the decoded details. Behind a successful IDENTIFY it also asks the drive for the
// sectors it hides (read-only commands, see DetectHiddenSectors) and returns what it found.
HiddenSectors ReportDeviceDetails(ReportContext& ctx);

// The lines of the report behind a successful IDENTIFY, from "Model: " to the queuing lines.
// Hidden sectors get a line each behind the HPA line, only where some were found.
void WriteIdentifyDetails(const T_IDE_PASSPORT& r, char decimalSeparator, LineSink& log,
                          const HiddenSectors& hidden = {});

}  // namespace orm
