// Queued writes show the window exactly what one write at a time shows: each case runs once on a
// drive without a queue and once on a drive that keeps four writes in flight and completes them
// newest first, and both runs must log, move the bar, pump and close alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "discovery/device_table.h"
#include "platform/sim/sim_platform.h"
#include "platform/win_layouts.h"
#include "wipe/wipe_arithmetic.h"
#include "wipe/wipe_device.h"
#include "wipe_test_support.h"

namespace orm::test {
namespace {

using sim::Call;

constexpr std::int64_t kChunk = WipeChunkSize;
constexpr std::int64_t kSectors = 10 * 1024 + 8;  // ten chunks and a 4096-byte tail
const std::string kNotErased = "The drive is not fully erased.";

struct QueueCase {
    const char* name;
    std::function<void(sim::DriveBuilder&)> faults;
    int closeAtPump;  // 0: the window stays open
    std::vector<std::string> log;
};

struct WipeRun {
    std::vector<std::string> lines;
    std::vector<int> progress;
    int pumps = 0;
    std::vector<std::string> boxes;
    WipeOutcome outcome;
    std::vector<sim::JournalEntry> journal;
    Handle handle = kNoHandle;
};

WipeRun Wipe(const QueueCase& c, std::uint32_t queueDepth) {
    sim::SimPlatform sim;
    auto drive = sim.AddDrive(0);
    drive.SectorSize(512).Sectors(kSectors).QueueDepth(queueDepth, true);
    if (c.faults) c.faults(drive);
    RunState state;
    TDeviceTable& record = state.Record(1);
    record.DevicePath = sim.DrivePath(0);
    record.SectorCount = kSectors;
    record.BytesPerSector = 512;
    state.DrivesFound = 1;
    state.ChosenIndex = 1;
    state.DeviceChosen = true;
    state.DeviceHandle = sim.Open(record.DevicePath, win::GENERIC_READ | win::GENERIC_WRITE,
                                  win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
    sim.ClearJournal();

    std::vector<std::string> events;
    WindowRecorder window{events};
    FixedRegional regional;
    window.onPump = [&](int pump) {
        if (pump != c.closeAtPump) return true;
        sim.Close(state.DeviceHandle);  // what the main window's close handler does
        state.DeviceHandle = kNoHandle;
        return false;
    };
    WipeRun run;
    run.handle = state.DeviceHandle;
    WipeContext ctx{sim, state, regional, window, window, window, window, window};
    run.outcome = WipeDevice(ctx);
    const std::string stamp = std::string(kStamp) + "   ";
    for (const std::string& line : window.lines) run.lines.push_back(line.substr(stamp.size()));
    run.progress = window.progress;
    run.pumps = window.pumps;
    for (const ShownBox& box : window.boxes) run.boxes.push_back(box.caption + ": " + box.text);
    run.journal = sim.Journal();
    return run;
}

class WipeQueue : public ::testing::TestWithParam<QueueCase> {};

TEST_P(WipeQueue, ShowsWhatOneWriteAtATimeShows) {
    const QueueCase& c = GetParam();
    const WipeRun single = Wipe(c, 1);
    const WipeRun queued = Wipe(c, 4);

    EXPECT_EQ(single.lines, c.log);
    EXPECT_EQ(queued.lines, c.log);
    EXPECT_EQ(queued.progress, single.progress);
    EXPECT_EQ(queued.pumps, single.pumps);
    EXPECT_EQ(queued.boxes, single.boxes);
    EXPECT_EQ(queued.outcome.failedChunks, single.outcome.failedChunks);
    EXPECT_EQ(queued.outcome.failedBytes, single.outcome.failedBytes);
    EXPECT_EQ(queued.outcome.stoppedAt, single.outcome.stoppedAt);

    // The queued run did queue, never more than four, and saw completions out of order.
    int inFlight = 0, most = 0;
    std::vector<std::int64_t> completed;
    bool goneSeen = false, queuedAfterGone = false;
    for (const auto& e : queued.journal) {
        if (e.call == Call::WriteAt && e.ok) {
            most = std::max(most, ++inFlight);
            queuedAfterGone = queuedAfterGone || goneSeen;
        }
        if (e.call == Call::WaitWrite && e.ok) {
            --inFlight;
            completed.push_back(e.offset);
        }
        if (e.call == Call::WaitWrite && !e.ok && e.error == win::ERROR_DEVICE_NOT_CONNECTED) goneSeen = true;
        if (e.call == Call::Close) {
            EXPECT_EQ(e.length, static_cast<std::uint32_t>(inFlight));
        }
    }
    EXPECT_EQ(most, 4);
    EXPECT_FALSE(std::is_sorted(completed.begin(), completed.end()));
    EXPECT_FALSE(queuedAfterGone) << "a write queued after the drive was seen gone";
    EXPECT_TRUE(std::none_of(queued.journal.begin(), queued.journal.end(),
                             [](const auto& e) { return e.call == Call::Seek || e.call == Call::Write; }));

    if (c.closeAtPump != 0) {
        // Closed with writes in flight: the close waited for them, and nothing followed it.
        const auto close = std::find_if(queued.journal.begin(), queued.journal.end(),
                                        [](const auto& e) { return e.call == Call::Close; });
        ASSERT_NE(close, queued.journal.end());
        EXPECT_GT(close->length, 0u) << "no write was in flight at the close";
        EXPECT_TRUE(std::none_of(close + 1, queued.journal.end(),
                                 [&](const auto& e) { return e.handle == queued.handle; }));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WipeQueue,
    ::testing::Values(
        QueueCase{"OutOfOrderCompletions", {}, 0, {kWipeDoneText}},
        QueueCase{"FailuresInTheMiddleAndAtTheTail",
                  [](sim::DriveBuilder& d) {
                      d.FailWriteAt(6 * kChunk, win::ERROR_CRC)
                          .ShortWriteAt(3 * kChunk, 4096)
                          .FailWriteAt(10 * kChunk, win::ERROR_CRC);
                  },
                  0,
                  {"Write Error occured at offset 1572864", "Write Error occured at offset 3145728",
                   "Write Error occured at offset 5242880",
                   "Wipe finished with errors: 3 chunks (1052672 bytes) could not be written.", kNotErased}},
        QueueCase{"VanishWithWritesInFlight",
                  [](sim::DriveBuilder& d) {
                      d.FailWriteAt(2 * kChunk, win::ERROR_CRC).VanishAt(5 * kChunk + 4096);
                  },
                  0,
                  {"Write Error occured at offset 1048576", "Write Error occured at offset 2621440",
                   "Wipe stopped at offset 2621440: the drive is no longer connected (error code 1167).",
                   kNotErased}},
        QueueCase{"CloseWithWritesInFlight",
                  {},
                  4,
                  {"Wipe stopped at offset 1048576: the main window was closed.", kNotErased}}),
    [](const ::testing::TestParamInfo<QueueCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace orm::test
