// The whole program on one platform: both windows, the start-up sequence, the chooser, the
// main window and its message loop. Shared by the real program and the demo.
#pragma once

#include <functional>

#include "platform/kernel_services.h"
#include "ui/qt_sinks.h"

class QApplication;

namespace orm::ui {

class TFmMain;

// Called with the main window once it is shown and the message loop is about to run (tests
// drive the window from here).
using MainShownHook = std::function<void(TFmMain&)>;

// Returns the process's exit code: 0 after the main window was closed or when the chooser was
// closed without a choice. A fatal error goes through `exitProcess` and does not come back here
// in the real program; where it does (tests), the answer is kFatalExitCode.
int RunProgram(QApplication& app, KernelServices& ks, ExitFunction exitProcess, MainShownHook onShown = {});

// Ends the process at once: no close handler, no destructor, no further message.
[[noreturn]] void ExitNow(int exitCode);

}  // namespace orm::ui
