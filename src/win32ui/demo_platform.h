// The demo's platform on Windows: simulated drives, with this machine's own clocks and web
// opener, so that the demo starts wherever the real program would.
#pragma once

#include "platform/sim/sim_platform.h"
#include "platform/windows/windows_kernel_services.h"

namespace orm::win32ui {

class DemoPlatform : public sim::SimPlatform {
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
    // Used for its clocks and shell only: it never opens a drive here.
    windows::WindowsKernelServices m_native;
};

}  // namespace orm::win32ui
