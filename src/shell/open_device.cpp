#include "shell/open_device.h"

#include "discovery/size_text.h"
#include "reports/device_details_report.h"
#include "shell/error_text.h"

namespace orm {

bool OpenChosenDevice(KernelServices& ks, RunState& state, OpenDeviceView& view, LineSink& detailsLog,
                      Regional& regional, FatalSink& fatal) {
    const std::string name = DiskName(state, regional.DecimalSeparator());
    view.SetDiskName(name);

    const Handle handle =
        ks.Open(state.Chosen().DevicePath, kGenericRead | kGenericWrite, kShareReadWrite, kOpenExisting, 0);
    // Read right after the call, whatever it returned: a valid handle with an error set is a
    // failed open as well.
    const std::uint32_t code = ks.LastError();
    if (handle == kInvalidHandle || code != 0) {
        if (handle != kInvalidHandle && handle != kNoHandle) ks.Close(handle);
        fatal.Fatal(kOpenErrorText + SystemErrorText(ks, code), "Error");
        return false;
    }
    state.DeviceHandle = handle;

    view.SetStatusPanel1(name);
    ReportContext report{ks, state, regional, detailsLog};
    ReportDeviceDetails(report);
    return true;
}

void CloseDevice(KernelServices& ks, RunState& state) {
    if (state.DeviceHandle == kNoHandle || state.DeviceHandle == kInvalidHandle) return;
    ks.Close(state.DeviceHandle);
    state.DeviceHandle = kNoHandle;
}

}  // namespace orm
