// The journal of calls, for the tests to read.
#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_state.h"

namespace orm::sim {

std::vector<JournalEntry> SimPlatform::Journal() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->journal;
}

void SimPlatform::ClearJournal() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->journal.clear();
}

std::vector<JournalEntry> SimPlatform::Calls(Call kind) const {
    std::lock_guard lock(m_impl->mutex);
    std::vector<JournalEntry> out;
    for (const auto& e : m_impl->journal) {
        if (e.call == kind) out.push_back(e);
    }
    return out;
}

}  // namespace orm::sim
