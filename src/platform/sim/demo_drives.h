// The demo's platform: simulated drives, with this machine's own clocks, pauses and web opener.
//
// The simulated clock compresses time (a millisecond tick takes a few microseconds), which
// suits tests but lets a busy machine upset the timer self-test; the demo should start
// wherever the real program would, so it keeps the native counter, timer and pauses. `Native` is
// the platform's own kernel services, used for those only: it never opens a drive here.
#pragma once

#include <cstdint>
#include <string>

#include "platform/sim/sim_platform.h"

namespace orm::sim {

template <class Native>
class DemoDrives : public SimPlatform {
  public:
    bool Counter(std::int64_t* value) override { return m_native.Counter(value); }
    bool Frequency(std::int64_t* ticksPerSecond) override { return m_native.Frequency(ticksPerSecond); }
    std::uint32_t StartTimer(std::uint32_t periodMs, TimerProc proc, void* user) override {
        return m_native.StartTimer(periodMs, proc, user);
    }
    bool StopTimer(std::uint32_t timerId) override { return m_native.StopTimer(timerId); }
    void Sleep(std::uint32_t ms) override { m_native.Sleep(ms); }
    bool OpenWebAddress(const std::string& address) override { return m_native.OpenWebAddress(address); }

  private:
    Native m_native;
};

}  // namespace orm::sim
