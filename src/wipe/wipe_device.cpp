#include "wipe/wipe_device.h"

#include <string>
#include <vector>

#include "common/date_time.h"
#include "discovery/size_text.h"
#include "platform/win_layouts.h"
#include "wipe/wipe_arithmetic.h"
#include "wipe/zero_buffer.h"

namespace orm {

namespace {

class Wipe {
  public:
    explicit Wipe(WipeContext& ctx) : m_ctx(ctx), m_handle(ctx.state.DeviceHandle) {}

    WipeOutcome Run() {
        ZeroBuffer zeroes(static_cast<std::size_t>(WipeChunkSize));
        m_outcome.total = WipeTotal(m_ctx.state.Chosen());
        m_outcome.hiddenSectors = m_ctx.state.HiddenHpaSectors + m_ctx.state.HiddenDcoSectors;

        if (!PumpKeepsHandle()) return Stopped(0);

        const std::uint32_t depth =
            m_outcome.total > 0 ? m_ctx.ks.OpenWriteQueue(m_handle, kWipeQueueDepth) : 1;
        const Ended ended = depth > 1 ? WriteQueued(zeroes, depth) : WriteOneByOne(zeroes, 0);
        if (ended == Ended::Stopped) return m_outcome;
        if (depth > 1) m_ctx.ks.CloseWriteQueue(m_handle);
        if (ended == Ended::Gone) return Gone(m_outcome.stoppedAt, m_outcome.goneError);

        // Without the flush "done" would only mean the zeroes reached the drive's cache.
        if (!m_ctx.ks.Flush(m_handle)) {
            std::uint32_t error = m_ctx.ks.LastError();
            m_outcome.flushFailed = true;
            Log(kFlushErrorPrefix + std::to_string(error));
            // A drive pulled out after the last write can fail the flush with a plain I/O error.
            // As after a failed write, positioning through the handle again tells whether it is
            // still there: at its end, which a drive the system has let go of no longer reaches.
            if (!DriveGoneError(error)) {
                std::int64_t position = -1;
                if (!m_ctx.ks.Seek(m_handle, m_outcome.total, &position)) error = m_ctx.ks.LastError();
            }
            if (DriveGoneError(error)) return Gone(m_outcome.total, error);
        }

        m_ctx.progress.SetPosition(100);
        const std::string closing = WipeClosingText(m_outcome);
        LogClosing();
        if (!m_outcome.Clean()) {
            m_ctx.boxes.Show(closing, kWipeErrorsCaption, BoxIcon::Warning);
        } else if (m_outcome.hiddenSectors > 0) {
            m_ctx.boxes.Show(closing, kWipeHiddenCaption, BoxIcon::Warning);
        } else {
            m_ctx.boxes.Show(closing, kWipeDoneCaption, BoxIcon::Information);
        }
        return m_outcome;
    }

  private:
    // How the writing loop ended: every chunk behind it, the window closed (already logged), or
    // the drive gone (stoppedAt and goneError set).
    enum class Ended { AllWritten, Stopped, Gone };

    Ended WriteOneByOne(const ZeroBuffer& zeroes, std::int64_t offset) {
        int seekAttempts = 0;
        while (offset < m_outcome.total) {
            m_ctx.progress.SetPosition(ProgressPercent(offset, m_outcome.total));
            if (!PumpKeepsHandle()) return Stop(offset);

            const std::int64_t length = ChunkLength(offset, m_outcome.total);
            std::int64_t position = -1;
            const bool positioned = m_ctx.ks.Seek(m_handle, offset, &position);
            if (!positioned || position != offset) {
                const std::uint32_t error = positioned ? 0 : m_ctx.ks.LastError();
                Log(kSeekErrorPrefix + std::to_string(offset));
                if (DriveGoneError(error)) return MarkGone(offset, error);
                // Three attempts in all at one offset (the first and two retries), each in its
                // own round with progress and pump; then the chunk is given up like a failed write.
                if (++seekAttempts < kSeekAttempts) continue;
                CountFailed(length);
                seekAttempts = 0;
                offset += length;
                continue;
            }
            seekAttempts = 0;

            // length is at most WipeChunkSize, so it fits the write's 32-bit count.
            const auto size = static_cast<std::uint32_t>(length);
            std::uint32_t written = 0;
            const bool wrote = m_ctx.ks.Write(m_handle, zeroes.Data(), size, &written);
            if (!wrote || written != size) {
                const std::uint32_t error = wrote ? 0 : m_ctx.ks.LastError();
                Log(kWriteErrorPrefix + std::to_string(offset));
                CountFailed(length);
                if (DriveGoneError(error)) return MarkGone(offset, error);
            }
            offset += length;
        }
        return Ended::AllWritten;
    }

    // The same chunks, lines, progress steps and pumps as WriteOneByOne, with up to `depth`
    // writes in flight. Completions may come in any order; each chunk is settled (its line, the
    // progress past it, a pump) only once every chunk before it is, so what the window shows
    // follows the offsets. Writes go no further than `depth` chunks past the first unsettled one,
    // which bounds the results waiting in `m_slots`.
    Ended WriteQueued(const ZeroBuffer& zeroes, std::uint32_t depth) {
        m_slots.assign(depth, Slot{});
        const std::int64_t window = static_cast<std::int64_t>(depth) * WipeChunkSize;
        std::int64_t settled = 0;  // every chunk before this offset is settled
        std::int64_t next = 0;     // offset of the next chunk to queue
        int inFlight = 0;
        bool submitting = true;  // false once a write said the drive is gone
        bool queueBroken = false;

        m_ctx.progress.SetPosition(ProgressPercent(0, m_outcome.total));
        if (!PumpKeepsHandle()) return Stop(0);

        for (;;) {
            while (submitting && next < m_outcome.total && next < settled + window) {
                const std::int64_t length = ChunkLength(next, m_outcome.total);
                const std::uint64_t chunk = static_cast<std::uint64_t>(next / WipeChunkSize);
                Slot& slot = SlotOf(chunk);
                slot = Slot{};
                // length is at most WipeChunkSize, so it fits the write's 32-bit count.
                if (m_ctx.ks.WriteAt(m_handle, zeroes.Data(), static_cast<std::uint32_t>(length), next,
                                     chunk)) {
                    ++inFlight;
                } else {
                    slot.done = true;
                    slot.error = m_ctx.ks.LastError();
                    if (DriveGoneError(slot.error)) submitting = false;
                }
                next += length;
            }

            // Settle what is complete, in offset order.
            if (settled < next && SlotOf(ChunkOf(settled)).done) {
                const Slot slot = SlotOf(ChunkOf(settled));
                const std::int64_t length = ChunkLength(settled, m_outcome.total);
                if (!slot.ok || slot.bytes != length) {
                    Log(kWriteErrorPrefix + std::to_string(settled));
                    CountFailed(length);
                    if (DriveGoneError(slot.error)) {
                        // The writes still out complete without a line of their own.
                        Drain(inFlight);
                        return MarkGone(settled, slot.error);
                    }
                }
                settled += length;
                if (settled >= m_outcome.total) break;
                m_ctx.progress.SetPosition(ProgressPercent(settled, m_outcome.total));
                // A close in this pump drains and closes the handle itself.
                if (!PumpKeepsHandle()) return Stop(settled);
                continue;
            }
            if (inFlight == 0) break;  // every chunk queued so far is settled

            KernelServices::WriteCompletion done;
            if (!m_ctx.ks.WaitWrite(m_handle, &done)) {
                // The queue itself failed: whatever is still out is lost with the same error, and
                // the chunks not yet queued are written one by one.
                const std::uint32_t error = m_ctx.ks.LastError();
                for (std::int64_t at = settled; at < next; at += WipeChunkSize) {
                    Slot& slot = SlotOf(ChunkOf(at));
                    if (!slot.done) slot = Slot{true, false, 0, error};
                }
                inFlight = 0;
                submitting = false;
                queueBroken = true;
                continue;
            }
            --inFlight;
            Slot& slot = SlotOf(done.tag);
            slot = Slot{true, done.ok, done.bytes, done.ok ? 0 : done.error};
            if (!done.ok && DriveGoneError(done.error)) submitting = false;
        }
        if (queueBroken && next < m_outcome.total) return WriteOneByOne(zeroes, next);
        return Ended::AllWritten;
    }

    struct Slot {
        bool done = false;
        bool ok = false;
        std::uint32_t bytes = 0;
        std::uint32_t error = 0;
    };

    static std::uint64_t ChunkOf(std::int64_t offset) {
        return static_cast<std::uint64_t>(offset / WipeChunkSize);
    }
    Slot& SlotOf(std::uint64_t chunk) { return m_slots[chunk % m_slots.size()]; }

    void Drain(int inFlight) {
        KernelServices::WriteCompletion ignored;
        while (inFlight-- > 0 && m_ctx.ks.WaitWrite(m_handle, &ignored)) {
        }
    }

    // The close handler may have run inside the pump; it closes DeviceHandle (and may reset it).
    bool PumpKeepsHandle() { return m_ctx.pump.Pump() && m_ctx.state.DeviceHandle == m_handle; }

    Ended Stop(std::int64_t offset) {
        Stopped(offset);
        return Ended::Stopped;
    }

    WipeOutcome Stopped(std::int64_t offset) {
        m_outcome.handleClosed = true;
        m_outcome.stoppedAt = offset;
        LogClosing();
        return m_outcome;
    }

    Ended MarkGone(std::int64_t offset, std::uint32_t error) {
        m_outcome.stoppedAt = offset;
        m_outcome.goneError = error;
        return Ended::Gone;
    }

    // The drive is gone: the closing line says where the wipe stopped, and the handle is left
    // alone until the window closes it. The progress bar stays where the wipe stopped.
    WipeOutcome Gone(std::int64_t offset, std::uint32_t error) {
        m_outcome.driveGone = true;
        m_outcome.goneError = error;
        m_outcome.stoppedAt = offset;
        LogClosing();
        m_ctx.boxes.Show(WipeClosingText(m_outcome), kWipeErrorsCaption, BoxIcon::Warning);
        return m_outcome;
    }

    void CountFailed(std::int64_t length) {
        ++m_outcome.failedChunks;
        m_outcome.failedBytes += length;
    }

    void Log(const std::string& message) { LogWipe(m_ctx.wipeLog, m_ctx.regional, message); }

    // The closing text in the wipe log, in lines that fit its width; the box shows it whole.
    void LogClosing() {
        for (const std::string& line : WipeClosingLines(m_outcome)) Log(line);
    }

    WipeContext& m_ctx;
    const Handle m_handle;
    WipeOutcome m_outcome;
    std::vector<Slot> m_slots;  // results of the queued chunks not yet settled, by chunk number
};

}  // namespace

bool DriveGoneError(std::uint32_t code) {
    return code == win::ERROR_DEVICE_NOT_CONNECTED || code == win::ERROR_NO_SUCH_DEVICE ||
           code == win::ERROR_DEV_NOT_EXIST;
}

std::vector<std::string> WipeClosingLines(const WipeOutcome& outcome) {
    const std::string hidden = GroupDigits(outcome.hiddenSectors);
    if (outcome.Clean()) {
        if (outcome.hiddenSectors <= 0) return {kWipeDoneText};
        return {"Wipe is done for the sectors the system sees: they are all zeroed.",
                "The " + hidden + " hidden sectors are not erased, so the drive is not fully erased."};
    }
    const std::string notErased =
        "The drive is not fully erased." +
        (outcome.hiddenSectors > 0 ? " The " + hidden + " hidden sectors are not erased either." : "");
    const std::string stopped = "Wipe stopped at offset " + std::to_string(outcome.stoppedAt);
    if (outcome.driveGone) {
        return {stopped + ": the drive is no longer connected (error code " +
                    std::to_string(outcome.goneError) + ").",
                notErased};
    }
    if (outcome.handleClosed) return {stopped + ": the main window was closed.", notErased};
    const std::string flush = "the drive's write cache could not be flushed.";
    std::vector<std::string> lines;
    if (outcome.failedChunks > 0) {
        lines.push_back("Wipe finished with errors: " + std::to_string(outcome.failedChunks) +
                        (outcome.failedChunks == 1 ? " chunk (" : " chunks (") +
                        std::to_string(outcome.failedBytes) + " bytes) could not be written" +
                        (outcome.flushFailed ? " and" : "."));
        if (outcome.flushFailed) lines.push_back(flush);
    } else {
        lines.push_back("Wipe finished with errors: " + flush);
    }
    lines.push_back(notErased);
    return lines;
}

std::string WipeClosingText(const WipeOutcome& outcome) {
    std::string text;
    for (const std::string& line : WipeClosingLines(outcome)) text += (text.empty() ? "" : " ") + line;
    return text;
}

std::vector<std::string> HiddenSectorsLines(std::int64_t hpaSectors, std::int64_t dcoSectors) {
    if (hpaSectors <= 0 && dcoSectors <= 0) return {};
    std::string by;
    if (hpaSectors > 0) by = "a host protected area";
    if (hpaSectors > 0 && dcoSectors > 0) by += " and ";
    if (dcoSectors > 0) by += "a device configuration overlay";
    return {"Hidden sectors: " + GroupDigits(hpaSectors + dcoSectors) +
                " sectors behind the device size are hidden",
            "by " + by + "; this wipe cannot reach them."};
}

WipeOutcome WipeDevice(WipeContext& ctx) {
    return Wipe(ctx).Run();
}

}  // namespace orm
