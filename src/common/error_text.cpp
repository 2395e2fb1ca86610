#include "common/error_text.h"

namespace orm {

namespace {
constexpr std::size_t kMaxMessage = 255;

bool CutAtEnd(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b <= 32 || b == 127 || c == '.';
}
}  // namespace

std::string SystemErrorText(KernelServices& ks, std::uint32_t code) {
    std::string text = ks.ErrorText(code);
    if (text.size() > kMaxMessage) text.resize(kMaxMessage);
    while (!text.empty() && CutAtEnd(text.back())) text.pop_back();
    return text;
}

}  // namespace orm
