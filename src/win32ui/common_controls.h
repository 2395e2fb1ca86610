// The common controls (list view, tab control, status bar, progress bar) on top of the SDK headers.
#pragma once

#include "platform/windows/windows_sdk.h"

// After windows.h, whose types it uses.
#include <commctrl.h>
