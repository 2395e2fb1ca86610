#include "shell/helper_start_text.h"

#include <cstring>

namespace orm {

std::string HelperStartText(const HelperStartResult& r) {
    switch (r.status) {
        case HelperStart::NotNeeded:
        case HelperStart::Started:
            return {};
        case HelperStart::Cancelled:
            return "The password prompt was cancelled. Ormandel needs administrator rights to open the "
                   "drives, so it ends without touching any drive.";
        case HelperStart::NotAuthorized:
            return "Ormandel was not authorized to open the drives (pkexec ended with exit code " +
                   std::to_string(r.detail) +
                   "). No drive was touched. Ask an administrator, or start Ormandel as root.";
        case HelperStart::NoPkexec:
            return "pkexec could not be started (" + std::string(std::strerror(r.detail)) +
                   "). Ormandel needs it to open the drives as an ordinary user; install the "
                   "pkexec package, or start Ormandel as root. No drive was touched.";
        case HelperStart::HelperMissing:
            return "The drive helper " + r.helperPath + " was not found (" +
                   std::string(std::strerror(r.detail)) +
                   "). Ormandel needs it to open the drives as an ordinary user; install Ormandel, or start "
                   "it as root. No drive was touched.";
        case HelperStart::HelperFailed:
            return "The drive helper " + r.helperPath + " did not start (exit code " +
                   std::to_string(r.detail) + "). No drive was touched.";
    }
    return {};
}

}  // namespace orm
