// The whole program on one platform: both native windows, the start-up sequence, the chooser,
// the main window and its message loop. Shared by ormandel.exe and the demo.
#pragma once

#include "platform/kernel_services.h"
#include "platform/windows/windows_sdk.h"
#include "win32ui/win32_sinks.h"

namespace orm::win32ui {

// Returns the process's exit code: 0 after the main window was closed or when the chooser was
// closed without a choice. A fatal error goes through `exitProcess`; where that returns (never in
// the programs), the answer is kFatalExitCode.
int RunProgram(HINSTANCE instance, KernelServices& ks, ExitFunction exitProcess);

}  // namespace orm::win32ui
