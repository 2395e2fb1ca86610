// How starting the drive helper went, on a machine where the program runs as an ordinary user
// and reaches the drives through a helper that runs as root.
#pragma once

#include <string>

namespace orm {

enum class HelperStart {
    NotNeeded,      // the program runs as root and opens drives itself
    Started,        // the helper runs and answers
    Cancelled,      // the password prompt was dismissed, or ended by end-of-file or an interrupt
    NotAuthorized,  // not authorized, or pkexec failed (pkexec 127)
    NoPkexec,       // pkexec could not be started
    HelperMissing,  // the helper program is not there
    HelperFailed,   // pkexec ran but the helper did not answer
};

struct HelperStartResult {
    HelperStart status = HelperStart::NotNeeded;
    int detail = 0;  // pkexec's exit status, or the errno of a failed start
    std::string helperPath;
};

inline bool HelperStartOk(const HelperStartResult& r) {
    return r.status == HelperStart::NotNeeded || r.status == HelperStart::Started;
}

}  // namespace orm
