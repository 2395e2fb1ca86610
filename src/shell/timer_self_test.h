// The timer self-test: the platform's 1 ms periodic timer against its performance counter.
// One try counts 10 and then 30 timer ticks and measures each run on the counter; start-up
// runs up to three tries.
#pragma once

#include <atomic>
#include <cstdint>

#include "common/sinks.h"
#include "platform/kernel_services.h"

namespace orm {

// The tick counter of one try. The timer starts with the object and is stopped in the
// destructor before the object goes away, so no tick can land in freed memory.
class TCounter {
  public:
    TCounter(KernelServices& ks, std::uint32_t interval);
    ~TCounter();
    TCounter(const TCounter&) = delete;
    TCounter& operator=(const TCounter&) = delete;

    void Reset() { Count.store(0, std::memory_order_relaxed); }
    void Tick() { Count.fetch_add(1, std::memory_order_relaxed); }

    std::uint32_t Interval;  // timer period, ms
    // Written by the timer's own thread, reset and polled by the window thread without a lock:
    // relaxed atomic loads and stores are enough, only the value itself matters.
    std::atomic<std::int64_t> Count{0};
    // The whole identifier the platform returned (0: no timer could be started). Cutting it
    // to 16 bits could leave a timer running after its counter is gone.
    std::uint32_t TimerId = 0;

  private:
    KernelServices& m_ks;
};

// The timer callback: `user` is the TCounter of the running try.
void TimerProc(void* user);

// The performance counter; a failed read or a value not above 0 is reported as "Timer error" /
// "Timer" and gives false.
bool ReadPerformanceCounter(KernelServices& ks, FatalSink& fatal, std::int64_t* value);

// Both measures in microseconds; both windows exclude their ends and NaN fails.
bool TimerVerdict(double tenTicksMicros, double thirtyTicksMicros);

// A wait that sees no tick for this long (measured on the performance counter) ends the try
// as failed: a timer that never ticks must not hang start-up.
inline constexpr double kNoTickLimitMicros = 1'000'000.0;

enum class TimerTry { Passed, Failed, Fatal };

// One try. `ticksPerMicrosecond` is the counter frequency / 1,000,000. Fatal means a counter
// read failed and was reported through `fatal`.
TimerTry TimerSelfTest(KernelServices& ks, double ticksPerMicrosecond, FatalSink& fatal);

}  // namespace orm
