// The whole wipe command, end to end on loop devices through the Linux layer: the loop window
// over a file of random bytes is all zero afterwards, and the bytes of the file outside the
// window are untouched. Needs root and losetup; skips otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "../linux/loop_device.h"
#include "platform/linux/linux_kernel_services.h"
#include "platform/win_layouts.h"
#include "support/choose_by_path.h"
#include "wipe/wipe_command.h"
#include "wipe_test_support.h"

namespace orm::test {
namespace {

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Closes a handle on every way out of a test, before its loop device is detached.
class HandleGuard {
  public:
    HandleGuard(KernelServices& ks, Handle& handle) : m_ks(ks), m_handle(handle) {}
    ~HandleGuard() {
        if (m_handle != kNoHandle && m_handle != kInvalidHandle) m_ks.Close(m_handle);
        m_handle = kNoHandle;
    }

  private:
    KernelServices& m_ks;
    Handle& m_handle;
};

// Headless window: Yes to the confirmation, boxes recorded, a pump that keeps the handle.
struct Headless {
    std::vector<std::string> events;
    WindowRecorder window{events};
    FixedRegional regional;
};

struct LoopCase {
    const char* name;
    std::uint32_t sectorSize;
    std::int64_t windowOffset;  // where the loop device starts in the backing file
    std::int64_t windowSize;    // the loop device's size: not a multiple of 512 KiB
    std::int64_t tail;          // bytes of the file behind the window
};

class WipeOnLoopDevice : public ::testing::TestWithParam<LoopCase> {};

TEST_P(WipeOnLoopDevice, ZeroesTheWholeDeviceAndNothingOutsideIt) {
    const LoopCase& c = GetParam();
    if (const std::string why = lnx::test::LoopUnavailableReason(); !why.empty()) GTEST_SKIP() << why;

    lnx::test::TempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    const std::string file = dir.Path() + "/backing.img";
    const std::int64_t fileSize = c.windowOffset + c.windowSize + c.tail;
    std::vector<std::uint8_t> original(static_cast<std::size_t>(fileSize));
    std::mt19937_64 random(0x0A11DA7Au + c.sectorSize);
    for (auto& byte : original) byte = static_cast<std::uint8_t>(random() | 1);  // never zero
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(original.data()),
                  static_cast<std::streamsize>(original.size()));
        ASSERT_TRUE(out.good());
    }

    WipeOutcome outcome;
    Headless ui;
    {
        // The file keeps its bytes; the loop device is the window of it.
        lnx::test::LoopDevice loop(
            dir.Path(), "backing.img", static_cast<std::uint64_t>(fileSize), c.sectorSize, false,
            "--offset " + std::to_string(c.windowOffset) + " --sizelimit " + std::to_string(c.windowSize));
        if (loop.Path().empty()) GTEST_SKIP() << "losetup could not set up a loop device here";

        lnx::LinuxKernelServices ks;
        RunState state;
        std::uint32_t error = 0;
        ASSERT_TRUE(ChooseDriveByPath(ks, loop.Path(), state, &error)) << error << " " << ks.ErrorText(error);
        HandleGuard guard(ks, state.DeviceHandle);
        // Sector size and length as the probe read them.
        ASSERT_EQ(state.Chosen().BytesPerSector, c.sectorSize);
        ASSERT_EQ(state.Chosen().SectorCount * state.Chosen().BytesPerSector, c.windowSize);
        EXPECT_TRUE(ks.IsDirect(state.DeviceHandle)) << "the wipe's writes should bypass the page cache";

        WipeContext ctx{ks, state, ui.regional, ui.window, ui.window, ui.window, ui.window, ui.window};
        NoSleepBlock sleep;
        ASSERT_TRUE(RunWipeCommand(ctx, sleep, &outcome));
    }

    EXPECT_TRUE(outcome.Clean());
    ASSERT_FALSE(ui.window.lines.empty());
    EXPECT_EQ(ui.window.lines.back(), std::string(kStamp) + "   " + kWipeDoneText);
    ASSERT_EQ(ui.window.boxes.size(), 1u);
    EXPECT_EQ(ui.window.boxes[0].caption, "Format");

    const std::vector<std::uint8_t> after = ReadFile(file);
    ASSERT_EQ(after.size(), original.size());
    const auto windowBegin = static_cast<std::size_t>(c.windowOffset);
    const auto windowEnd = static_cast<std::size_t>(c.windowOffset + c.windowSize);
    std::size_t firstNonZero = windowEnd;
    for (std::size_t i = windowBegin; i < windowEnd; ++i) {
        if (after[i] != 0) {
            firstNonZero = i;
            break;
        }
    }
    EXPECT_EQ(firstNonZero, windowEnd) << "a byte inside the loop window is not zero";
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + c.windowOffset, original.begin()))
        << "bytes before the loop window changed";
    EXPECT_TRUE(std::equal(after.begin() + c.windowOffset + c.windowSize, after.end(),
                           original.begin() + c.windowOffset + c.windowSize))
        << "bytes after the loop window changed";
}

INSTANTIATE_TEST_SUITE_P(
    SectorSizes, WipeOnLoopDevice,
    ::testing::Values(LoopCase{"Sectors512", 512, 1048576 + 512, 8 * 1048576 + 5 * 512, 1048576 + 512},
                      LoopCase{"Sectors4096", 4096, 2 * 1048576 + 4096, 8 * 1048576 + 3 * 4096, 1048576}),
    [](const ::testing::TestParamInfo<LoopCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace orm::test
