#pragma once

#include "platform/sim/demo_platform.h"
#include "platform/windows/windows_kernel_services.h"

namespace orm::win32ui {

using DemoPlatform = sim::DemoPlatform<windows::WindowsKernelServices>;

}  // namespace orm::win32ui
