#include "shell/setup_library.h"

#include <algorithm>

namespace orm {

bool SetupApiBinding::LoadSetupApi(KernelServices& ks) {
    ++m_bindCount;
    if (m_bindCount > 1) return true;

    if (m_library == nullptr) m_library = ks.LoadLib(ks.SetupLibraryName());
    if (m_library == nullptr) {
        // A request whose load failed binds nothing, so it gives its count back: otherwise the
        // next request would answer true for a library that was never loaded.
        --m_bindCount;
        return false;
    }

    const std::vector<std::string>& names = ks.SetupLibrarySlots();
    m_slots.assign(names.size(), nullptr);
    bool allFound = true;
    for (std::size_t i = 0; i < names.size(); ++i) {
        m_slots[i] = ks.FindSymbol(m_library, names[i]);
        if (m_slots[i] == nullptr) allFound = false;
    }
    if (!allFound) UnloadSetupApi(ks);
    return allFound;
}

void SetupApiBinding::UnloadSetupApi(KernelServices& ks) {
    --m_bindCount;
    if (m_bindCount > 0) return;
    if (m_library != nullptr) ks.FreeLib(m_library);
    m_library = nullptr;
    std::fill(m_slots.begin(), m_slots.end(), nullptr);
}

}  // namespace orm
