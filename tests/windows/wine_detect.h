// Whether the tests run under Wine (its ntdll exports wine_get_version; Windows' does not).
#pragma once

#include "platform/windows/windows_sdk.h"

namespace orm::windows::testing {

inline bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace orm::windows::testing
