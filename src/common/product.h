// The program's own texts that every screen and report shares.
#pragma once

#include "common/product_version.h"

namespace orm {

inline constexpr const char* kProductTitle = ORM_PRODUCT_TITLE;
// Placeholders of the maker's addresses and copyright line: neutral, reserved example domain.
inline constexpr const char* kMakerWebAddress = "http://www.example.com/ormandel/";
inline constexpr const char* kSupportForumAddress = "http://forum.example.com/ormandel/";
inline constexpr const char* kCopyrightLine = ORM_COPYRIGHT_LINE;

}  // namespace orm
