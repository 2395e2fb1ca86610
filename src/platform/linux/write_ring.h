// Writes at their own offsets with several in flight, through an io_uring on one descriptor.
// The ring belongs to the window thread that queues and waits; nothing in it is shared.
#pragma once

#include <liburing.h>

#include <cstdint>
#include <vector>

namespace orm::lnx {

class WriteRing {
  public:
    WriteRing() = default;
    ~WriteRing();
    WriteRing(const WriteRing&) = delete;
    WriteRing& operator=(const WriteRing&) = delete;

    // Sets up a ring for up to `depth` writes on `fd`. 0 on success, else the negative errno of
    // io_uring_queue_init (ENOSYS on an old kernel, EPERM where seccomp or the io_uring_disabled
    // sysctl forbid it, ENOMEM under a tight memlock limit).
    int Open(int fd, unsigned depth);

    // Queues a write of `size` bytes of `buffer` at `offset` and hands it to the kernel. False
    // when `depth` writes are already out.
    bool Queue(const void* buffer, std::uint32_t size, std::int64_t offset, std::uint64_t tag);

    struct Done {
        std::uint64_t tag = 0;
        std::int64_t offset = 0;
        std::uint32_t size = 0;
        const void* buffer = nullptr;
        int result = 0;  // bytes written, or a negative errno
    };
    // Waits for one write to complete. 0, or the negative errno of a ring that no longer works
    // (-EINVAL when nothing is out).
    int Wait(Done* done);

    // Waits for every write still out; their results are dropped.
    void Drain();

    unsigned InFlight() const { return m_inFlight; }

  private:
    struct Request {
        std::uint64_t tag = 0;
        std::int64_t offset = 0;
        std::uint32_t size = 0;
        const void* buffer = nullptr;
    };

    io_uring m_ring{};
    bool m_open = false;
    int m_fd = -1;
    std::vector<Request> m_requests;  // by slot, the slot number is the request's user data
    std::vector<unsigned> m_freeSlots;
    unsigned m_inFlight = 0;
};

}  // namespace orm::lnx
