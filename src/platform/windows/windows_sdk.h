// The Windows SDK headers, for every Windows-only file of the program.
//
// The SDK defines the control codes, error codes and access flags as macros, and win_layouts.h
// declares constants of the same names for the portable core. The layouts header is therefore read
// first, before any SDK header can turn its names into numbers; Windows-only code then uses the
// SDK's own macros, which carry the same values (the layout test checks that they do).
#pragma once

#include "platform/win_layouts.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// windows.h first: the others build on its types.
#include <windows.h>

#include <mmsystem.h>
#include <winioctl.h>

#include <ntddscsi.h>
