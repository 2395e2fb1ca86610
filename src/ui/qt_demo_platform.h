// The Qt demo's platform: simulated drives on this Linux machine's clocks, pauses and web opener.
#pragma once

#include "platform/linux/linux_kernel_services.h"
#include "platform/sim/demo_drives.h"

namespace orm::ui {

using DemoPlatform = sim::DemoDrives<lnx::LinuxKernelServices>;

}  // namespace orm::ui
