#include "shell/open_device.h"

#include <string>
#include <vector>

#include "common/error_text.h"
#include "discovery/probe.h"
#include "discovery/size_text.h"
#include "platform/win_layouts.h"
#include "reports/device_details_report.h"

namespace orm {

namespace {

// "its model and serial number differ", or why the drive is not known at all.
std::string ChangesText(const DriveChanges& changes) {
    if (!changes.identified) return "the drive now under its name cannot be identified.";
    std::vector<std::string> names;
    if (changes.model) names.push_back("model");
    if (changes.serialNumber) names.push_back("serial number");
    if (changes.sectorSize) names.push_back("sector size");
    if (changes.sectorCount) names.push_back("sector count");
    std::string text = "its ";
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text + (names.size() == 1 ? " differs." : " differ.");
}

}  // namespace

bool OpenChosenDevice(KernelServices& ks, RunState& state, OpenDeviceView& view, LineSink& detailsLog,
                      Regional& regional, FatalSink& fatal) {
    const std::string name = DiskName(state, regional.DecimalSeparator());
    view.SetDiskName(name);

    const Handle handle = ks.Open(state.Chosen().DevicePath, win::GENERIC_READ | win::GENERIC_WRITE,
                                  win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
    // Read right after the call, whatever it returned: a valid handle with an error set is a
    // failed open as well.
    const std::uint32_t code = ks.LastError();
    if (handle == kInvalidHandle || code != 0) {
        if (handle != kInvalidHandle && handle != kNoHandle) ks.Close(handle);
        fatal.Fatal(kOpenErrorText + SystemErrorText(ks, code), "Error");
        return false;
    }
    const DriveChanges changes = CompareWithRecord(ks, handle, state.Chosen());
    if (changes.Any()) {
        ks.Close(handle);
        fatal.Fatal(
            kDriveChangedText + ChangesText(changes) + " Start the program again to see the current list.",
            "Error");
        return false;
    }
    state.DeviceHandle = handle;

    view.SetStatusPanel1(name);
    ReportContext report{ks, state, regional, detailsLog};
    const HiddenSectors hidden = ReportDeviceDetails(report);
    state.HiddenHpaSectors = hidden.hpa.value_or(0);
    state.HiddenDcoSectors = hidden.dco.value_or(0);
    return true;
}

void CloseDevice(KernelServices& ks, RunState& state) {
    if (state.DeviceHandle == kNoHandle || state.DeviceHandle == kInvalidHandle) return;
    ks.Close(state.DeviceHandle);
    state.DeviceHandle = kNoHandle;
}

}  // namespace orm
