// The entry points that start-up binds from SetupApi.dll, in slot order.
//
// None of them is ever called: binding them only proves that the device-setup library of this
// Windows is complete. Every name is a real export of SetupApi.dll on Windows Vista and later (the
// list is taken from the SDK's import library), so that the binding never fails on a real system.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace orm::windows {

// The functions that come as an ANSI and a wide variant, without their A/W suffix.
std::span<const char* const> SetupApiPairedNames();
// The functions with one name only.
std::span<const char* const> SetupApiSingleNames();

// The slots: for each paired function its ANSI name, its wide name and its ANSI name once more
// (the plain name of an ANSI program), then the single names, one slot each.
const std::vector<std::string>& SetupApiSlots();

}  // namespace orm::windows
