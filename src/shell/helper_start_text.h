// What the operator is told when the drive helper could not be started.
#pragma once

#include <string>

#include "platform/helper_start.h"

namespace orm {

// The caption and text of the error box for a start that failed, in plain English; empty for a
// start that went well.
inline constexpr const char* kHelperStartCaption = "No access to the drives";
std::string HelperStartText(const HelperStartResult& r);

}  // namespace orm
