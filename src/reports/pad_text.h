// Filling texts with blanks to a column width, for the fixed-pitch report tables.
#pragma once

#include <cstdint>
#include <string>

namespace orm {

// The text with blanks appended until it is at least `width` characters; never cut.
std::string PadRight(const std::string& text, std::uint16_t width);
// The same with the blanks put in front.
std::string PadLeft(const std::string& text, std::uint16_t width);

}  // namespace orm
