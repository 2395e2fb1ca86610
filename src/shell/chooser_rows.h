// The texts of one chooser row, from one record of the device table.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/sinks.h"
#include "discovery/device_table.h"

namespace orm {

// A drive below this many sectors cannot be chosen.
inline constexpr std::int64_t kMinimumSectors = 65535;
inline constexpr const char* kTooSmallText =
    "This device cannot be accessed because it is smaller than 65535 sectors.  ";
inline constexpr const char* kTooSmallCaption = "Cannot access this device";

// BUS, MODEL (trimmed), FIRMWARE and SERIAL NUMBER (as the record holds them), LBA (plain
// decimal), SIZE (sector count x the drive's sector size, DriveBytes).
std::array<std::string, 6> ChooserRowTexts(const TDeviceTable& record, char decimalSeparator);

// Continue on the chooser's row `row` (counted from 0; -1 when none is selected). A drive below
// kMinimumSectors is refused with the information box and nothing changes; otherwise the choice
// is recorded (DeviceChosen, ChosenIndex = row + 1). True when the chooser may close.
bool ContinueWithRow(RunState& state, int row, MessageBoxes& boxes);

}  // namespace orm
