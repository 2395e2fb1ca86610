// Runs inside the test virtual machine: wipes the given disk with the wipe command exactly as
// the window runs it (confirmation answered Yes, header, WipeDevice with its pump, flush,
// closing), headless, and prints the wipe log and the outcome on standard output:
//
//   <each wipe-log line>
//   outcome clean=0 failed_chunks=N failed_bytes=B flush_failed=0 direct=1 boxes=1 box_caption=...
//
// Exit status: 0 clean wipe, 1 wipe with errors, 2 the disk could not be opened or measured.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "platform/linux/linux_kernel_services.h"
#include "platform/win_layouts.h"
#include "support/choose_by_path.h"
#include "wipe/wipe_command.h"

namespace {

using namespace orm;

class HeadlessWindow : public LineSink,
                       public ProgressSink,
                       public MessagePump,
                       public MessageBoxes,
                       public BusySink,
                       public Regional {
  public:
    void Line(const std::string& text) override { std::printf("%s\n", text.c_str()); }
    void SetPosition(int) override {}
    bool Pump() override { return true; }
    void Show(const std::string&, const std::string& caption, BoxIcon) override {
        ++boxes;
        lastCaption = caption;
    }
    bool Confirm(const std::string&, const std::string&) override { return true; }
    void SetControlsEnabled(bool) override {}
    CivilTime Now() override { return CivilTime{2026, 12, 8, 0, 0, 0}; }
    std::string ShortDate(const CivilTime&) override { return "08.12.2026"; }
    std::string LongTime(const CivilTime&) override { return ""; }
    char DecimalSeparator() override { return '.'; }

    int boxes = 0;
    std::string lastCaption;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: wipe_vm_payload DEVICE\n");
        return 2;
    }
    lnx::LinuxKernelServices ks;
    RunState state;
    std::uint32_t error = 0;
    if (!ChooseDriveByPath(ks, argv[1], state, &error)) {
        std::printf("open %s: error %u: %s\n", argv[1], error, ks.ErrorText(error).c_str());
        return 2;
    }
    const bool direct = ks.IsDirect(state.DeviceHandle);

    HeadlessWindow window;
    WipeContext ctx{ks, state, window, window, window, window, window, window};
    WipeOutcome outcome;
    NoSleepBlock sleep;
    RunWipeCommand(ctx, sleep, &outcome);
    ks.Close(state.DeviceHandle);

    std::printf(
        "outcome clean=%d failed_chunks=%lld failed_bytes=%lld flush_failed=%d direct=%d boxes=%d "
        "box_caption=%s\n",
        outcome.Clean() ? 1 : 0, static_cast<long long>(outcome.failedChunks),
        static_cast<long long>(outcome.failedBytes), outcome.flushFailed ? 1 : 0, direct ? 1 : 0,
        window.boxes, window.lastCaption.c_str());
    std::fflush(stdout);
    return outcome.Clean() ? 0 : 1;
}
