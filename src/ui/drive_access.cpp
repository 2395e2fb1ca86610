#include "ui/drive_access.h"

#include "shell/helper_start_text.h"
#include "ui/qt_sinks.h"

namespace orm::ui {

int StartDriveAccess(lnx::LinuxKernelServices& ks, MessageBoxes& boxes, bool asRoot,
                     const std::string& pkexec, const std::string& helperPath) {
    if (asRoot) return 0;
    const orm::HelperStartResult started = ks.StartHelper(pkexec, helperPath);
    if (orm::HelperStartOk(started)) return 0;
    boxes.Show(orm::HelperStartText(started), orm::kHelperStartCaption, BoxIcon::Error);
    return kFatalExitCode;
}

}  // namespace orm::ui
