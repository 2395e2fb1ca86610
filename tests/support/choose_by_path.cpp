#include "support/choose_by_path.h"

#include "common/sinks.h"
#include "discovery/probe.h"
#include "platform/win_layouts.h"
#include "support/recorders.h"

namespace orm {

bool ChooseDriveByPath(KernelServices& ks, const std::string& path, RunState& state, std::uint32_t* error) {
    using namespace win;
    const Handle probe = ks.Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    if (probe == kInvalidHandle) {
        *error = ks.LastError();
        return false;
    }
    TDeviceTable info{};
    testing::FatalRecorder fatal;
    const IdentifyResult identified = IdentifyDrive(ks, probe, &info, fatal);
    const std::uint32_t identifyError = ks.LastError();
    ks.Close(probe);
    if (identified != IdentifyResult::Accepted) {
        *error = identifyError != 0 ? identifyError : ERROR_GEN_FAILURE;
        return false;
    }

    state = RunState{};
    StoreRecord(state.Record(1), path, info);
    state.DrivesFound = 1;
    state.ChosenIndex = 1;
    state.DeviceChosen = true;

    const Handle handle =
        ks.Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    const std::uint32_t code = ks.LastError();
    if (handle == kInvalidHandle || code != 0) {
        if (handle != kInvalidHandle) ks.Close(handle);
        *error = code != 0 ? code : ERROR_GEN_FAILURE;
        return false;
    }
    state.DeviceHandle = handle;
    *error = 0;
    return true;
}

}  // namespace orm
