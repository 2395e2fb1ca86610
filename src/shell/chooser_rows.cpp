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
        // 512 bytes a sector, whatever the drive's sector size: the size the operator knows
        // the drive by.
        SizeText(record.SectorCount * 512, decimalSeparator),
    };
}

}  // namespace orm
