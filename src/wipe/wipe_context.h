// Everything a wipe reaches: the platform, the run's state (the chosen record and DeviceHandle)
// and the window's sinks. The window (or a headless caller) owns all of them; a wipe only
// borrows them for its run on the window thread.
#pragma once

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "platform/kernel_services.h"

namespace orm {

struct WipeContext {
    KernelServices& ks;
    RunState& state;
    Regional& regional;
    LineSink& wipeLog;  // raw lines of the wipe log; the wipe adds the time stamps itself
    ProgressSink& progress;
    MessagePump& pump;
    MessageBoxes& boxes;
    BusySink& busy;
};

}  // namespace orm
