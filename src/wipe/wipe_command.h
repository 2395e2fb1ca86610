// The WIPE THIS DEVICE command: confirmation, the block on sleep, busy state, the wipe log's
// header, the wipe.
#pragma once

#include "wipe/sleep_block.h"
#include "wipe/wipe_context.h"
#include "wipe/wipe_device.h"

namespace orm {

inline constexpr const char* kWipeConfirmText =
    "ARE YOU ABSOLUTELY SURE YOU WANT TO DESTROY ALL DATA ON THE DRIVE?";
inline constexpr const char* kWipeConfirmCaption = "Confirm";

// The core of btRunBenchmarksClick. Only a Yes to the confirmation goes on; any other answer
// returns at once with nothing logged, shown or written. Otherwise: `sleep` held, busy state on,
// the five header lines (and the hidden-sectors line of a drive that hides some), the zero fill,
// `sleep` released, the closing box, and the busy state off once that box has been dismissed.
// Returns whether a wipe ran, and its outcome through `outcome` when given.
bool RunWipeCommand(WipeContext& ctx, SleepBlocker& sleep, WipeOutcome* outcome = nullptr);

}  // namespace orm
