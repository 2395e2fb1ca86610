// Names of the SMART attributes the program knows, by attribute id.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace orm {

inline constexpr std::size_t kAttributeNameWidth = 26;

// One entry: a length and the characters. A named entry is stored filled with blanks to the
// full width (length 26); an unnamed one has length 0.
struct AttributeNameEntry {
    std::uint8_t length = 0;
    std::array<char, kAttributeNameWidth> text{};
};

// Entries for ids 1 to 255 at indexes 0 to 254.
extern const std::array<AttributeNameEntry, 255> kAttributeNames;

// The name of attribute `id` as printed (26 characters), or an empty view for an unnamed id
// or id 0.
std::string_view AttributeName(std::uint8_t id);

}  // namespace orm
