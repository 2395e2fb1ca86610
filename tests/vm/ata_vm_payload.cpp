// Runs inside the test virtual machine: probes the drives the way start-up does, then, for each
// disk named on the command line (every probed disk when none is named), chooses it, opens it for reading and
// writing as the main window does, and writes both reports to standard output, each line behind a tag:
//
//   == /dev/sda
//   D|<details report line>
//   S|<SMART report line>
//   smart-after /dev/sda on|off
//
// The last line says whether SMART READ DATA still works right after the report without a
// SMART ENABLE OPERATIONS of its own, i.e. whether the report left SMART switched on.
// Exit status: 0 all reports written, 1 a disk was not found or not opened, 2 the probe failed.
#include <cstdio>
#include <string>
#include <vector>

#include "ata/ata_commands.h"
#include "common/sinks.h"
#include "discovery/probe.h"
#include "platform/linux/linux_kernel_services.h"
#include "platform/win_layouts.h"
#include "reports/device_details_report.h"
#include "reports/smart_report.h"

namespace {

using namespace orm;

class TaggedLines : public LineSink {
  public:
    explicit TaggedLines(const char* tag) : m_tag(tag) {}
    void Line(const std::string& text) override { std::printf("%s|%s\n", m_tag, text.c_str()); }

  private:
    const char* m_tag;
};

class Headless : public FatalSink, public BusySink, public Regional {
  public:
    void Fatal(const std::string& text, const std::string& caption) override {
        std::printf("fatal %s: %s\n", caption.c_str(), text.c_str());
    }
    void SetControlsEnabled(bool) override {}
    CivilTime Now() override { return CivilTime{2026, 12, 8, 1, 23, 45}; }
    std::string ShortDate(const CivilTime&) override { return "08.12.2026"; }
    std::string LongTime(const CivilTime&) override { return "01:23:45"; }
    char DecimalSeparator() override { return '.'; }
};

}  // namespace

int main(int argc, char** argv) {
    lnx::LinuxKernelServices ks;
    Headless window;
    RunState state;
    if (!ProbeDrives(ks, state, window)) return 2;
    for (std::int64_t i = 1; i <= state.DrivesFound; ++i) {
        const TDeviceTable& r = state.Record(i);
        std::printf("probe %s bus=%lld drive=%u sectors=%lld\n", r.DevicePath.c_str(),
                    static_cast<long long>(r.BusType), static_cast<unsigned>(r.DriveNumber),
                    static_cast<long long>(r.SectorCount));
    }

    std::vector<std::string> paths(argv + 1, argv + argc);
    if (paths.empty()) {
        for (std::int64_t i = 1; i <= state.DrivesFound; ++i) paths.push_back(state.Record(i).DevicePath);
    }
    int status = 0;
    for (const std::string& path : paths) {
        std::printf("== %s\n", path.c_str());
        state.ChosenIndex = 0;
        for (std::int64_t i = 1; i <= state.DrivesFound; ++i) {
            if (state.Record(i).DevicePath == path) state.ChosenIndex = i;
        }
        if (state.ChosenIndex == 0) {
            std::printf("not probed: %s\n", path.c_str());
            status = 1;
            continue;
        }
        state.DeviceChosen = true;
        state.DeviceHandle = ks.Open(path, win::GENERIC_READ | win::GENERIC_WRITE,
                                     win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
        if (state.DeviceHandle == kInvalidHandle || ks.LastError() != 0) {
            std::printf("open %s: error %u\n", path.c_str(), ks.LastError());
            status = 1;
            continue;
        }

        TaggedLines details("D");
        ReportContext detailsContext{ks, state, window, details};
        ReportDeviceDetails(detailsContext);

        TaggedLines smart("S");
        ReportContext smartContext{ks, state, window, smart};
        RunSmartCommand(smartContext, window);

        AtaBlock after{};
        const bool stillOn = SmartReadData(ks, state.DeviceHandle, state.Chosen().DriveNumber, after);
        std::printf("smart-after %s %s\n", path.c_str(), stillOn ? "on" : "off");

        ks.Close(state.DeviceHandle);
        state.DeviceHandle = kNoHandle;
    }
    return status;
}
