// The size and number texts every screen shares.
#pragma once

#include <cstdint>
#include <string>

#include "discovery/device_table.h"

namespace orm {

// A byte count in decimal units: "bytes" below 99,999, then "Kbytes" (1,000), "Mbytes" and
// "Gbytes", with at most two decimals that are cut, never rounded (1,048,576 gives
// "1048.57 Kbytes"), no trailing zeros and no separator for a whole number.
std::string SizeText(std::int64_t bytes, char decimalSeparator);

// Decimal digits with a comma before every group of three from the right, from five digits on:
// 1234 stays "1234", 12345 gives "12,345". A negative value gets its sign before the groups.
std::string GroupDigits(std::int64_t value);

// The size of a drive in bytes wherever one is shown: SectorCount x BytesPerSector, the bytes
// the wipe covers. 0 for a record without sectors or sector size; the largest value instead of
// an overflow for a nonsense record.
std::int64_t DriveBytes(const TDeviceTable& record);

// The one-line name of the chosen drive: trimmed model, four blanks, trimmed firmware, four
// blanks, and the drive's size (DriveBytes) in square brackets. Empty when ChosenIndex names no
// record of the table.
std::string DiskName(const RunState& state, char decimalSeparator);

}  // namespace orm
