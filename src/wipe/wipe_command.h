// The WIPE THIS DEVICE command: confirmation, busy state, the wipe log's header, the wipe.
#pragma once

#include "wipe/wipe_context.h"
#include "wipe/wipe_device.h"

namespace orm {

inline constexpr const char* kWipeConfirmText =
    "ARE YOU ABSOLUTELY SURE YOU WANT TO DESTROY ALL DATA ON THE DRIVE?";
inline constexpr const char* kWipeConfirmCaption = "Confirm";

// The core of btRunBenchmarksClick. Only a Yes to the confirmation goes on; any other answer
// returns at once with nothing logged, shown or written. Otherwise: busy state on, the five
// header lines (and the hidden-sectors line of a drive that hides some), WipeDevice, and the busy state off
// once its closing box has been dismissed. Returns whether a wipe ran, and its outcome through `outcome` when
// given.
bool RunWipeCommand(WipeContext& ctx, WipeOutcome* outcome = nullptr);

}  // namespace orm
