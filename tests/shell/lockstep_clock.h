// Simulated drives with a clock that a timer self-test cannot misread.
//
// The simulated platform's own timer runs on a real thread at a compressed pace, so a busy
// machine that holds up the polling thread for a fraction of a millisecond lets extra ticks
// through and a correct timer fails. Here the timer runs in lockstep with the try instead: it
// starts ticking at the first counter read after the tick count was reset, and holds still
// once the count reaches the end of the measure (10, then 30) until the next reset and read.
// The counter moves only by Sleep and by delivered ticks, so a try measures exactly the period
// it was given.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/sim/sim_platform.h"
#include "shell/timer_self_test.h"

namespace orm::testing {

class LockstepClock : public sim::SimPlatform {
  public:
    LockstepClock() { SimPlatform::TimerNeverTicks(true); }
    ~LockstepClock() override {
        std::map<std::uint32_t, std::unique_ptr<Ticker>> left;
        {
            std::lock_guard lock(m_mutex);
            left.swap(m_tickers);
        }
        for (auto& [id, t] : left) Join(*t);
    }

    // One period per started timer, microseconds; the last one repeats.
    void SetPeriods(std::vector<std::int64_t> micros) {
        std::lock_guard lock(m_mutex);
        m_periods = std::move(micros);
        m_started = 0;
    }
    void NeverTick(bool never = true) { m_never = never; }
    void SetTicksPerSecond(std::int64_t frequency) {
        SimPlatform::SetFrequency(frequency);
        std::lock_guard lock(m_mutex);
        m_frequency = frequency;
    }
    // The n-th counter read from now (1-based) fails, or gives `value` when one is given.
    void FailRead(int nth, std::optional<std::int64_t> value = std::nullopt) {
        std::lock_guard lock(m_mutex);
        m_reads = 0;
        m_failAt = nth;
        m_failValue = value;
    }
    int Reads() const {
        std::lock_guard lock(m_mutex);
        return m_totalReads;
    }
    int Tickers() const {
        std::lock_guard lock(m_mutex);
        return static_cast<int>(m_tickers.size());
    }

    bool Counter(std::int64_t* value) override {
        std::lock_guard lock(m_mutex);
        ++m_reads;
        ++m_totalReads;
        // A read right after a reset opens the next measure.
        for (auto& [id, t] : m_tickers) {
            if (!t->open && t->counter->Count.load() == 0) t->open = true;
        }
        std::int64_t v = m_counter;
        if (m_failAt > 0 && m_reads == m_failAt) {
            if (!m_failValue) return false;
            v = *m_failValue;
        }
        *value = v;
        return true;
    }

    std::uint32_t StartTimer(std::uint32_t periodMs, TimerProc proc, void* user) override {
        // The simulated platform journals the call and hands out the id; its own thread stays
        // silent, the ticks come from here.
        const std::uint32_t id = SimPlatform::StartTimer(periodMs, proc, user);
        std::lock_guard lock(m_mutex);
        const std::int64_t micros = m_periods[std::min(m_started, m_periods.size() - 1)];
        ++m_started;
        auto t = std::make_unique<Ticker>();
        t->counter = static_cast<TCounter*>(user);
        t->step = micros * static_cast<std::int64_t>(periodMs) * m_frequency / 1'000'000;
        Ticker* raw = t.get();
        if (!m_never) t->thread = std::thread([this, raw, proc, user] { Run(*raw, proc, user); });
        m_tickers[id] = std::move(t);
        return id;
    }

    bool StopTimer(std::uint32_t timerId) override {
        std::unique_ptr<Ticker> t;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_tickers.find(timerId);
            if (it != m_tickers.end()) {
                t = std::move(it->second);
                m_tickers.erase(it);
            }
        }
        if (t) Join(*t);
        return SimPlatform::StopTimer(timerId);
    }

    void Sleep(std::uint32_t ms) override {
        SimPlatform::Sleep(ms);
        std::lock_guard lock(m_mutex);
        m_counter += static_cast<std::int64_t>(ms) * m_frequency / 1000;
    }

  private:
    struct Ticker {
        TCounter* counter = nullptr;
        std::int64_t step = 0;
        bool open = false;  // guarded by m_mutex
        int measure = 0;    // 0: the 10-tick measure, 1: the 30-tick one, 2: done
        std::atomic<bool> stop{false};
        std::thread thread;
    };

    void Run(Ticker& t, TimerProc proc, void* user) {
        static constexpr std::int64_t kEnds[2] = {10, 30};
        while (!t.stop.load()) {
            {
                std::unique_lock lock(m_mutex);
                if (!t.open || t.measure >= 2) {
                    lock.unlock();
                    std::this_thread::sleep_for(std::chrono::microseconds(20));
                    continue;
                }
                m_counter += t.step;
            }
            proc(user);
            std::lock_guard lock(m_mutex);
            if (t.counter->Count.load() >= kEnds[t.measure]) {
                t.open = false;
                ++t.measure;
            }
        }
    }

    static void Join(Ticker& t) {
        t.stop.store(true);
        if (t.thread.joinable()) t.thread.join();
    }

    mutable std::mutex m_mutex;
    std::int64_t m_counter = 1'000'000'000;
    std::int64_t m_frequency = 10'000'000;  // the simulated platform's default
    std::vector<std::int64_t> m_periods{1000};
    std::size_t m_started = 0;
    std::atomic<bool> m_never{false};
    int m_reads = 0, m_totalReads = 0, m_failAt = 0;
    std::optional<std::int64_t> m_failValue;
    std::map<std::uint32_t, std::unique_ptr<Ticker>> m_tickers;
};

}  // namespace orm::testing
