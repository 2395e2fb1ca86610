#include "shell/timer_self_test.h"

#include <chrono>

namespace orm {

namespace {

constexpr const char* kTimerErrorText = "Timer error";
constexpr const char* kTimerCaption = "Timer";

// A healthy 1 ms timer never leaves a wait quiet this long, so the wait only looks at the
// performance counter when something is wrong: a passing try reads the counter exactly four
// times. The same limit on the steady clock is the backstop for a counter that stands still
// as well (an emulated counter advances only with the ticks it delivers).
constexpr auto kQuietBeforeClockLook = std::chrono::milliseconds(50);
constexpr auto kQuietBackstop = std::chrono::seconds(1);
constexpr unsigned kSpinsPerRealClockLook = 1024;

enum class WaitEnd { Reached, NoTick, Fatal };

// Spins until the count reaches `target`, reading it anew on every pass. `start` is the counter
// value read right before the wait.
WaitEnd WaitForTicks(KernelServices& ks, FatalSink& fatal, const TCounter& counter, std::int64_t target,
                     std::int64_t start, double ticksPerMicrosecond) {
    std::int64_t seen = counter.Count.load(std::memory_order_relaxed);
    auto quietSince = std::chrono::steady_clock::now();
    auto lastClockLook = quietSince;
    unsigned spins = 0;
    for (;;) {
        const std::int64_t count = counter.Count.load(std::memory_order_relaxed);
        if (count >= target) return WaitEnd::Reached;
        if (count != seen) {
            seen = count;
            spins = 0;
            quietSince = std::chrono::steady_clock::now();
            lastClockLook = quietSince;
            continue;
        }
        if (++spins % kSpinsPerRealClockLook != 0) continue;
        const auto now = std::chrono::steady_clock::now();
        if (now - quietSince >= kQuietBackstop) return WaitEnd::NoTick;
        if (now - lastClockLook < kQuietBeforeClockLook) continue;
        lastClockLook = now;
        std::int64_t value = 0;
        if (!ReadPerformanceCounter(ks, fatal, &value)) return WaitEnd::Fatal;
        // A wait this long fails the verdict anyway; ending it here only bounds it.
        if (static_cast<double>(value - start) / ticksPerMicrosecond >= kNoTickLimitMicros) {
            return WaitEnd::NoTick;
        }
    }
}

}  // namespace

TCounter::TCounter(KernelServices& ks, std::uint32_t interval) : Interval(interval), m_ks(ks) {
    TimerId = m_ks.StartTimer(Interval, &TimerProc, this);
}

TCounter::~TCounter() {
    if (TimerId != 0) m_ks.StopTimer(TimerId);
}

void TimerProc(void* user) {
    static_cast<TCounter*>(user)->Tick();
}

bool ReadPerformanceCounter(KernelServices& ks, FatalSink& fatal, std::int64_t* value) {
    std::int64_t read = 0;
    if (!ks.Counter(&read)) read = -1;
    if (read <= 0) {
        fatal.Fatal(kTimerErrorText, kTimerCaption);
        return false;
    }
    *value = read;
    return true;
}

bool TimerVerdict(double tenTicksMicros, double thirtyTicksMicros) {
    return tenTicksMicros > 8000.0 && tenTicksMicros < 12000.0 && thirtyTicksMicros > 27000.0 &&
           thirtyTicksMicros < 33000.0;
}

TimerTry TimerSelfTest(KernelServices& ks, double ticksPerMicrosecond, FatalSink& fatal) {
    std::int64_t t0 = 0, t1 = 0, t2 = 0, t3 = 0;
    {
        TCounter counter(ks, 1);
        ks.Sleep(50);

        counter.Reset();
        if (!ReadPerformanceCounter(ks, fatal, &t0)) return TimerTry::Fatal;
        WaitEnd end = WaitForTicks(ks, fatal, counter, 10, t0, ticksPerMicrosecond);
        if (end == WaitEnd::Fatal) return TimerTry::Fatal;
        if (end == WaitEnd::NoTick) return TimerTry::Failed;
        if (!ReadPerformanceCounter(ks, fatal, &t1)) return TimerTry::Fatal;

        counter.Reset();
        if (!ReadPerformanceCounter(ks, fatal, &t2)) return TimerTry::Fatal;
        end = WaitForTicks(ks, fatal, counter, 30, t2, ticksPerMicrosecond);
        if (end == WaitEnd::Fatal) return TimerTry::Fatal;
        if (end == WaitEnd::NoTick) return TimerTry::Failed;
        if (!ReadPerformanceCounter(ks, fatal, &t3)) return TimerTry::Fatal;
    }  // the timer stops here, before the verdict
    const double a = static_cast<double>(t1 - t0) / ticksPerMicrosecond;
    const double b = static_cast<double>(t3 - t2) / ticksPerMicrosecond;
    return TimerVerdict(a, b) ? TimerTry::Passed : TimerTry::Failed;
}

}  // namespace orm
