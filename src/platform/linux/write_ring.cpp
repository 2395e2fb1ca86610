#include "platform/linux/write_ring.h"

#include <cerrno>

namespace orm::lnx {

WriteRing::~WriteRing() {
    if (!m_open) return;
    // The buffers of writes still out belong to the caller: they must be done before it goes.
    Drain();
    ::io_uring_queue_exit(&m_ring);
}

int WriteRing::Open(int fd, unsigned depth) {
    if (m_open || depth == 0) return -EINVAL;
    const int rc = ::io_uring_queue_init(depth, &m_ring, 0);
    if (rc < 0) return rc;
    m_open = true;
    m_fd = fd;
    m_requests.assign(depth, Request{});
    m_freeSlots.clear();
    for (unsigned slot = depth; slot > 0; --slot) m_freeSlots.push_back(slot - 1);
    return 0;
}

bool WriteRing::Queue(const void* buffer, std::uint32_t size, std::int64_t offset, std::uint64_t tag) {
    if (!m_open || m_freeSlots.empty()) return false;
    io_uring_sqe* sqe = ::io_uring_get_sqe(&m_ring);
    if (sqe == nullptr) return false;
    const unsigned slot = m_freeSlots.back();
    m_freeSlots.pop_back();
    m_requests[slot] = Request{tag, offset, size, buffer};
    ::io_uring_prep_write(sqe, m_fd, buffer, size, static_cast<std::uint64_t>(offset));
    ::io_uring_sqe_set_data64(sqe, slot);
    ++m_inFlight;
    // Handed to the kernel at once: the caller may pump window messages before it next waits,
    // and the drive should be busy meanwhile. One that does not go now goes with the next Wait.
    while (::io_uring_submit(&m_ring) == -EINTR) {
    }
    return true;
}

int WriteRing::Wait(Done* done) {
    if (!m_open || m_inFlight == 0) return -EINVAL;
    io_uring_cqe* cqe = nullptr;
    for (;;) {
        // Submits anything Queue could not hand over, and waits for the first completion.
        int rc = ::io_uring_submit_and_wait(&m_ring, 1);
        if (rc >= 0) rc = ::io_uring_peek_cqe(&m_ring, &cqe);
        if (rc == 0 && cqe != nullptr) break;
        if (rc != -EINTR && rc != -EAGAIN) return rc < 0 ? rc : -EIO;
    }
    const auto slot = static_cast<unsigned>(::io_uring_cqe_get_data64(cqe));
    const Request& request = m_requests[slot];
    *done = Done{request.tag, request.offset, request.size, request.buffer, cqe->res};
    ::io_uring_cqe_seen(&m_ring, cqe);
    m_freeSlots.push_back(slot);
    --m_inFlight;
    return 0;
}

void WriteRing::Drain() {
    Done ignored;
    while (m_inFlight > 0 && Wait(&ignored) == 0) {
    }
}

}  // namespace orm::lnx
