// The start-up checks that need no window: platform family, performance-counter frequency and
// its range, and the binding of the device-setup library. Each failing check reports its text
// and caption to the fatal sink and answers false; the caller then stops at once.
#pragma once

#include <cstdint>

#include "common/sinks.h"
#include "platform/kernel_services.h"
#include "shell/setup_library.h"

namespace orm {

// The lowest and highest performance-counter frequencies the timer self-test can work with,
// ticks per second, both allowed.
inline constexpr std::int64_t kMinCounterFrequency = 1'000'000;
inline constexpr std::int64_t kMaxCounterFrequency = 4'000'000'000;

// The platform must be of the NT family (platform id 2).
bool CheckPlatformFamily(KernelServices& ks, FatalSink& fatal);

// Reads the counter's frequency into *frequency, untested; a failing read is fatal.
bool ReadPerformanceFrequency(KernelServices& ks, FatalSink& fatal, std::int64_t* frequency);

bool CheckFrequencyRange(std::int64_t frequency, FatalSink& fatal);

// Binds the device-setup library unless it is bound already.
bool BindSetupLibrary(KernelServices& ks, SetupApiBinding& binding, FatalSink& fatal);

}  // namespace orm
