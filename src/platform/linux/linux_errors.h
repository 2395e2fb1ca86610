// errno values mapped onto the Windows error codes the program reads, and the texts behind
// them. The program only ever shows a code's text (through ErrorText) or compares a code with
// 0, so the mapping keeps each failure recognisable and its text the system's own: the text of
// a mapped code is strerror() of the errno that produced it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace orm::lnx {

// An errno without a Windows counterpart keeps its own code: this bit (the customer bit of
// Windows error codes, never set in a system code) plus the errno value.
inline constexpr std::uint32_t kErrnoCodeBit = 0x20000000u;

// Codes of the library loader that win_layouts.h does not carry.
inline constexpr std::uint32_t kErrorModNotFound = 126;
inline constexpr std::uint32_t kErrorProcNotFound = 127;

// Where the errno came from: a few errno values mean different things for a control call
// (an ioctl the driver does not know) than for open, read or write.
enum class ErrnoSource { File, Control };

std::uint32_t WinCodeFromErrno(int err, ErrnoSource source);

// The errno whose text stands for a code when no call has produced it yet; 0 if none.
int DefaultErrnoOf(std::uint32_t code);

// The text of a code that has no errno behind it (a Windows-like sentence), empty if unknown.
std::string FixedErrorText(std::uint32_t code);

// Remembers, per code, the text of the failure that last produced it, so that ErrorText says
// "Operation not permitted" after EPERM and "Permission denied" after EACCES although both
// are ERROR_ACCESS_DENIED. Window thread only.
class ErrorTexts {
  public:
    // Maps err, remembers its text under the code and returns the code.
    std::uint32_t FromErrno(int err, ErrnoSource source);
    // Remembers a text of the system's own for a code (for example the loader's message).
    void Remember(std::uint32_t code, std::string text);
    // The remembered text, else the default errno's text, else the fixed text; at most 255
    // characters.
    std::string Text(std::uint32_t code) const;

  private:
    std::map<std::uint32_t, std::string> m_texts;
};

}  // namespace orm::lnx
