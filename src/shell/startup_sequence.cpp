#include "shell/startup_sequence.h"

#include "common/date_time.h"
#include "common/product.h"
#include "discovery/probe.h"
#include "shell/setup_library.h"
#include "shell/startup_checks.h"
#include "shell/timer_self_test.h"

namespace orm {

LogoPlace PlaceLogoInBand(int bandWidth, int bandHeight) {
    constexpr int kLogoSize = 32;
    constexpr int kRightInset = 50;
    return LogoPlace{bandWidth - kRightInset, (bandHeight - kLogoSize) / 2, kLogoSize, kLogoSize};
}

bool StartupChecks(StartupContext& ctx) {
    KernelServices& ks = ctx.ks;
    FatalSink& fatal = ctx.fatal;

    ctx.view.PlaceLogos();
    ctx.state.DrivesFound = 0;

    if (!CheckPlatformFamily(ks, fatal)) return false;
    ks.Sleep(kPauseBeforeFrequencyMs);

    std::int64_t frequency = 0;
    if (!ReadPerformanceFrequency(ks, fatal, &frequency)) return false;
    const double ticksPerMicrosecond = static_cast<double>(frequency) / 1'000'000.0;
    if (!CheckFrequencyRange(frequency, fatal)) return false;
    ks.Sleep(kPauseBeforeSelfTestMs);

    bool passed = false;
    for (int attempt = 0; attempt < kSelfTestTries && !passed; ++attempt) {
        const TimerTry result = TimerSelfTest(ks, ticksPerMicrosecond, fatal);
        if (result == TimerTry::Fatal) return false;
        passed = result == TimerTry::Passed;
    }
    if (!passed) {
        fatal.Fatal("Unknown error.", "Timer");
        return false;
    }
    ks.Sleep(kPauseAfterSelfTestMs);

    ctx.view.SetTitles(kProductTitle);
    ctx.view.SetCopyrightLines(kCopyrightLine, std::string(kCopyrightLine) + "   " + kMakerWebAddress);

    if (!BindSetupLibrary(ks, ctx.setup, fatal)) return false;

    if (!ProbeDrives(ks, ctx.state, fatal)) return false;
    ctx.view.SetChooserStatus(kDisksFoundText + std::to_string(ctx.state.DrivesFound));

    LogWipe(ctx.wipeLog, ctx.regional, kWarningLine);
    LogWipe(ctx.wipeLog, ctx.regional, kEraseWarningLine);
    return true;
}

}  // namespace orm
