// The program's own texts that every screen and report shares.
#pragma once

namespace orm {

inline constexpr const char* kProductTitle = "Ormandel 2.20 build 1098";
// Placeholders of the maker's addresses and copyright line: neutral, reserved example domain.
inline constexpr const char* kMakerWebAddress = "http://www.example.com/ormandel/";
inline constexpr const char* kSupportForumAddress = "http://forum.example.com/ormandel/";
inline constexpr const char* kCopyrightLine = "Copyright (C) 2026 The Ormandel authors";

}  // namespace orm
