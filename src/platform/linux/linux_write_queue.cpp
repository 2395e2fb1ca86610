// Queued writes of the Linux kernel services: an io_uring on the handle's O_DIRECT descriptor.
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/linux/linux_kernel_services.h"
#include "platform/linux/write_ring.h"
#include "platform/win_layouts.h"

namespace orm::lnx {

std::uint32_t LinuxKernelServices::OpenWriteQueue(Handle handle, std::uint32_t depth) {
    OpenDrive* d = Find(handle);
    depth = std::min(depth, m_queueLimit);
    // Through the page cache the writes are only copies into memory: a queue gains nothing there.
    if (d == nullptr || !d->writable || depth <= 1 || !IsDirect(handle)) return 1;
    if (!d->ring) {
        auto ring = std::make_unique<WriteRing>();
        if (ring->Open(d->fd, depth) != 0) return 1;
        d->ring = std::move(ring);
    }
    return depth;
}

bool LinuxKernelServices::WriteAt(Handle handle, const void* buffer, std::uint32_t size, std::int64_t offset,
                                  std::uint64_t tag) {
    OpenDrive* d = Find(handle);
    if (d == nullptr || !d->ring) return Fail(win::ERROR_INVALID_HANDLE);
    if (offset < 0) return Fail(win::ERROR_NEGATIVE_SEEK);
    if (!d->ring->Queue(buffer, size, offset, tag)) return Fail(win::ERROR_NOT_ENOUGH_MEMORY);
    return Succeed();
}

bool LinuxKernelServices::WaitWrite(Handle handle, WriteCompletion* completion) {
    OpenDrive* d = Find(handle);
    if (d == nullptr || !d->ring) return Fail(win::ERROR_INVALID_HANDLE);
    WriteRing::Done done;
    if (const int rc = d->ring->Wait(&done); rc != 0) return FailErrno(-rc, ErrnoSource::File);
    int result = done.result;
    if (result == -EINVAL && LeaveDirectIo(*d)) {
        ssize_t n = -1;
        do {
            n = ::pwrite(d->fd, done.buffer, done.size, static_cast<off_t>(done.offset));
        } while (n < 0 && errno == EINTR);
        result = n >= 0 ? static_cast<int>(n) : -errno;
    }
    completion->tag = done.tag;
    completion->ok = result >= 0;
    completion->bytes = result >= 0 ? static_cast<std::uint32_t>(result) : 0;
    completion->error = result >= 0 ? win::ERROR_SUCCESS : WriteErrorCode(*d, -result, done.offset);
    return Succeed();
}

void LinuxKernelServices::CloseWriteQueue(Handle handle) {
    if (OpenDrive* d = Find(handle)) d->ring.reset();
}

std::uint32_t LinuxKernelServices::WriteErrorCode(const OpenDrive& d, int err, std::int64_t offset) {
    // Without a positioning before each write, the write is the first call to meet a disk the
    // kernel deleted: writes to it fail with EIO or ENOSPC.
    if (err != ENODEV && err != ENXIO && Shrunk(d, offset)) err = ENXIO;
    return m_errors.FromErrno(err, ErrnoSource::File);
}

}  // namespace orm::lnx
