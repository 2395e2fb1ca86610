// Simulated clock, timer, platform id, device-setup library and shell.
#include <algorithm>
#include <chrono>

#include "platform/sim/sim_state.h"
#include "platform/win_layouts.h"

namespace orm::sim {

namespace {
constexpr std::uint32_t kErrorModNotFound = 126;
constexpr std::uint32_t kErrorProcNotFound = 127;
// Real time between two delivered ticks: short, so that a 30-tick measure takes about a
// millisecond of real time, yet long enough that a busy-waiting thread sees every tick.
constexpr auto kTickPacing = std::chrono::microseconds(30);
}  // namespace

void SimPlatform::SetFrequency(std::int64_t ticksPerSecond) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->frequency = ticksPerSecond;
}

void SimPlatform::FailFrequency(bool fail) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->failFrequency = fail;
}

void SimPlatform::FailCounterRead(int nth, std::optional<std::int64_t> value) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->counterReads = 0;
    m_impl->failReadAt = nth;
    m_impl->failReadValue = value;
}

void SimPlatform::SetTimerPeriodMicros(std::int64_t micros) {
    SetTimerPeriodsMicros({micros});
}

void SimPlatform::SetTimerPeriodsMicros(const std::vector<std::int64_t>& micros) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->periodsMicros = micros.empty() ? std::vector<std::int64_t>{1000} : micros;
    m_impl->timersStarted = 0;
}

void SimPlatform::TimerNeverTicks(bool never) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->timerNeverTicks = never;
}

int SimPlatform::RunningTimers() const {
    std::lock_guard lock(m_impl->mutex);
    return static_cast<int>(m_impl->timers.size());
}

std::int64_t SimPlatform::CounterNow() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->counter;
}

void SimPlatform::SetPlatformId(int id) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->platformId = id;
}

bool SimPlatform::Counter(std::int64_t* value) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::Counter;
    ++m_impl->counterReads;
    std::int64_t v = m_impl->counter;
    if (m_impl->failReadAt > 0 && m_impl->counterReads == m_impl->failReadAt) {
        if (m_impl->failReadValue) {
            v = *m_impl->failReadValue;
        } else {
            e.ok = false;
            e.error = win::ERROR_INVALID_FUNCTION;
        }
    }
    if (e.ok && value != nullptr) *value = v;
    e.offset = v;
    m_impl->SetError(e.error);
    m_impl->Record(e);
    return e.ok;
}

bool SimPlatform::Frequency(std::int64_t* ticksPerSecond) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::Frequency;
    if (m_impl->failFrequency) {
        e.ok = false;
        e.error = win::ERROR_INVALID_FUNCTION;
    } else if (ticksPerSecond != nullptr) {
        *ticksPerSecond = m_impl->frequency;
    }
    m_impl->SetError(e.error);
    m_impl->Record(e);
    return e.ok;
}

std::uint32_t SimPlatform::StartTimer(std::uint32_t periodMs, TimerProc proc, void* user) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::StartTimer;
    e.length = periodMs;
    const auto& periods = m_impl->periodsMicros;
    const std::int64_t micros = periods[std::min(m_impl->timersStarted, periods.size() - 1)];
    ++m_impl->timersStarted;
    // One delivered tick moves the counter by the timer's emulated period.
    const std::int64_t step = micros * static_cast<std::int64_t>(periodMs) * m_impl->frequency / 1'000'000;
    const std::uint32_t id = m_impl->nextTimerId++;
    auto timer = std::make_unique<SimTimer>();
    SimTimer* t = timer.get();
    const bool silent = m_impl->timerNeverTicks;
    Impl* impl = m_impl.get();
    timer->thread = std::thread([impl, t, step, silent, proc, user] {
        while (!t->stop.load()) {
            std::this_thread::sleep_for(kTickPacing);
            if (silent || t->stop.load()) continue;
            {
                std::lock_guard inner(impl->mutex);
                impl->counter += step;
            }
            proc(user);
        }
    });
    m_impl->timers[id] = std::move(timer);
    e.code = id;
    m_impl->SetError(0);
    m_impl->Record(e);
    return id;
}

bool SimPlatform::StopTimer(std::uint32_t timerId) {
    std::unique_ptr<SimTimer> timer;
    {
        std::lock_guard lock(m_impl->mutex);
        JournalEntry e;
        e.call = Call::StopTimer;
        e.code = timerId;
        auto it = m_impl->timers.find(timerId);
        if (it == m_impl->timers.end()) {
            e.ok = false;
            e.error = win::ERROR_INVALID_PARAMETER;
        } else {
            timer = std::move(it->second);
            m_impl->timers.erase(it);
        }
        m_impl->SetError(e.error);
        m_impl->Record(e);
    }
    if (!timer) return false;
    // Joined outside the lock: the timer thread takes it for every tick.
    timer->stop.store(true);
    timer->thread.join();
    return true;
}

void SimPlatform::Sleep(std::uint32_t ms) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::Sleep;
    e.length = ms;
    m_impl->counter += static_cast<std::int64_t>(ms) * m_impl->frequency / 1000;
    m_impl->Record(e);
}

int SimPlatform::PlatformId() {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->platformId;
}

void SimPlatform::SetSetupLibrary(const std::string& name, const std::vector<std::string>& slots) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->setupName = name;
    m_impl->setupSlots = slots;
}

void SimPlatform::FailSetupLoad(bool fail) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->failSetupLoad = fail;
}

void SimPlatform::MissingSetupSymbol(const std::string& name) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->missingSymbols.push_back(name);
}

int SimPlatform::LoadedLibraries() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->loaded;
}

std::string SimPlatform::SetupLibraryName() {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->setupName;
}

const std::vector<std::string>& SimPlatform::SetupLibrarySlots() {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->setupSlots;
}

void* SimPlatform::LoadLib(const std::string& name) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::LoadLib;
    e.text = name;
    void* module = nullptr;
    if (m_impl->failSetupLoad || name != m_impl->setupName) {
        e.ok = false;
        e.error = kErrorModNotFound;
    } else {
        module = &m_impl->moduleToken;
        ++m_impl->loaded;
    }
    m_impl->SetError(e.error);
    m_impl->Record(e);
    return module;
}

void* SimPlatform::FindSymbol(void* module, const std::string& name) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::FindSymbol;
    e.text = name;
    void* symbol = nullptr;
    const auto& missing = m_impl->missingSymbols;
    const auto& slots = m_impl->setupSlots;
    auto slot = std::find(slots.begin(), slots.end(), name);
    if (module != &m_impl->moduleToken) {
        e.ok = false;
        e.error = win::ERROR_INVALID_HANDLE;
    } else if (slot == slots.end() || std::find(missing.begin(), missing.end(), name) != missing.end()) {
        e.ok = false;
        e.error = kErrorProcNotFound;
    } else {
        // A distinct non-null address per name; nothing ever calls it.
        const auto index = static_cast<std::size_t>(slot - slots.begin()) % m_impl->symbolTokens.size();
        symbol = &m_impl->symbolTokens[index];
    }
    m_impl->SetError(e.error);
    m_impl->Record(e);
    return symbol;
}

bool SimPlatform::FreeLib(void* module) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::FreeLib;
    if (module != &m_impl->moduleToken || m_impl->loaded <= 0) {
        e.ok = false;
        e.error = win::ERROR_INVALID_HANDLE;
    } else {
        --m_impl->loaded;
    }
    m_impl->SetError(e.error);
    m_impl->Record(e);
    return e.ok;
}

bool SimPlatform::OpenWebAddress(const std::string& address) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::OpenWebAddress;
    e.text = address;
    m_impl->webAddresses.push_back(address);
    m_impl->Record(e);
    return true;
}

std::vector<std::string> SimPlatform::OpenedWebAddresses() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->webAddresses;
}

}  // namespace orm::sim
