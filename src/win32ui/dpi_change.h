// A window moved to a screen of another scale (WM_DPICHANGED, per-monitor awareness) is laid out
// again at that scale.
#pragma once

#include <initializer_list>

#include "platform/windows/windows_sdk.h"

namespace orm::win32ui {

// Scales a window laid out at `fromDpi` to `toDpi`: the window takes the suggested rectangle; every
// child's place and size, the status bar's height and parts and the list views' columns scale by
// toDpi / fromDpi; the pages of a tab control fill its new display area. Each font in `fonts` is
// made again at the new size, given to the controls that used it, and the old one deleted.
void RescaleForDpi(HWND window, int fromDpi, int toDpi, const RECT& suggested,
                   std::initializer_list<HFONT*> fonts);

}  // namespace orm::win32ui
