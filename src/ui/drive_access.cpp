#include "ui/drive_access.h"

#include "ui/qt_sinks.h"

namespace orm::ui {

int StartDriveAccess(lnx::LinuxKernelServices& ks, MessageBoxes& boxes, bool asRoot,
                     const std::string& pkexec, const std::string& helperPath) {
    if (asRoot) return 0;
    const lnx::HelperStartResult started = ks.StartHelper(pkexec, helperPath);
    if (lnx::HelperStartOk(started)) return 0;
    boxes.Show(lnx::HelperStartText(started), lnx::kHelperStartCaption, BoxIcon::Error);
    return kFatalExitCode;
}

}  // namespace orm::ui
