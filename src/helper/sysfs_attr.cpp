#include "helper/sysfs_attr.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace orm::helper {

std::optional<std::string> ReadAttr(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    // Attributes are short; a bound keeps a stray large file from being read whole.
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) return std::nullopt;
    text.resize(static_cast<std::size_t>(in.gcount()));
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
    return text;
}

std::vector<std::uint8_t> ReadBinaryAttr(const std::string& path, std::size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::vector<std::uint8_t> bytes(maxBytes);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return {};
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

std::string ResolvePath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    return ec ? std::string() : resolved.string();
}

}  // namespace orm::helper
