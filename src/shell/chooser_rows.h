// The texts of one chooser row, from one record of the device table.
#pragma once

#include <array>
#include <string>

#include "discovery/device_table.h"

namespace orm {

// BUS, MODEL (trimmed), FIRMWARE and SERIAL NUMBER (as the record holds them), LBA (plain
// decimal), SIZE (sector count x 512, whatever the drive's sector size).
std::array<std::string, 6> ChooserRowTexts(const TDeviceTable& record, char decimalSeparator);

}  // namespace orm
