// Simulated drives: plain writes at the handle's position, the write queue, and flushing.
#include <algorithm>

#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_state.h"
#include "platform/win_layouts.h"

namespace orm::sim {

namespace {

constexpr std::uint32_t kErrorSectorNotFound = 27;
constexpr std::uint32_t kErrorWaitTimeout = 258;

}  // namespace

std::uint32_t SimPlatform::Impl::WriteChunk(OpenHandle& oh, JournalEntry& e, std::int64_t offset,
                                            const void* buffer, std::uint32_t size) {
    e.offset = offset;
    SimDrive& drive = *oh.drive;
    const DriveFaults& f = drive.params.faults;
    if ((oh.access & win::GENERIC_WRITE) == 0) {
        e.ok = false;
        e.error = win::ERROR_ACCESS_DENIED;
    } else if (f.vanishAt && offset + static_cast<std::int64_t>(size) > *f.vanishAt) {
        drive.gone = true;
        e.ok = false;
        e.error = f.vanishError;
    } else if (auto fail = f.writeFails.find(offset); fail != f.writeFails.end()) {
        e.ok = false;
        e.error = fail->second;
    } else if (offset > drive.params.length || size > drive.params.length - offset) {
        // Past the end of the medium: nothing is written.
        e.ok = false;
        e.error = kErrorSectorNotFound;
    } else {
        std::uint32_t n = size;
        if (auto s = f.shortWrites.find(offset); s != f.shortWrites.end()) n = std::min(n, s->second);
        if (n > 0 && !drive.WriteBytes(offset, static_cast<const std::uint8_t*>(buffer), n)) {
            e.ok = false;
            e.error = win::ERROR_WRITE_FAULT;
        } else {
            return n;
        }
    }
    return 0;
}

bool SimPlatform::Write(Handle handle, const void* buffer, std::uint32_t size, std::uint32_t* written) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::Write;
    e.handle = handle;
    e.length = size;
    std::uint32_t done = 0;
    if (OpenHandle* oh = m_impl->Usable(handle, e)) {
        done = m_impl->WriteChunk(*oh, e, oh->position, buffer, size);
        oh->position += done;
    }
    if (written != nullptr) *written = done;
    e.bytes = done;
    return m_impl->Finish(e);
}

std::uint32_t SimPlatform::OpenWriteQueue(Handle handle, std::uint32_t depth) {
    std::lock_guard lock(m_impl->mutex);
    OpenHandle* oh = m_impl->Find(handle);
    if (oh == nullptr || oh->drive->params.queueDepth <= 1) return 1;
    JournalEntry e;
    e.call = Call::OpenWriteQueue;
    e.handle = handle;
    e.drive = static_cast<int>(oh->number);
    e.length = depth;
    m_impl->Finish(e);
    oh->queueOpen = true;
    return std::min(depth, oh->drive->params.queueDepth);
}

bool SimPlatform::WriteAt(Handle handle, const void* buffer, std::uint32_t size, std::int64_t offset,
                          std::uint64_t tag) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::WriteAt;
    e.handle = handle;
    e.offset = offset;
    e.length = size;
    OpenHandle* oh = m_impl->Find(handle);
    if (oh == nullptr || !oh->queueOpen) {
        e.ok = false;
        e.error = win::ERROR_INVALID_HANDLE;
        return m_impl->Finish(e);
    }
    // Queued whatever its fate; a drive that is gone fails it through its completion.
    JournalEntry result = e;
    std::uint32_t done = 0;
    if (m_impl->Usable(handle, result)) done = m_impl->WriteChunk(*oh, result, offset, buffer, size);
    e.drive = result.drive;
    e.bytes = done;
    oh->inFlight.push_back({offset, KernelServices::WriteCompletion{tag, result.ok, done, result.error}});
    return m_impl->Finish(e);
}

bool SimPlatform::WaitWrite(Handle handle, WriteCompletion* completion) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::WaitWrite;
    e.handle = handle;
    OpenHandle* oh = m_impl->Find(handle);
    if (oh == nullptr || oh->inFlight.empty()) {
        e.ok = false;
        e.error = oh == nullptr ? win::ERROR_INVALID_HANDLE : kErrorWaitTimeout;
        return m_impl->Finish(e);
    }
    e.drive = static_cast<int>(oh->number);
    const bool newest = oh->drive->params.completeNewestFirst;
    const auto [offset, result] = newest ? oh->inFlight.back() : oh->inFlight.front();
    if (newest) {
        oh->inFlight.pop_back();
    } else {
        oh->inFlight.pop_front();
    }
    *completion = result;
    e.offset = offset;
    e.bytes = result.bytes;
    return m_impl->Finish(e);
}

void SimPlatform::CloseWriteQueue(Handle handle) {
    std::lock_guard lock(m_impl->mutex);
    OpenHandle* oh = m_impl->Find(handle);
    if (oh == nullptr || !oh->queueOpen) return;
    JournalEntry e;
    e.call = Call::CloseWriteQueue;
    e.handle = handle;
    e.drive = static_cast<int>(oh->number);
    e.length = static_cast<std::uint32_t>(oh->inFlight.size());
    oh->inFlight.clear();
    oh->queueOpen = false;
    m_impl->Finish(e);
}

bool SimPlatform::Flush(Handle handle) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::Flush;
    e.handle = handle;
    if (OpenHandle* oh = m_impl->Usable(handle, e)) {
        if (const auto& error = oh->drive->params.faults.flushError) {
            e.ok = false;
            e.error = *error;
        }
    }
    return m_impl->Finish(e);
}

}  // namespace orm::sim
