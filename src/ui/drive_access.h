// Before any window: started as an ordinary user, the program reaches the drives through its
// helper, which pkexec starts once the user has authenticated. Started as root it needs none.
#pragma once

#include <string>

#include "common/sinks.h"
#include "platform/linux/linux_kernel_services.h"

namespace orm::ui {

// 0 when the drives can be reached (as root, or with the helper running); else, after one error
// box saying why, the non-zero exit code the program ends with. Nothing is touched either way.
int StartDriveAccess(lnx::LinuxKernelServices& ks, MessageBoxes& boxes, bool asRoot,
                     const std::string& pkexec, const std::string& helperPath);

}  // namespace orm::ui
