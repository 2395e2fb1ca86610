// ormandel.exe: the program on this machine's physical drives, with native windows.
#include "platform/windows/windows_sdk.h"

#include <commctrl.h>

#include "platform/windows/windows_kernel_services.h"
#include "shell/setup_library.h"
#include "win32ui/fm_choose.h"
#include "win32ui/fm_main.h"
#include "win32ui/win32_sinks.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace orm;
    using namespace orm::win32ui;

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                        ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    windows::WindowsKernelServices ks;
    RunState state;
    Win32Regional regional;
    Win32MessageBoxes boxes;
    Win32FatalSink fatal(boxes);
    SetupApiBinding setup;

    // Created first, the main window is the application's main window; the chooser stays hidden
    // until start-up hands over to it.
    TFmMain main(instance, ShellServices{ks, state, regional, boxes, fatal, setup});
    TFmChoose chooser(instance, main.Window(), ks, state, regional, boxes);
    ks.SetShellOwner(main.Window());

    if (main.FormShow(chooser) == ShowResult::NothingChosen) return 0;
    ShowWindow(main.Window(), SW_SHOW);
    UpdateWindow(main.Window());

    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchWithDialogKeys(main.Window(), msg);
    return 0;
}
