#include "reports/pad_text.h"

namespace orm {

std::string PadRight(const std::string& text, std::uint16_t width) {
    if (text.size() >= width) return text;
    return text + std::string(width - text.size(), ' ');
}

std::string PadLeft(const std::string& text, std::uint16_t width) {
    if (text.size() >= width) return text;
    return std::string(width - text.size(), ' ') + text;
}

}  // namespace orm
