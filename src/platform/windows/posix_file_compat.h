// The few POSIX file calls the simulated drives' image files use, for the Windows build of the
// simulation (the tests run it under Wine). Included ahead of every simulation source file by the
// build, so those files stay as they are.
#pragma once

#include <fcntl.h>
#include <io.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>

// Windows opens files in text mode unless told otherwise; image files are binary.
#ifndef O_CLOEXEC
#define O_CLOEXEC _O_BINARY
#endif

// No sparse-file query on Windows: a search for data answers the position itself, so every byte is read.
#ifndef SEEK_DATA
#define SEEK_DATA SEEK_SET
#endif

inline ssize_t pread(int fd, void* buffer, std::size_t count, off_t offset) {
    if (lseek(fd, offset, SEEK_SET) < 0) return -1;
    return _read(fd, buffer, static_cast<unsigned>(count));
}

inline ssize_t pwrite(int fd, const void* buffer, std::size_t count, off_t offset) {
    if (lseek(fd, offset, SEEK_SET) < 0) return -1;
    return _write(fd, buffer, static_cast<unsigned>(count));
}
