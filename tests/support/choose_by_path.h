// Choosing a drive by its device name, without the chooser: for headless runs of the program's
// commands (the benchmark, device tests, the virtual-machine payloads).
#pragma once

#include <cstdint>
#include <string>

#include "discovery/device_table.h"
#include "platform/kernel_services.h"

namespace orm {

// Identifies the drive at `path` through its own answers, as the probe does, makes it record 1
// and the chosen drive of `state`, and opens it for reading and writing into DeviceHandle, as the
// main window does. False, with the Windows error code in *error (ERROR_GEN_FAILURE when the
// identification refused the drive), when the drive cannot be identified or opened; DeviceHandle
// then stays kNoHandle.
bool ChooseDriveByPath(KernelServices& ks, const std::string& path, RunState& state, std::uint32_t* error);

}  // namespace orm
