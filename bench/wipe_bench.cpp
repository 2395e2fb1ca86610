// wipe_bench [--depth N] DEVICE: zero-fills DEVICE with the wipe command exactly as the window runs it
// (confirmation answered Yes, busy state, header, WipeDevice with its message pump, flush,
// closing box), headless, and prints what it took:
//
//   bytes=N seconds=S mb_per_s=R maxrss_before_kib=A maxrss_after_kib=B clean=1 direct=1
//
// maxrss_* are the process's peak resident set before and after the wipe (getrusage), so
// their difference is what the wipe added at its peak. Exit status 0 for a clean wipe, 1 for
// a wipe with errors, 2 when the device cannot be opened or measured.
//
// --depth N keeps at most N writes in flight (1: one write at a time, the wipe before writes
// were queued); without it the wipe keeps as many as the program does.
//
// Run as an ordinary user, it opens the device through the drive helper (started with pkexec),
// as the program does, and writes on the descriptor the helper hands over.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "platform/linux/linux_kernel_services.h"
#include "platform/win_layouts.h"
#include "shell/helper_start_text.h"
#include "support/choose_by_path.h"
#include "wipe/wipe_command.h"

namespace {

using namespace orm;

// The window's part, without a window: the pump has no events to dispatch and reports the
// handle open; lines go to standard error so the run leaves its log behind.
class HeadlessWindow : public LineSink,
                       public ProgressSink,
                       public MessagePump,
                       public MessageBoxes,
                       public BusySink,
                       public Regional {
  public:
    void Line(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void SetPosition(int percent) override { m_percent = percent; }
    bool Pump() override {
        ++m_pumps;
        return true;
    }
    void Show(const std::string&, const std::string&, BoxIcon) override {}
    bool Confirm(const std::string&, const std::string&) override { return true; }
    void SetControlsEnabled(bool) override {}
    CivilTime Now() override { return CivilTime{}; }
    std::string ShortDate(const CivilTime&) override { return "bench"; }
    std::string LongTime(const CivilTime&) override { return ""; }
    char DecimalSeparator() override { return '.'; }

  private:
    int m_percent = 0;
    long m_pumps = 0;
};

long MaxRssKib() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint32_t depth = 0;
    if (argc == 4 && std::strcmp(argv[1], "--depth") == 0) {
        depth = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
        argv += 2;
        argc -= 2;
    }
    if (argc != 2 || (depth == 0 && argv[0] != nullptr && std::strcmp(argv[1], "--depth") == 0)) {
        std::fprintf(stderr, "usage: wipe_bench [--depth N] DEVICE\n");
        return 2;
    }
    lnx::LinuxKernelServices ks;
    if (depth != 0) ks.LimitWriteQueue(depth);
    const orm::HelperStartResult started = lnx::StartHelperUnlessRoot(ks);
    if (!orm::HelperStartOk(started)) {
        std::fprintf(stderr, "%s\n", orm::HelperStartText(started).c_str());
        return 2;
    }
    RunState state;
    std::uint32_t error = 0;
    if (!ChooseDriveByPath(ks, argv[1], state, &error)) {
        std::fprintf(stderr, "open %s: error %u: %s\n", argv[1], error, ks.ErrorText(error).c_str());
        return 2;
    }

    HeadlessWindow window;
    WipeContext ctx{ks, state, window, window, window, window, window, window};
    WipeOutcome outcome;
    const long rssBefore = MaxRssKib();
    const auto start = std::chrono::steady_clock::now();
    NoSleepBlock sleep;
    RunWipeCommand(ctx, sleep, &outcome);
    const auto stop = std::chrono::steady_clock::now();
    const long rssAfter = MaxRssKib();
    const bool direct = ks.IsDirect(state.DeviceHandle);
    ks.Close(state.DeviceHandle);

    const double seconds = std::chrono::duration<double>(stop - start).count();
    std::printf(
        "bytes=%lld seconds=%.3f mb_per_s=%.1f maxrss_before_kib=%ld maxrss_after_kib=%ld clean=%d "
        "direct=%d\n",
        static_cast<long long>(outcome.total), seconds, static_cast<double>(outcome.total) / seconds / 1e6,
        rssBefore, rssAfter, outcome.Clean() ? 1 : 0, direct ? 1 : 0);
    return outcome.Clean() ? 0 : 1;
}
