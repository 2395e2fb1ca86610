#include "platform/linux/linux_errors.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/win_layouts.h"

namespace orm::lnx {
namespace {

struct ErrnoCase {
    int err;
    ErrnoSource source;
    std::uint32_t code;
    const char* text;
};

TEST(ErrnoMapping, MapsOntoTheCodesTheProgramReadsWithTheSystemsText) {
    const ErrnoCase cases[] = {
        {ENOENT, ErrnoSource::File, win::ERROR_FILE_NOT_FOUND, "No such file or directory"},
        {ENXIO, ErrnoSource::File, win::ERROR_DEVICE_NOT_CONNECTED, "No such device or address"},
        {ENODEV, ErrnoSource::File, win::ERROR_DEVICE_NOT_CONNECTED, "No such device"},
        {EACCES, ErrnoSource::File, win::ERROR_ACCESS_DENIED, "Permission denied"},
        {EPERM, ErrnoSource::Control, win::ERROR_ACCESS_DENIED, "Operation not permitted"},
        {EBUSY, ErrnoSource::File, win::ERROR_BUSY, "Device or resource busy"},
        {EIO, ErrnoSource::File, win::ERROR_IO_DEVICE, "Input/output error"},
        {ENOSPC, ErrnoSource::File, win::ERROR_DISK_FULL, "No space left on device"},
        {EROFS, ErrnoSource::File, win::ERROR_WRITE_PROTECT, "Read-only file system"},
        {ENOMEDIUM, ErrnoSource::File, win::ERROR_NOT_READY, "No medium found"},
        {ENOTTY, ErrnoSource::Control, win::ERROR_INVALID_FUNCTION, "Inappropriate ioctl for device"},
        {EINVAL, ErrnoSource::Control, win::ERROR_INVALID_FUNCTION, "Invalid argument"},
        {EINVAL, ErrnoSource::File, win::ERROR_INVALID_PARAMETER, "Invalid argument"},
        {EOPNOTSUPP, ErrnoSource::Control, win::ERROR_NOT_SUPPORTED, "Operation not supported"},
        {EBADF, ErrnoSource::File, win::ERROR_INVALID_HANDLE, "Bad file descriptor"},
        {ENOTBLK, ErrnoSource::File, kErrnoCodeBit | ENOTBLK, "Block device required"},
        {ETIMEDOUT, ErrnoSource::Control, kErrnoCodeBit | ETIMEDOUT, "Connection timed out"},
    };
    for (const ErrnoCase& c : cases) {
        ErrorTexts texts;
        const std::uint32_t code = texts.FromErrno(c.err, c.source);
        EXPECT_EQ(code, c.code) << c.text;
        EXPECT_EQ(texts.Text(code), c.text);
    }
}

TEST(ErrnoMapping, TextFollowsTheErrnoThatLastProducedTheCode) {
    ErrorTexts texts;
    EXPECT_EQ(texts.Text(win::ERROR_ACCESS_DENIED), "Permission denied");  // before any failure
    texts.FromErrno(EPERM, ErrnoSource::File);
    EXPECT_EQ(texts.Text(win::ERROR_ACCESS_DENIED), "Operation not permitted");
    texts.FromErrno(EACCES, ErrnoSource::File);
    EXPECT_EQ(texts.Text(win::ERROR_ACCESS_DENIED), "Permission denied");
}

TEST(ErrnoMapping, CodesWithoutErrnoAndUnknownCodes) {
    ErrorTexts texts;
    EXPECT_EQ(texts.FromErrno(0, ErrnoSource::File), win::ERROR_SUCCESS);
    EXPECT_FALSE(texts.Text(win::ERROR_INSUFFICIENT_BUFFER).empty());
    EXPECT_FALSE(texts.Text(win::ERROR_NEGATIVE_SEEK).empty());
    EXPECT_EQ(texts.Text(123456), "");
    texts.Remember(kErrorModNotFound, "libnothing.so: cannot open shared object file");
    EXPECT_EQ(texts.Text(kErrorModNotFound), "libnothing.so: cannot open shared object file");
    texts.Remember(kErrorProcNotFound, std::string(400, 'x'));
    EXPECT_EQ(texts.Text(kErrorProcNotFound).size(), 255u);
}

TEST(ErrnoMapping, DistinctCodesStayOutOfTheWindowsRange) {
    for (int err = 1; err < 134; ++err) {
        const std::uint32_t code = WinCodeFromErrno(err, ErrnoSource::File);
        EXPECT_NE(code, win::ERROR_SUCCESS) << err;
        if ((code & kErrnoCodeBit) != 0) {
            EXPECT_EQ(code, kErrnoCodeBit | static_cast<std::uint32_t>(err));
        }
    }
}

}  // namespace
}  // namespace orm::lnx
