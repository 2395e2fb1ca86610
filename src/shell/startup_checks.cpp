#include "shell/startup_checks.h"

namespace orm {

namespace {
constexpr int kPlatformNt = 2;
}

bool CheckPlatformFamily(KernelServices& ks, FatalSink& fatal) {
    if (ks.PlatformId() == kPlatformNt) return true;
    fatal.Fatal("Only Windows 2000SP4/2003/XP supported", "Error");
    return false;
}

bool ReadPerformanceFrequency(KernelServices& ks, FatalSink& fatal, std::int64_t* frequency) {
    std::int64_t value = 0;
    if (!ks.Frequency(&value)) {
        fatal.Fatal("Timer error", "Timer");
        return false;
    }
    *frequency = value;
    return true;
}

bool CheckFrequencyRange(std::int64_t frequency, FatalSink& fatal) {
    if (frequency < kMinCounterFrequency || frequency > kMaxCounterFrequency) {
        fatal.Fatal("Unknown error.", "Timer");
        return false;
    }
    return true;
}

bool BindSetupLibrary(KernelServices& ks, SetupApiBinding& binding, FatalSink& fatal) {
    if (!binding.IsSetupApiLoaded()) binding.LoadSetupApi(ks);
    if (binding.IsSetupApiLoaded()) return true;
    fatal.Fatal("Error #01704", "Error");
    return false;
}

}  // namespace orm
