#include "wipe/wipe_device.h"

#include <string>

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

        std::int64_t offset = 0;
        if (!PumpKeepsHandle()) return Stopped(offset);

        int seekAttempts = 0;
        while (offset < m_outcome.total) {
            m_ctx.progress.SetPosition(ProgressPercent(offset, m_outcome.total));
            if (!PumpKeepsHandle()) return Stopped(offset);

            const std::int64_t length = ChunkLength(offset, m_outcome.total);
            std::int64_t position = -1;
            const bool positioned = m_ctx.ks.Seek(m_handle, offset, &position);
            if (!positioned || position != offset) {
                const std::uint32_t error = positioned ? 0 : m_ctx.ks.LastError();
                Log(kSeekErrorPrefix + std::to_string(offset));
                if (DriveGoneError(error)) return Gone(offset, error);
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
                if (DriveGoneError(error)) return Gone(offset, error);
            }
            offset += length;
        }

        // Without the flush "done" would only mean the zeroes reached the drive's cache.
        if (!m_ctx.ks.Flush(m_handle)) {
            const std::uint32_t error = m_ctx.ks.LastError();
            m_outcome.flushFailed = true;
            Log("Flush error: the drive did not confirm that the zeroes are on the medium, error code " +
                std::to_string(error));
            if (DriveGoneError(error)) return Gone(m_outcome.total, error);
        }

        m_ctx.progress.SetPosition(100);
        const std::string closing = WipeClosingText(m_outcome);
        Log(closing);
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
    // The close handler may have run inside the pump; it closes DeviceHandle (and may reset it).
    bool PumpKeepsHandle() { return m_ctx.pump.Pump() && m_ctx.state.DeviceHandle == m_handle; }

    WipeOutcome Stopped(std::int64_t offset) {
        m_outcome.handleClosed = true;
        m_outcome.stoppedAt = offset;
        Log(WipeClosingText(m_outcome));
        return m_outcome;
    }

    // The drive is gone: the closing line says where the wipe stopped, and the handle is left
    // alone until the window closes it. The progress bar stays where the wipe stopped.
    WipeOutcome Gone(std::int64_t offset, std::uint32_t error) {
        m_outcome.driveGone = true;
        m_outcome.goneError = error;
        m_outcome.stoppedAt = offset;
        const std::string closing = WipeClosingText(m_outcome);
        Log(closing);
        m_ctx.boxes.Show(closing, kWipeErrorsCaption, BoxIcon::Warning);
        return m_outcome;
    }

    void CountFailed(std::int64_t length) {
        ++m_outcome.failedChunks;
        m_outcome.failedBytes += length;
    }

    void Log(const std::string& message) { LogWipe(m_ctx.wipeLog, m_ctx.regional, message); }

    WipeContext& m_ctx;
    const Handle m_handle;
    WipeOutcome m_outcome;
};

}  // namespace

bool DriveGoneError(std::uint32_t code) {
    return code == win::ERROR_DEVICE_NOT_CONNECTED || code == win::ERROR_NO_SUCH_DEVICE ||
           code == win::ERROR_DEV_NOT_EXIST;
}

std::string WipeClosingText(const WipeOutcome& outcome) {
    const std::string hidden = GroupDigits(outcome.hiddenSectors);
    if (outcome.Clean()) {
        if (outcome.hiddenSectors <= 0) return kWipeDoneText;
        return "Wipe is done for the sectors the system sees: they are all zeroed. The " + hidden +
               " hidden sectors are not erased, so the drive is not fully erased.";
    }
    const std::string notErased =
        outcome.hiddenSectors > 0 ? " The " + hidden + " hidden sectors are not erased either." : "";
    if (outcome.driveGone) {
        return "Wipe stopped at offset " + std::to_string(outcome.stoppedAt) +
               ": the drive is no longer connected (error code " + std::to_string(outcome.goneError) +
               "). The drive is not fully erased." + notErased;
    }
    if (outcome.handleClosed) {
        return "Wipe stopped at offset " + std::to_string(outcome.stoppedAt) +
               ": the main window was closed. The drive is not fully erased." + notErased;
    }
    std::string text = "Wipe finished with errors: ";
    if (outcome.failedChunks > 0) {
        text += std::to_string(outcome.failedChunks) +
                (outcome.failedChunks == 1 ? " chunk (" : " chunks (") + std::to_string(outcome.failedBytes) +
                " bytes) could not be written";
        if (outcome.flushFailed) text += " and ";
    }
    if (outcome.flushFailed) text += "the drive's write cache could not be flushed";
    text += ". The drive is not fully erased." + notErased;
    return text;
}

std::string HiddenSectorsLine(std::int64_t hpaSectors, std::int64_t dcoSectors) {
    if (hpaSectors <= 0 && dcoSectors <= 0) return {};
    std::string by;
    if (hpaSectors > 0) by = "a host protected area";
    if (hpaSectors > 0 && dcoSectors > 0) by += " and ";
    if (dcoSectors > 0) by += "a device configuration overlay";
    return "Hidden sectors: " + GroupDigits(hpaSectors + dcoSectors) +
           " sectors behind the device size are hidden by " + by + "; this wipe cannot reach them.";
}

WipeOutcome WipeDevice(WipeContext& ctx) {
    return Wipe(ctx).Run();
}

}  // namespace orm
