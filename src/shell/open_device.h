// The chosen drive, opened for reading and writing once the chooser has ended, and closed with
// the main window.
#pragma once

#include <string>

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "platform/kernel_services.h"

namespace orm {

inline constexpr const char* kOpenErrorText = "Error opening device: ";
inline constexpr const char* kDriveChangedText = "The drive has changed since the list was made: ";

// What opening the drive shows in the main window.
class OpenDeviceView {
  public:
    virtual ~OpenDeviceView() = default;
    virtual void SetDiskName(const std::string& text) = 0;
    virtual void SetStatusPanel1(const std::string& text) = 0;
};

// Puts the disk name into the label, opens the chosen record's device into DeviceHandle and,
// only when that worked, fills status panel 1 and writes the details report into `detailsLog`,
// keeping the hidden sectors the report found in `state` for the wipe.
// A failed open (invalid handle, or any last error besides 0) is reported once through `fatal`
// and gives false; DeviceHandle then stays kNoHandle.
//
// The opened drive is identified again before it is used: a drive whose model, serial number,
// sector size or sector count is not the chosen record's (or that cannot be identified) is
// another drive under the same name, plugged in since the list was made. Its handle is closed
// and that is reported through `fatal` like a failed open.
bool OpenChosenDevice(KernelServices& ks, RunState& state, OpenDeviceView& view, LineSink& detailsLog,
                      Regional& regional, FatalSink& fatal);

// Closes DeviceHandle when one is open (the result is ignored) and forgets it, so that nothing
// uses the handle after it is closed.
void CloseDevice(KernelServices& ks, RunState& state);

}  // namespace orm
