// Periodic timers that stand in for the multimedia timer: one thread per timer, ticking on
// absolute CLOCK_MONOTONIC deadlines so that the period does not drift with the callback's
// own run time.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace orm::lnx {

class PeriodicTimers {
  public:
    using Proc = void (*)(void* user);

    PeriodicTimers() = default;
    PeriodicTimers(const PeriodicTimers&) = delete;
    PeriodicTimers& operator=(const PeriodicTimers&) = delete;
    ~PeriodicTimers();  // stops every timer still running

    // Starts a timer that calls proc(user) on its own thread once every periodMs (at least 1)
    // milliseconds. Returns its id, never 0; 0 when no thread could be started.
    std::uint32_t Start(std::uint32_t periodMs, Proc proc, void* user);

    // Stops the timer and waits for its thread, so that no callback runs after the return.
    // Called from the timer's own callback, it stops the timer without waiting for itself.
    // False for an unknown id.
    bool Stop(std::uint32_t id);

  private:
    struct Timer {
        std::atomic<bool> stop{false};
        std::thread thread;
    };
    static void Run(std::shared_ptr<Timer> timer, std::uint32_t periodMs, Proc proc, void* user);

    std::mutex m_mutex;  // guards m_timers and m_nextId
    // The thread shares its Timer, so a timer stopped from its own callback stays valid.
    std::map<std::uint32_t, std::shared_ptr<Timer>> m_timers;
    std::uint32_t m_nextId = 1;
};

}  // namespace orm::lnx
