// The private state behind SimPlatform, shared by its source files.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/sim/sim_platform.h"
#include "platform/win_layouts.h"

namespace orm::sim {

// One simulated drive and its bytes. Handles keep a shared pointer, so a drive removed while
// open stays alive as "gone" and its handles fail instead of dangling.
struct SimDrive {
    DriveSpec params;
    bool gone = false;
    // Sparse store: pages of kPageSize bytes, allocated only when a non-zero byte lands in one.
    std::map<std::int64_t, std::vector<std::uint8_t>> pages;
    int fd = -1;  // image file, opened on first access
    std::string fdPath;

    ~SimDrive();
    bool ReadBytes(std::int64_t offset, std::uint8_t* out, std::size_t length);
    bool WriteBytes(std::int64_t offset, const std::uint8_t* data, std::size_t length);
    bool EnsureImage();
};

inline constexpr std::int64_t kPageSize = 64 * 1024;

struct OpenHandle {
    std::shared_ptr<SimDrive> drive;
    unsigned number = 0;
    std::int64_t position = 0;
    std::uint32_t access = 0;
    bool queueOpen = false;
    std::deque<std::pair<std::int64_t, KernelServices::WriteCompletion>> inFlight;  // offset, result
};

struct SimTimer {
    std::thread thread;
    std::atomic<bool> stop{false};
};

struct SimPlatform::Impl {
    mutable std::mutex mutex;
    std::map<unsigned, std::shared_ptr<SimDrive>> drives;
    std::map<unsigned, std::shared_ptr<SimDrive>> swaps;  // SwapOnOpen: drives waiting for the open
    std::map<Handle, OpenHandle> handles;
    Handle nextHandle = 0x100;
    std::unordered_map<std::thread::id, std::uint32_t> lastErrors;
    std::vector<JournalEntry> journal;

    // Clock
    std::int64_t counter = 1'000'000'000;
    std::int64_t frequency = 10'000'000;
    bool failFrequency = false;
    int counterReads = 0;
    int failReadAt = 0;  // 0: none
    std::optional<std::int64_t> failReadValue;
    std::vector<std::int64_t> periodsMicros{1000};
    std::size_t timersStarted = 0;
    bool timerNeverTicks = false;
    std::map<std::uint32_t, std::unique_ptr<SimTimer>> timers;
    std::uint32_t nextTimerId = 1;
    int platformId = 2;

    // Setup library
    std::string setupName = "SimSetup.dll";
    std::vector<std::string> setupSlots;
    bool failSetupLoad = false;
    std::vector<std::string> missingSymbols;
    int loaded = 0;
    char moduleToken = 0;
    std::vector<char> symbolTokens = std::vector<char>(64);

    std::vector<std::string> webAddresses;

    void SetError(std::uint32_t code) { lastErrors[std::this_thread::get_id()] = code; }
    void Record(JournalEntry entry) { journal.push_back(std::move(entry)); }
    // The handle's record, or null for a closed or unknown handle.
    OpenHandle* Find(Handle h) {
        auto it = handles.find(h);
        return it == handles.end() ? nullptr : &it->second;
    }

    // The handle's record when a call on its drive can go ahead; otherwise null, with the
    // failure (closed or unknown handle, drive gone) written into `entry`.
    OpenHandle* Usable(Handle h, JournalEntry& entry) {
        OpenHandle* oh = Find(h);
        if (oh == nullptr) {
            entry.ok = false;
            entry.error = win::ERROR_INVALID_HANDLE;
            return nullptr;
        }
        entry.drive = static_cast<int>(oh->number);
        if (oh->drive->gone || oh->drive->params.faults.vanishAfterOpen) {
            entry.ok = false;
            entry.error = oh->drive->params.faults.vanishError;
            return nullptr;
        }
        return oh;
    }
    // Ends a call: its last error, its journal entry, its result.
    bool Finish(const JournalEntry& entry) {
        SetError(entry.error);
        Record(entry);
        return entry.ok;
    }

    // A write of `size` bytes at `offset` through `oh`, faults included; the bytes written.
    std::uint32_t WriteChunk(OpenHandle& oh, JournalEntry& entry, std::int64_t offset, const void* buffer,
                             std::uint32_t size);

    bool Control(OpenHandle& oh, JournalEntry& entry, std::uint32_t code, const std::uint8_t* in,
                 std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize,
                 std::uint32_t* bytesReturned);
};

}  // namespace orm::sim
