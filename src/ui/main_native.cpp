// ormandel: the program on this machine's real drives. It takes no command line of its own.
// Its windows always run as the user who started it; as an ordinary user, the drive helper
// opens the drives for it.
#include <unistd.h>

#include <QApplication>

#include "platform/linux/linux_kernel_services.h"
#include "ui/drive_access.h"
#include "ui/fonts.h"
#include "ui/program.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Lets the desktop match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName("com.example.ormandel");
    orm::ui::InstallFonts();
    orm::lnx::LinuxKernelServices ks;
    orm::ui::QtMessageBoxes boxes;
    const int refused = orm::ui::StartDriveAccess(ks, boxes, ::geteuid() == 0, orm::lnx::PkexecPath(),
                                                  orm::lnx::DefaultHelperPath());
    if (refused != 0) return refused;
    return orm::ui::RunProgram(app, ks, &orm::ui::ExitNow);
}
