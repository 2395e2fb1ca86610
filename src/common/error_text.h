// The system's text for an error code, as the program's boxes show it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/kernel_services.h"

namespace orm {

// The platform's own message for `code`, at most 255 characters, with every trailing blank,
// control character and full stop cut ("Access is denied.\r\n" gives "Access is denied").
// Empty when the platform has no text for the code.
std::string SystemErrorText(KernelServices& ks, std::uint32_t code);

}  // namespace orm
