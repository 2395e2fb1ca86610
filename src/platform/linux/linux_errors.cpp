#include "platform/linux/linux_errors.h"

#include <cerrno>
#include <cstring>

#include "platform/win_layouts.h"

namespace orm::lnx {

namespace {

struct CodeErrno {
    std::uint32_t code;
    int err;
};

// The errno that stands for each mapped code until a call has produced one.
constexpr CodeErrno kDefaultErrno[] = {
    {win::ERROR_INVALID_FUNCTION, ENOTTY},
    {win::ERROR_FILE_NOT_FOUND, ENOENT},
    {win::ERROR_PATH_NOT_FOUND, ENOTDIR},
    {win::ERROR_TOO_MANY_OPEN_FILES, EMFILE},
    {win::ERROR_ACCESS_DENIED, EACCES},
    {win::ERROR_INVALID_HANDLE, EBADF},
    {win::ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    {win::ERROR_WRITE_PROTECT, EROFS},
    {win::ERROR_NOT_READY, ENOMEDIUM},
    {win::ERROR_NOT_SUPPORTED, EOPNOTSUPP},
    {win::ERROR_INVALID_PARAMETER, EINVAL},
    {win::ERROR_DISK_FULL, ENOSPC},
    {win::ERROR_BUSY, EBUSY},
    {win::ERROR_IO_DEVICE, EIO},
    {win::ERROR_DEVICE_NOT_CONNECTED, ENXIO},
    {win::ERROR_SEEK, ESPIPE},
};

std::string ErrnoText(int err) {
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not live in the buffer.
    const char* text = strerror_r(err, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

std::string Cut(std::string text) {
    if (text.size() > 255) text.resize(255);
    return text;
}

}  // namespace

std::uint32_t WinCodeFromErrno(int err, ErrnoSource source) {
    switch (err) {
        case 0:
            return win::ERROR_SUCCESS;
        case ENOENT:
            return win::ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return win::ERROR_PATH_NOT_FOUND;
        case ENODEV:
        case ENXIO:
            // The node is there but no device answers behind it (unplugged, or gone while open).
            return win::ERROR_DEVICE_NOT_CONNECTED;
        case EACCES:
        case EPERM:
            return win::ERROR_ACCESS_DENIED;
        case EBUSY:
            return win::ERROR_BUSY;
        case EBADF:
            return win::ERROR_INVALID_HANDLE;
        case ENOMEM:
            return win::ERROR_NOT_ENOUGH_MEMORY;
        case EMFILE:
        case ENFILE:
            return win::ERROR_TOO_MANY_OPEN_FILES;
        case EROFS:
            return win::ERROR_WRITE_PROTECT;
        case ENOMEDIUM:
            return win::ERROR_NOT_READY;
        case ENOSPC:
            return win::ERROR_DISK_FULL;
        case EIO:
            return win::ERROR_IO_DEVICE;
        case ESPIPE:
            return win::ERROR_SEEK;
        case ENOTTY:
            return win::ERROR_INVALID_FUNCTION;
        case EOPNOTSUPP:
            return win::ERROR_NOT_SUPPORTED;
        case EINVAL:
            // A driver answers EINVAL to a control request it does not take; elsewhere it is a
            // bad argument.
            return source == ErrnoSource::Control ? win::ERROR_INVALID_FUNCTION
                                                  : win::ERROR_INVALID_PARAMETER;
        default:
            return kErrnoCodeBit | static_cast<std::uint32_t>(err & 0xFFFF);
    }
}

int DefaultErrnoOf(std::uint32_t code) {
    for (const CodeErrno& entry : kDefaultErrno) {
        if (entry.code == code) return entry.err;
    }
    if ((code & 0xFFFF0000u) == kErrnoCodeBit) return static_cast<int>(code & 0xFFFFu);
    return 0;
}

std::string FixedErrorText(std::uint32_t code) {
    switch (code) {
        case win::ERROR_SUCCESS:
            return "The operation completed successfully.";
        case win::ERROR_INSUFFICIENT_BUFFER:
            return "The data area passed to a system call is too small.";
        case win::ERROR_NEGATIVE_SEEK:
            return "An attempt was made to move the file pointer before the beginning of the file.";
        case win::ERROR_GEN_FAILURE:
            return "A device attached to the system is not functioning.";
        case kErrorModNotFound:
            return "The specified module could not be found.";
        case kErrorProcNotFound:
            return "The specified procedure could not be found.";
        default:
            return {};
    }
}

std::uint32_t ErrorTexts::FromErrno(int err, ErrnoSource source) {
    const std::uint32_t code = WinCodeFromErrno(err, source);
    if (code != win::ERROR_SUCCESS) m_texts[code] = ErrnoText(err);
    return code;
}

void ErrorTexts::Remember(std::uint32_t code, std::string text) {
    m_texts[code] = std::move(text);
}

std::string ErrorTexts::Text(std::uint32_t code) const {
    if (auto it = m_texts.find(code); it != m_texts.end()) return Cut(it->second);
    if (const int err = DefaultErrnoOf(code); err != 0) return Cut(ErrnoText(err));
    return FixedErrorText(code);
}

}  // namespace orm::lnx
