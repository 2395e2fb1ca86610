// ormandel-probe: runs the start-up drive probe and prints the drives as the chooser lists them.
// Read-only: drives are opened for reading and only asked the probe's queries.
//
//   ormandel-probe                       the machine's own drives
//   ormandel-probe --sim FILE.json       simulated drives described by FILE.json
//
// Run as an ordinary user on Linux, the real drives are opened through the drive helper, which
// pkexec starts after asking for an administrator's password in the terminal.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "discovery/probe.h"
#include "discovery/size_text.h"
#include "platform/sim/sim_platform.h"

#if defined(ORMANDEL_HAVE_NATIVE)
#if defined(_WIN32)
#include "platform/windows/windows_kernel_services.h"
#else
#include "platform/linux/linux_kernel_services.h"
#include "shell/helper_start_text.h"
#endif
#endif

namespace {

class PrintingFatal : public orm::FatalSink {
  public:
    void Fatal(const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        reported = true;
    }
    bool reported = false;
};

void Usage() {
    std::fprintf(stderr,
                 "usage: ormandel-probe [--sim FILE.json]\n"
                 "  Lists the drives the start-up probe accepts, as the drive chooser shows them.\n"
                 "  --sim FILE.json  probe simulated drives described by FILE.json instead\n"
#if defined(ORMANDEL_HAVE_NATIVE) && !defined(_WIN32)
                 "Run as an ordinary user, it opens the real drives through ormandel-helper, started\n"
                 "with pkexec, which asks for an administrator's password in the terminal once.\n"
                 "As root, or with --sim, no helper is needed.\n"
#endif
    );
}

std::unique_ptr<orm::KernelServices> NativeServices() {
#if defined(ORMANDEL_HAVE_NATIVE)
#if defined(_WIN32)
    return std::make_unique<orm::windows::WindowsKernelServices>();
#else
    auto ks = std::make_unique<orm::lnx::LinuxKernelServices>();
    const orm::HelperStartResult started = orm::lnx::StartHelperUnlessRoot(*ks);
    if (!orm::HelperStartOk(started)) {
        std::fprintf(stderr, "%s: %s\n", orm::kHelperStartCaption, orm::HelperStartText(started).c_str());
        return nullptr;
    }
    return ks;
#endif
#else
    return nullptr;
#endif
}

char RegionalDecimalSeparator() {
    std::setlocale(LC_NUMERIC, "");
    const char* point = std::localeconv()->decimal_point;
    return (point != nullptr && point[0] != '\0') ? point[0] : '.';
}

// Pads or keeps a column text; a longer text is shown whole, never cut.
std::string Column(const std::string& text, std::size_t width) {
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

void PrintTable(const orm::RunState& state, char decimalSeparator) {
    std::printf("%s%s%s%s%s%s%s%s\n", Column("#", 4).c_str(), Column("DEVICE", 24).c_str(),
                Column("BUS", 10).c_str(), Column("MODEL", 26).c_str(), Column("FIRMWARE", 10).c_str(),
                Column("SERIAL NUMBER", 22).c_str(), Column("LBA", 14).c_str(), "SIZE");
    for (std::int64_t k = 1; k <= state.DrivesFound; ++k) {
        const orm::TDeviceTable& r = state.Record(k);
        std::printf("%s%s%s%s%s%s%s%s\n", Column(std::to_string(k), 4).c_str(),
                    Column(r.DevicePath, 24).c_str(), Column(orm::BusTypeName(r.BusType), 10).c_str(),
                    Column(orm::TrimText(orm::FieldText(r.Model)), 26).c_str(),
                    Column(orm::FieldText(r.Firmware), 10).c_str(),
                    Column(orm::FieldText(r.SerialNumber), 22).c_str(),
                    Column(std::to_string(r.SectorCount), 14).c_str(),
                    orm::SizeText(orm::DriveBytes(r), decimalSeparator).c_str());
    }
    std::printf("Disks found: %lld\n", static_cast<long long>(state.DrivesFound));
}

}  // namespace

int main(int argc, char** argv) {
    std::string simFile;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sim") == 0 && i + 1 < argc) {
            simFile = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage();
            return 0;
        } else {
            Usage();
            return 2;
        }
    }

    std::unique_ptr<orm::KernelServices> ks;
    if (!simFile.empty()) {
        auto sim = std::make_unique<orm::sim::SimPlatform>();
        std::string error;
        // Image-backed drives are never written here, so their files need not exist.
        if (!orm::sim::LoadDrivesFromJson(*sim, simFile, ".", &error)) {
            std::fprintf(stderr, "ormandel-probe: %s\n", error.c_str());
            return 1;
        }
        ks = std::move(sim);
    } else {
        ks = NativeServices();
        if (!ks) {
#if !defined(ORMANDEL_HAVE_NATIVE)
            std::fprintf(stderr,
                         "ormandel-probe: this build has no native drive access; use --sim FILE.json\n");
#endif
            return 1;
        }
    }

    orm::RunState state;
    PrintingFatal fatal;
    if (!orm::ProbeDrives(*ks, state, fatal)) return 1;
    PrintTable(state, RegionalDecimalSeparator());
    return 0;
}
