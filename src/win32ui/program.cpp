#include "win32ui/program.h"

#include "win32ui/common_controls.h"

#include "shell/setup_library.h"
#include "win32ui/execution_state.h"
#include "win32ui/fm_choose.h"
#include "win32ui/fm_main.h"

namespace orm::win32ui {

int RunProgram(HINSTANCE instance, KernelServices& ks, ExitFunction exitProcess) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                        ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    RunState state;
    Win32Regional regional;
    Win32MessageBoxes boxes;
    Win32FatalSink fatal(boxes, std::move(exitProcess));
    SetupApiBinding setup;
    ExecutionStateBlock sleep;

    // Created first, the main window is the application's main window; the chooser stays hidden
    // until start-up hands over to it.
    TFmMain main(instance, ShellServices{ks, state, regional, boxes, fatal, setup, sleep});
    TFmChoose chooser(instance, main.Window(), ks, state, regional, boxes);

    switch (main.FormShow(chooser)) {
        case ShowResult::NothingChosen:
            return 0;
        case ShowResult::Fatal:
            return static_cast<int>(kFatalExitCode);
        case ShowResult::Opened:
            break;
    }
    ShowWindow(main.Window(), SW_SHOW);
    UpdateWindow(main.Window());

    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchWithDialogKeys(main.Window(), msg);
    return 0;
}

}  // namespace orm::win32ui
