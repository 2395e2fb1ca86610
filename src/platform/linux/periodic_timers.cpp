#include "platform/linux/periodic_timers.h"

#include <time.h>

#include <cerrno>
#include <system_error>

namespace orm::lnx {

namespace {

constexpr long kNanosPerSecond = 1'000'000'000;
// The longest single sleep, so that a stop request is seen soon even with a long period.
constexpr long kMaxSleepNanos = 20'000'000;

void AddNanos(timespec& t, long long nanos) {
    const long long total = static_cast<long long>(t.tv_nsec) + nanos;
    t.tv_sec += static_cast<time_t>(total / kNanosPerSecond);
    t.tv_nsec = static_cast<long>(total % kNanosPerSecond);
}

bool Before(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec < b.tv_sec : a.tv_nsec < b.tv_nsec;
}

}  // namespace

PeriodicTimers::~PeriodicTimers() {
    std::map<std::uint32_t, std::shared_ptr<Timer>> timers;
    {
        std::lock_guard lock(m_mutex);
        timers.swap(m_timers);
    }
    for (auto& [id, timer] : timers) {
        timer->stop.store(true);
        if (timer->thread.joinable()) timer->thread.join();
    }
}

void PeriodicTimers::Run(std::shared_ptr<Timer> timer, std::uint32_t periodMs, Proc proc, void* user) {
    const long long period = static_cast<long long>(periodMs) * 1'000'000;
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    AddNanos(deadline, period);
    while (!timer->stop.load()) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (Before(now, deadline)) {
            timespec wake = now;
            AddNanos(wake, kMaxSleepNanos);
            if (Before(deadline, wake)) wake = deadline;
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
            }
            continue;
        }
        proc(user);
        AddNanos(deadline, period);
    }
}

std::uint32_t PeriodicTimers::Start(std::uint32_t periodMs, Proc proc, void* user) {
    if (proc == nullptr) return 0;
    if (periodMs == 0) periodMs = 1;
    auto timer = std::make_shared<Timer>();
    std::lock_guard lock(m_mutex);
    std::uint32_t id = m_nextId;
    while (id == 0 || m_timers.count(id) != 0) ++id;
    m_nextId = id + 1;
    try {
        timer->thread = std::thread(Run, timer, periodMs, proc, user);
    } catch (const std::system_error&) {
        return 0;
    }
    m_timers.emplace(id, std::move(timer));
    return id;
}

bool PeriodicTimers::Stop(std::uint32_t id) {
    std::shared_ptr<Timer> timer;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_timers.find(id);
        if (it == m_timers.end()) return false;
        timer = std::move(it->second);
        m_timers.erase(it);
    }
    timer->stop.store(true);
    if (timer->thread.get_id() == std::this_thread::get_id()) {
        // The callback stopped its own timer: the thread ends when this callback returns.
        timer->thread.detach();
        return true;
    }
    if (timer->thread.joinable()) timer->thread.join();
    return true;
}

}  // namespace orm::lnx
