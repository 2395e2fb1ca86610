// Reading sysfs attribute files: small text files that end in a line break.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orm::helper {

// The attribute's text without trailing blanks and line breaks; nullopt if it cannot be read.
std::optional<std::string> ReadAttr(const std::string& path);

// The raw bytes of a binary attribute (vpd_pg80), at most maxBytes; empty if unreadable.
std::vector<std::uint8_t> ReadBinaryAttr(const std::string& path, std::size_t maxBytes);

// The canonical path behind a sysfs link; empty if it does not resolve.
std::string ResolvePath(const std::string& path);

}  // namespace orm::helper
