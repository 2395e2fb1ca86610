#include "wipe/wipe_command.h"

#include <string>

#include "common/date_time.h"
#include "common/product.h"
#include "discovery/size_text.h"

namespace orm {

bool RunWipeCommand(WipeContext& ctx, WipeOutcome* outcome) {
    if (!ctx.boxes.Confirm(kWipeConfirmText, kWipeConfirmCaption)) return false;

    ctx.busy.SetControlsEnabled(false);

    const TDeviceTable& chosen = ctx.state.Chosen();
    LogWipe(ctx.wipeLog, ctx.regional, " ");
    LogWipe(ctx.wipeLog, ctx.regional, std::string(49, '='));
    LogWipe(ctx.wipeLog, ctx.regional, std::string(kProductTitle) + "; " + kMakerWebAddress);
    LogWipe(ctx.wipeLog, ctx.regional, "Wipe: " + DiskName(ctx.state, ctx.regional.DecimalSeparator()));
    LogWipe(ctx.wipeLog, ctx.regional, "Device size: " + GroupDigits(chosen.SectorCount) + " sectors");
    for (const std::string& line : HiddenSectorsLines(ctx.state.HiddenHpaSectors, ctx.state.HiddenDcoSectors))
        LogWipe(ctx.wipeLog, ctx.regional, line);

    const WipeOutcome result = WipeDevice(ctx);
    if (outcome != nullptr) *outcome = result;

    ctx.busy.SetControlsEnabled(true);
    return true;
}

}  // namespace orm
