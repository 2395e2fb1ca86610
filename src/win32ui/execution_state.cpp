#include "win32ui/execution_state.h"

namespace orm::win32ui {

void ExecutionStateBlock::Hold(const std::string&) {
    if (m_held) return;
    m_held = m_set(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
}

void ExecutionStateBlock::Release() {
    if (!m_held) return;
    m_set(ES_CONTINUOUS);
    m_held = false;
}

}  // namespace orm::win32ui
