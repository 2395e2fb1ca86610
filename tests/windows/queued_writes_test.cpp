// The wipe's queued writes through the real Windows layer (overlapped writes on a second handle,
// completions from a port), on an image file in the temporary folder: every byte zeroed, the
// same lines as one write at a time, and a close mid-wipe that waits for the writes in flight.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "discovery/device_table.h"
#include "platform/windows/windows_kernel_services.h"
#include "wipe/wipe_arithmetic.h"
#include "wipe/wipe_device.h"
#include "wipe_test_support.h"

namespace orm::windows {
namespace {

constexpr std::int64_t kChunk = WipeChunkSize;
constexpr std::int64_t kBytes = 7 * kChunk + 4096;  // seven chunks and a short tail

struct QueuedCase {
    const char* name;
    int closeAtPump;  // 0: the window stays open
    std::vector<std::string> log;
    std::int64_t zeroed;  // the image's bytes zero from its start; the rest keep their 0xA5
};

class QueuedWrites : public ::testing::TestWithParam<QueuedCase> {};

std::string ImagePath() {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "orm-queued-writes-" + std::to_string(GetCurrentProcessId()) + ".img";
}

TEST_P(QueuedWrites, ZeroFillAFileThroughTheCompletionPort) {
    const QueuedCase& c = GetParam();
    const std::string path = ImagePath();
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const std::vector<char> pattern(static_cast<std::size_t>(kBytes), static_cast<char>(0xA5));
        ASSERT_EQ(std::fwrite(pattern.data(), 1, pattern.size(), f), pattern.size());
        std::fclose(f);
    }

    WindowsKernelServices ks;
    RunState state;
    TDeviceTable& record = state.Record(1);
    record.SectorCount = kBytes / 512;
    record.BytesPerSector = 512;
    state.DrivesFound = 1;
    state.ChosenIndex = 1;
    state.DeviceChosen = true;
    state.DeviceHandle =
        ks.Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    ASSERT_NE(state.DeviceHandle, kInvalidHandle);
    ASSERT_EQ(ks.OpenWriteQueue(state.DeviceHandle, kWipeQueueDepth), kWipeQueueDepth);
    ks.CloseWriteQueue(state.DeviceHandle);

    std::vector<std::string> events;
    test::WindowRecorder window{events};
    test::FixedRegional regional;
    window.onPump = [&](int pump) {
        if (pump != c.closeAtPump) return true;
        ks.Close(state.DeviceHandle);
        state.DeviceHandle = kNoHandle;
        return false;
    };
    WipeContext ctx{ks, state, regional, window, window, window, window, window};
    WipeDevice(ctx);
    if (state.DeviceHandle != kNoHandle) {
        EXPECT_TRUE(ks.Close(state.DeviceHandle));
    }

    std::vector<std::string> lines;
    for (const std::string& line : window.lines)
        lines.push_back(line.substr(std::string(test::kStamp).size() + 3));
    EXPECT_EQ(lines, c.log);

    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(kBytes) + 1);
    const std::size_t read = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    std::remove(path.c_str());
    ASSERT_EQ(read, static_cast<std::size_t>(kBytes)) << "the wipe changed the image's size";
    std::int64_t zeroed = 0;
    while (zeroed < kBytes && bytes[static_cast<std::size_t>(zeroed)] == 0) ++zeroed;
    EXPECT_GE(zeroed, c.zeroed);
    // A close cancels or waits for the writes in flight, at most the queue's depth past the stop;
    // nothing after them is written.
    const std::int64_t reach =
        c.closeAtPump == 0 ? kBytes : c.zeroed + static_cast<std::int64_t>(kWipeQueueDepth) * kChunk;
    for (std::int64_t at = reach; at < kBytes; ++at) {
        ASSERT_EQ(bytes[static_cast<std::size_t>(at)], 0xA5) << "at " << at;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QueuedWrites,
    ::testing::Values(QueuedCase{"WholeImage", 0, {kWipeDoneText}, kBytes},
                      QueuedCase{"ClosedMidWipe",
                                 4,
                                 {"Wipe stopped at offset 1048576: the main window was closed.",
                                  "The drive is not fully erased."},
                                 2 * kChunk}),
    [](const ::testing::TestParamInfo<QueuedCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace orm::windows
