#include "shell/chooser_rows.h"

#include "discovery/device_text.h"
#include "discovery/size_text.h"

namespace orm {

std::array<std::string, 6> ChooserRowTexts(const TDeviceTable& record, char decimalSeparator) {
    return {
        BusTypeName(record.BusType),
        TrimText(FieldText(record.Model)),
        FieldText(record.Firmware),
        FieldText(record.SerialNumber),
        std::to_string(record.SectorCount),
        // The bytes the drive holds, in its own sector size: what the wipe covers.
        SizeText(DriveBytes(record), decimalSeparator),
    };
}

bool ContinueWithRow(RunState& state, int row, MessageBoxes& boxes) {
    if (row < 0 || row >= state.DrivesFound) return false;
    const std::int64_t position = row + 1;
    if (state.Record(position).SectorCount < kMinimumSectors) {
        boxes.Show(kTooSmallText, kTooSmallCaption, BoxIcon::Information);
        return false;
    }
    state.DeviceChosen = true;
    state.ChosenIndex = position;
    return true;
}

}  // namespace orm
