#pragma once

#include "platform/linux/linux_kernel_services.h"
#include "platform/sim/demo_platform.h"

namespace orm::ui {

using DemoPlatform = sim::DemoPlatform<lnx::LinuxKernelServices>;

}  // namespace orm::ui
