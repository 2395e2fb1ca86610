#include "wipe/sleep_block.h"

#include "discovery/size_text.h"

namespace orm {

std::string WipeSleepReason(const RunState& state, char decimalSeparator) {
    return "Wiping " + DiskName(state, decimalSeparator);
}

WipeSleepBlock::~WipeSleepBlock() {
    if (m_held) m_blocker.Release();
}

bool WipeSleepBlock::Confirm(const std::string& text, const std::string& caption) {
    const bool yes = m_boxes.Confirm(text, caption);
    if (yes && !m_held) {
        m_blocker.Hold(m_why);
        m_held = true;
    }
    return yes;
}

void WipeSleepBlock::Show(const std::string& text, const std::string& caption, BoxIcon icon) {
    if (m_held) {
        m_blocker.Release();
        m_held = false;
    }
    m_boxes.Show(text, caption, icon);
}

}  // namespace orm
