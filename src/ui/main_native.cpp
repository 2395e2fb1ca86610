// ormandel: the program on this machine's real drives. It takes no command line of its own.
#include <QApplication>

#include "platform/linux/linux_kernel_services.h"
#include "ui/fonts.h"
#include "ui/program.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    orm::ui::InstallFonts();
    orm::lnx::LinuxKernelServices ks;
    return orm::ui::RunProgram(app, ks, &orm::ui::ExitNow);
}
