// The start-up probe over the Linux services finds the loop devices a test attaches, with their
// sizes, and leaves out a read-only one.
#include <gtest/gtest.h>

#include <memory>

#include "discovery/probe.h"
#include "loop_device.h"
#include "platform/linux/linux_kernel_services.h"
#include "platform/win_layouts.h"
#include "support/recorders.h"

namespace orm::lnx {
namespace {

const TDeviceTable* FindRecord(const RunState& state, const std::string& path) {
    for (std::int64_t i = 1; i <= state.DrivesFound; ++i) {
        if (state.Record(i).DevicePath == path) return &state.Record(i);
    }
    return nullptr;
}

TEST(ProbeOnLoopDevices, FindsTheWritableOnesWithTheirSizes) {
    const std::string why = test::LoopUnavailableReason();
    if (!why.empty()) GTEST_SKIP() << why;
    test::TempDir dir;
    constexpr std::uint64_t kBytes = 64ull << 20;
    test::LoopDevice small(dir.Path(), "probe512.img", kBytes, 512, false);
    test::LoopDevice large(dir.Path(), "probe4096.img", kBytes, 4096, false);
    test::LoopDevice readOnly(dir.Path(), "probero.img", kBytes, 512, true);
    ASSERT_FALSE(small.Path().empty() || large.Path().empty() || readOnly.Path().empty());

    LinuxKernelServices k;
    RunState state;
    testing::FatalRecorder fatal;
    ASSERT_TRUE(ProbeDrives(k, state, fatal)) << ::testing::PrintToString(fatal.calls);
    EXPECT_TRUE(fatal.calls.empty());

    const TDeviceTable* r512 = FindRecord(state, small.Path());
    const TDeviceTable* r4096 = FindRecord(state, large.Path());
    if (state.DrivesFound == kMaxDrives && (r512 == nullptr || r4096 == nullptr)) {
        GTEST_SKIP() << "this machine has 16 drives before the test's loop devices";
    }
    ASSERT_NE(r512, nullptr);
    ASSERT_NE(r4096, nullptr);
    EXPECT_EQ(r512->SectorCount, static_cast<std::int64_t>(kBytes / 512));
    EXPECT_EQ(r512->BytesPerSector, 512);
    EXPECT_EQ(r4096->SectorCount, static_cast<std::int64_t>(kBytes / 4096));
    EXPECT_EQ(r4096->BytesPerSector, 4096);
    EXPECT_EQ(r512->BusType, win::BusTypeFileBackedVirtual);
    EXPECT_EQ(FieldText(r512->Model).substr(0, 17), "Loop probe512.img");
    EXPECT_EQ(FindRecord(state, readOnly.Path()), nullptr);

    // Opened for reading and writing, a listed drive identifies as the drive the probe listed.
    const Handle h = k.Open(large.Path(), win::GENERIC_READ | win::GENERIC_WRITE,
                            win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
    ASSERT_NE(h, kInvalidHandle) << k.ErrorText(k.LastError());
    EXPECT_FALSE(CompareWithRecord(k, h, *r4096).Any());
    EXPECT_TRUE(CompareWithRecord(k, h, *r512).Any()) << "another loop device is another drive";
    EXPECT_TRUE(k.Close(h));
}

}  // namespace
}  // namespace orm::lnx
