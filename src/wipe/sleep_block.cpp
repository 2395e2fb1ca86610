#include "wipe/sleep_block.h"

#include "discovery/size_text.h"

namespace orm {

std::string WipeSleepReason(const RunState& state, char decimalSeparator) {
    return "Wiping " + DiskName(state, decimalSeparator);
}

}  // namespace orm
