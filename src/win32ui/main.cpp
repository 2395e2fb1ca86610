// ormandel.exe: the program on this machine's physical drives, with native windows.
#include "platform/windows/windows_kernel_services.h"
#include "win32ui/program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    orm::windows::WindowsKernelServices ks;
    return orm::win32ui::RunProgram(instance, ks, &orm::win32ui::ExitNow);
}
