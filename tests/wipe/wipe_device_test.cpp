// The zero-fill engine on simulated drives: chunking, offsets above 4 GiB, faults, progress, the
// message pump and the window closed under a running wipe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "wipe/wipe_arithmetic.h"
#include "wipe/wipe_device.h"
#include "wipe_fixture.h"

namespace orm::test {
namespace {

using sim::Call;

constexpr std::int64_t kChunk = 524288;
const std::string kDone = "Wipe is done. You will have to create partitions and format this drive.   ";

const std::string kOneChunkFailed = "Wipe finished with errors: 1 chunk (524288 bytes) could not be written.";
const std::string kNotErased = "The drive is not fully erased.";

class WipeDeviceTest : public WipeFixture {
  protected:
    WipeOutcome Wipe() {
        WipeContext ctx = Context();
        return WipeDevice(ctx);
    }
};

struct ChunkCase {
    const char* name;
    std::int64_t sectors;
    std::uint32_t sectorSize;
    std::vector<std::uint32_t> lengths;  // every write, in order
};

class WipeChunking : public WipeDeviceTest, public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(WipeChunking, WritesEveryByteOnceInChunksFromOffsetZero) {
    const ChunkCase& c = GetParam();
    MakeDrive(c.sectors, c.sectorSize);
    const std::int64_t total = c.sectors * c.sectorSize;
    // Non-zero bytes at both ends of the drive, so the wipe must reach them.
    sim.Poke(0, 0, {0xAA, 0xBB});
    sim.Poke(0, total - 2, {0xCC, 0xDD});
    const WipeOutcome outcome = Wipe();

    std::vector<std::uint32_t> lengths;
    std::vector<std::int64_t> expectedOffsets;
    std::int64_t next = 0;
    for (const auto& e : sim.Calls(Call::Write)) {
        lengths.push_back(e.length);
        EXPECT_EQ(e.offset, next);
        EXPECT_EQ(e.bytes, e.length);
        expectedOffsets.push_back(next);
        next += e.length;
    }
    EXPECT_EQ(lengths, c.lengths);
    EXPECT_EQ(next, total) << "the last write ends at the last byte";
    EXPECT_EQ(Offsets(Call::Seek), expectedOffsets) << "one absolute positioning per write";
    EXPECT_TRUE(sim.IsZero(0, 0, total));
    EXPECT_TRUE(outcome.Clean());
    EXPECT_EQ(outcome.total, total);
    EXPECT_EQ(Logged(), std::vector<std::string>{kDone});
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, WipeChunking,
    ::testing::Values(ChunkCase{"OneSector", 1, 512, {512}},
                      ChunkCase{"ExactlyOneChunk", 1024, 512, {524288}},
                      ChunkCase{"FourEqualChunks", 4096, 512, {524288, 524288, 524288, 524288}},
                      ChunkCase{"RemainderOf5Sectors", 2048 + 5, 512, {524288, 524288, 2560}},
                      ChunkCase{"Sectors4096Remainder", 128 * 2 + 1, 4096, {524288, 524288, 4096}},
                      ChunkCase{"Sectors4096Exact", 384, 4096, {524288, 524288, 524288}},
                      ChunkCase{"OneSectorShort", 1023, 512, {523776}}),
    [](const ::testing::TestParamInfo<ChunkCase>& p) { return std::string(p.param.name); });

TEST_F(WipeDeviceTest, DriveAboveFourGiBIsWrittenToItsLastByteWithFullOffsets) {
    // 4 GiB + 3 chunks + 3 sectors: the last chunk starts above 2^32 and is 1536 bytes long.
    const std::int64_t fourGiB = std::int64_t{1} << 32;
    const std::int64_t total = fourGiB + 3 * kChunk + 1536;
    const std::int64_t failing = fourGiB + kChunk;  // low 32 bits 524288: a 32-bit cut would show
    MakeDrive(total / 512, 512, [&](sim::DriveBuilder& d) { d.FailWriteAt(failing, win::ERROR_IO_DEVICE); });
    sim.Poke(0, fourGiB - 1, {0x11, 0x22});
    sim.Poke(0, total - 1, {0x33});
    sim.Poke(0, failing + 100, {0x44});
    const WipeOutcome outcome = Wipe();

    const auto writes = sim.Calls(Call::Write);
    ASSERT_EQ(writes.size(), 8192u + 4u);
    EXPECT_EQ(writes.back().offset, fourGiB + 3 * kChunk);
    EXPECT_EQ(writes.back().length, 1536u);
    EXPECT_EQ(Offsets(Call::Seek)[8192], fourGiB);
    EXPECT_EQ(Offsets(Call::Seek)[8193], failing);
    EXPECT_EQ(sim.ReadBack(0, total - 1, 1), std::vector<std::uint8_t>{0});
    EXPECT_TRUE(sim.IsZero(0, 0, failing));
    EXPECT_TRUE(sim.IsZero(0, failing + kChunk, total - failing - kChunk));
    EXPECT_EQ(sim.ReadBack(0, failing + 100, 1), std::vector<std::uint8_t>{0x44})
        << "a failed chunk is not retried";

    EXPECT_EQ(Logged(), (std::vector<std::string>{"Write Error occured at offset 4295491584", kOneChunkFailed,
                                                  kNotErased}));
    EXPECT_EQ(outcome.failedChunks, 1);
    EXPECT_EQ(outcome.failedBytes, kChunk);
}

TEST_F(WipeDeviceTest, WriteErrorInTheMiddleLogsOneLineAndTheWipeGoesOn) {
    MakeDrive(5 * 1024, 512, [](sim::DriveBuilder& d) { d.FailWriteAt(2 * 524288, win::ERROR_CRC); });
    sim.Poke(0, 2 * kChunk + 7, {0x5A});
    const WipeOutcome outcome = Wipe();

    EXPECT_EQ(Offsets(Call::Write),
              (std::vector<std::int64_t>{0, kChunk, 2 * kChunk, 3 * kChunk, 4 * kChunk}));
    EXPECT_TRUE(sim.IsZero(0, 0, 2 * kChunk));
    EXPECT_TRUE(sim.IsZero(0, 3 * kChunk, 2 * kChunk));
    EXPECT_FALSE(sim.IsZero(0, 2 * kChunk, kChunk));
    EXPECT_EQ(Logged(), (std::vector<std::string>{"Write Error occured at offset 1048576", kOneChunkFailed,
                                                  kNotErased}));
    EXPECT_EQ(window.boxes, (std::vector<ShownBox>{{kOneChunkFailed + " " + kNotErased,
                                                    "Wipe finished with errors", BoxIcon::Warning}}));
    EXPECT_FALSE(outcome.Clean());
    EXPECT_EQ(sim.Calls(Call::Flush).size(), 1u) << "what was written is still flushed";
}

TEST_F(WipeDeviceTest, ShortWriteCountsAsFailedAndTheNextChunkIsPositionedAbsolutely) {
    MakeDrive(3 * 1024, 512, [](sim::DriveBuilder& d) { d.ShortWriteAt(524288, 4096); });
    const WipeOutcome outcome = Wipe();

    EXPECT_EQ(Offsets(Call::Seek), (std::vector<std::int64_t>{0, kChunk, 2 * kChunk}));
    EXPECT_EQ(Offsets(Call::Write), (std::vector<std::int64_t>{0, kChunk, 2 * kChunk}));
    EXPECT_EQ(Logged(), (std::vector<std::string>{"Write Error occured at offset 524288", kOneChunkFailed,
                                                  kNotErased}));
    EXPECT_EQ(outcome.failedChunks, 1);
}

TEST_F(WipeDeviceTest, PositioningThatKeepsFailingIsTriedThreeTimesThenTheChunkCountsAsFailed) {
    MakeDrive(3 * 1024, 512, [](sim::DriveBuilder& d) { d.FailSeekAt(524288, win::ERROR_SEEK); });
    const WipeOutcome outcome = Wipe();

    EXPECT_EQ(Offsets(Call::Seek), (std::vector<std::int64_t>{0, kChunk, kChunk, kChunk, 2 * kChunk}));
    EXPECT_EQ(Offsets(Call::Write), (std::vector<std::int64_t>{0, 2 * kChunk}))
        << "nothing written unpositioned";
    EXPECT_EQ(Logged(), (std::vector<std::string>{
                            "Seek error occured at offset 524288", "Seek error occured at offset 524288",
                            "Seek error occured at offset 524288", kOneChunkFailed, kNotErased}));
    EXPECT_EQ(outcome.failedChunks, 1);
    EXPECT_EQ(outcome.failedBytes, kChunk);
    // Each attempt is a round of the loop: progress and pump before every positioning.
    EXPECT_EQ(window.pumps, 1 + 5);
    EXPECT_EQ(window.progress, (std::vector<int>{0, 33, 33, 33, 67, 100}));
}

TEST_F(WipeDeviceTest, PositioningThatLandsElsewhereIsASeekError) {
    MakeDrive(2 * 1024, 512, [](sim::DriveBuilder& d) { d.SeekReportsAt(524288, 0); });
    const WipeOutcome outcome = Wipe();

    EXPECT_EQ(Offsets(Call::Write), (std::vector<std::int64_t>{0}));
    EXPECT_EQ(Logged(), (std::vector<std::string>{
                            "Seek error occured at offset 524288", "Seek error occured at offset 524288",
                            "Seek error occured at offset 524288", kOneChunkFailed, kNotErased}));
    EXPECT_EQ(outcome.failedChunks, 1);
}

TEST_F(WipeDeviceTest, PositioningThatRecoversOnTheSecondTryWritesTheChunk) {
    MakeDrive(2 * 1024, 512);
    ks.seekFailuresLeft[524288] = 1;
    const WipeOutcome outcome = Wipe();

    EXPECT_EQ(Offsets(Call::Write), (std::vector<std::int64_t>{0, kChunk}));
    EXPECT_EQ(Logged(), (std::vector<std::string>{"Seek error occured at offset 524288", kDone}))
        << "a chunk written in the end makes a clean wipe";
    EXPECT_TRUE(outcome.Clean());
    EXPECT_TRUE(sim.IsZero(0, 0, 2 * kChunk));
}

TEST_F(WipeDeviceTest, SeekRetriesAreCountedPerOffset) {
    // Two failures at one offset, two at the next: neither reaches three, both chunks get written.
    MakeDrive(3 * 1024, 512);
    ks.seekFailuresLeft[524288] = 2;
    ks.seekFailuresLeft[2 * 524288] = 2;
    const WipeOutcome outcome = Wipe();

    EXPECT_EQ(Offsets(Call::Write), (std::vector<std::int64_t>{0, kChunk, 2 * kChunk}));
    EXPECT_TRUE(outcome.Clean());
}

TEST_F(WipeDeviceTest, ProgressStartsAtZeroRoundsHalvesToEvenAndEndsAtHundred) {
    MakeDrive(8 * 1024, 512);
    Wipe();

    // 12.5 -> 12, 37.5 -> 38, 62.5 -> 62, 87.5 -> 88.
    EXPECT_EQ(window.progress, (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88, 100}));
}

TEST_F(WipeDeviceTest, PumpsOnceBeforeTheFirstChunkAndOncePerChunkBetweenProgressAndPositioning) {
    MakeDrive(2 * 1024 + 1, 512);
    Wipe();

    const std::vector<std::string> expected = {
        "pump",         "progress 0",   "pump",         "seek 0",
        "write 524288", "progress 50",  "pump",         "seek 524288",
        "write 524288", "progress 100", "pump",         "seek 1048576",
        "write 512",    "flush",        "progress 100", "line " + std::string(kStamp) + "   " + kDone,
        "box Format"};
    EXPECT_EQ(events, expected);
}

TEST_F(WipeDeviceTest, CleanWipeFlushesAfterTheLastWriteAndShowsTheFormatBox) {
    MakeDrive(1024, 512);
    Wipe();

    const auto journal = sim.Journal();
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back().call, Call::Flush);
    EXPECT_EQ(journal.back().handle, state.DeviceHandle);
    EXPECT_EQ(window.boxes, (std::vector<ShownBox>{{kDone, "Format", BoxIcon::Information}}));
}

TEST_F(WipeDeviceTest, FlushFailureIsAFailureOfTheWipe) {
    MakeDrive(1024, 512, [](sim::DriveBuilder& d) { d.FailFlush(win::ERROR_IO_DEVICE); });
    const WipeOutcome outcome = Wipe();

    EXPECT_TRUE(outcome.flushFailed);
    const std::string closing = "Wipe finished with errors: the drive's write cache could not be flushed.";
    EXPECT_EQ(Logged(),
              (std::vector<std::string>{
                  "Flush error: the drive did not confirm that the zeroes are on the medium, error code 1117",
                  closing, kNotErased}));
    EXPECT_EQ(
        window.boxes,
        (std::vector<ShownBox>{{closing + " " + kNotErased, "Wipe finished with errors", BoxIcon::Warning}}));
    EXPECT_EQ(Offsets(Call::Seek).back(), 1024 * 512) << "the drive is looked at again, at its end";
}

// A drive removed after the last write can fail the flush with a plain I/O error.
TEST_F(WipeDeviceTest, FlushFailureOfADriveNoLongerThereStopsTheWipeAsGone) {
    MakeDrive(1024, 512, [](sim::DriveBuilder& d) {
        d.FailFlush(win::ERROR_IO_DEVICE).FailSeekAt(1024 * 512, win::ERROR_DEVICE_NOT_CONNECTED);
    });
    EXPECT_TRUE(Wipe().driveGone);
    EXPECT_EQ(Logged().at(1),
              "Wipe stopped at offset 524288: the drive is no longer connected (error code 1167).");
}

TEST_F(WipeDeviceTest, FailedChunksAndFailedFlushAreBothReported) {
    MakeDrive(3 * 1024, 512, [](sim::DriveBuilder& d) {
        d.FailWriteAt(0, win::ERROR_CRC)
            .FailWriteAt(2 * 524288, win::ERROR_CRC)
            .FailFlush(win::ERROR_IO_DEVICE);
    });
    const WipeOutcome outcome = Wipe();

    EXPECT_EQ(window.boxes.back().text,
              "Wipe finished with errors: 2 chunks (1048576 bytes) could not be written and the drive's "
              "write cache could not be flushed. The drive is not fully erased.");
    EXPECT_EQ(outcome.failedChunks, 2);
}

TEST_F(WipeDeviceTest, EmptyDriveWritesNothingAndGoesStraightToHundred) {
    MakeDrive(0, 512);
    const WipeOutcome outcome = Wipe();

    EXPECT_TRUE(sim.Calls(Call::Seek).empty());
    EXPECT_TRUE(sim.Calls(Call::Write).empty());
    EXPECT_EQ(window.progress, std::vector<int>{100});
    EXPECT_EQ(Logged(), std::vector<std::string>{kDone});
    EXPECT_TRUE(outcome.Clean());
}

// The main window's close handler runs inside a pump: it closes DeviceHandle and the pump says so.
TEST_F(WipeDeviceTest, WindowClosedDuringTheWipeStopsItWithoutTouchingTheHandleAgain) {
    MakeDrive(6 * 1024, 512);
    const Handle handle = state.DeviceHandle;
    window.onPump = [&](int pump) {
        if (pump < 4) return true;
        ks.Close(state.DeviceHandle);
        return false;
    };
    const WipeOutcome outcome = Wipe();

    EXPECT_TRUE(outcome.handleClosed);
    EXPECT_EQ(outcome.stoppedAt, 2 * kChunk);
    ASSERT_EQ(sim.Calls(Call::Close).size(), 1u);
    EXPECT_TRUE(CallsAfterClose(handle).empty());
    EXPECT_EQ(Offsets(Call::Write), (std::vector<std::int64_t>{0, kChunk}));
    EXPECT_TRUE(sim.Calls(Call::Flush).empty());
    EXPECT_TRUE(window.boxes.empty()) << "the program is ending: no box";
    EXPECT_EQ(Logged(), (std::vector<std::string>{
                            "Wipe stopped at offset 1048576: the main window was closed.", kNotErased}));
    EXPECT_EQ(window.progress.back(), 33) << "the bar is not moved to 100 for a wipe that did not finish";
}

TEST_F(WipeDeviceTest, WindowClosedBeforeTheFirstChunkWritesNothing) {
    MakeDrive(2 * 1024, 512);
    const Handle handle = state.DeviceHandle;
    window.onPump = [&](int) {
        ks.Close(state.DeviceHandle);
        return false;
    };
    const WipeOutcome outcome = Wipe();

    EXPECT_TRUE(outcome.handleClosed);
    EXPECT_EQ(outcome.stoppedAt, 0);
    EXPECT_TRUE(CallsAfterClose(handle).empty());
    EXPECT_TRUE(sim.Calls(Call::Seek).empty());
    EXPECT_TRUE(window.progress.empty());
}

TEST_F(WipeDeviceTest, HandleResetByTheCloseHandlerStopsTheWipeEvenIfThePumpSaysOpen) {
    MakeDrive(4 * 1024, 512);
    const Handle handle = state.DeviceHandle;
    window.onPump = [&](int pump) {
        if (pump == 3) {
            ks.Close(state.DeviceHandle);
            state.DeviceHandle = kNoHandle;
        }
        return true;
    };
    const WipeOutcome outcome = Wipe();

    EXPECT_TRUE(outcome.handleClosed);
    EXPECT_TRUE(CallsAfterClose(handle).empty());
    EXPECT_TRUE(sim.Calls(Call::Flush).empty());
}

// A drive that is gone stops the wipe at the failing call; an error of the medium does not.
struct GoneCase {
    const char* name;
    std::function<void(sim::DriveBuilder&)> fault;
    std::vector<std::int64_t> writes;  // offsets of every write sent
    std::vector<std::string> log;
    bool stops;
};

class WipeDriveGone : public WipeDeviceTest, public ::testing::WithParamInterface<GoneCase> {};

TEST_P(WipeDriveGone, StopsAtTheFailingCallAndSendsNothingMore) {
    const GoneCase& c = GetParam();
    MakeDrive(4 * 1024, 512, c.fault);
    const WipeOutcome outcome = Wipe();

    EXPECT_EQ(Offsets(Call::Write), c.writes);
    EXPECT_EQ(Logged(), c.log);
    EXPECT_EQ(window.boxes, (std::vector<ShownBox>{{c.log[c.log.size() - 2] + " " + c.log.back(),
                                                    "Wipe finished with errors", BoxIcon::Warning}}));
    EXPECT_EQ(outcome.driveGone, c.stops);
    EXPECT_FALSE(outcome.Clean());
    const auto journal = sim.Journal();
    const auto failed = std::count_if(journal.begin(), journal.end(), [](const auto& e) { return !e.ok; });
    EXPECT_EQ(failed, 1);
    ASSERT_FALSE(journal.empty());
    if (c.stops) {
        EXPECT_FALSE(journal.back().ok) << "no call through the handle after the failure";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, WipeDriveGone,
    ::testing::Values(
        GoneCase{"NotConnectedOnAWrite",
                 [](sim::DriveBuilder& d) { d.VanishAt(2 * kChunk + 4096, win::ERROR_DEVICE_NOT_CONNECTED); },
                 {0, kChunk, 2 * kChunk},
                 {"Write Error occured at offset 1048576",
                  "Wipe stopped at offset 1048576: the drive is no longer connected (error code 1167).",
                  kNotErased},
                 true},
        GoneCase{
            "NoSuchDeviceOnAPositioning",
            [](sim::DriveBuilder& d) { d.FailSeekAt(kChunk, win::ERROR_NO_SUCH_DEVICE); },
            {0},
            {"Seek error occured at offset 524288",
             "Wipe stopped at offset 524288: the drive is no longer connected (error code 433).", kNotErased},
            true},
        GoneCase{
            "DevNotExistOnTheFlush",
            [](sim::DriveBuilder& d) { d.FailFlush(win::ERROR_DEV_NOT_EXIST); },
            {0, kChunk, 2 * kChunk, 3 * kChunk},
            {"Flush error: the drive did not confirm that the zeroes are on the medium, error code 55",
             "Wipe stopped at offset 2097152: the drive is no longer connected (error code 55).", kNotErased},
            true},
        GoneCase{"MediumErrorGoesOn",
                 [](sim::DriveBuilder& d) { d.FailWriteAt(kChunk, win::ERROR_CRC); },
                 {0, kChunk, 2 * kChunk, 3 * kChunk},
                 {"Write Error occured at offset 524288", kOneChunkFailed, kNotErased},
                 false}),
    [](const ::testing::TestParamInfo<GoneCase>& p) { return std::string(p.param.name); });

TEST_F(WipeDeviceTest, ClosingTextsForEachOutcome) {
    WipeOutcome clean;
    EXPECT_EQ(WipeClosingText(clean), kDone);
    EXPECT_EQ(kDone.size(), 74u);

    WipeOutcome many;
    many.failedChunks = 12;
    many.failedBytes = 12 * kChunk;
    EXPECT_EQ(
        WipeClosingText(many),
        "Wipe finished with errors: 12 chunks (6291456 bytes) could not be written. The drive is not fully "
        "erased.");
}

}  // namespace
}  // namespace orm::test
