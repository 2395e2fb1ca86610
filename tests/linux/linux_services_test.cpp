// The calls of LinuxKernelServices that need no root and no real drive.
#include "platform/linux/linux_kernel_services.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "fake_sysfs.h"
#include "platform/win_layouts.h"

namespace orm::lnx {
namespace {

Handle OpenRead(LinuxKernelServices& k, const std::string& path) {
    return k.Open(path, win::GENERIC_READ, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING,
                  0);
}

TEST(LinuxOpen, RefusesWhatIsNotABlockDevice) {
    LinuxKernelServices k;
    const std::string file = (std::filesystem::temp_directory_path() / "orm-not-a-disk.img").string();
    std::ofstream(file) << "data";

    struct Case {
        std::string path;
        std::uint32_t code;
        const char* text;
    } cases[] = {
        {"", win::ERROR_FILE_NOT_FOUND, "No such file or directory"},
        {"/dev/orm-no-such-disk", win::ERROR_FILE_NOT_FOUND, "No such file or directory"},
        {file, kErrnoCodeBit | ENOTBLK, "Block device required"},
        {"/dev/null", kErrnoCodeBit | ENOTBLK, "Block device required"},
        {"/dev/orm-no-such-dir/disk", win::ERROR_FILE_NOT_FOUND, "No such file or directory"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OpenRead(k, c.path), kInvalidHandle) << c.path;
        EXPECT_EQ(k.LastError(), c.code) << c.path;
        EXPECT_EQ(k.ErrorText(k.LastError()), c.text);
    }
    EXPECT_EQ(k.Open(file, win::GENERIC_READ, 3, 1 /* CREATE_NEW */, 0), kInvalidHandle);
    EXPECT_EQ(k.LastError(), win::ERROR_INVALID_PARAMETER);
    std::filesystem::remove(file);
}

TEST(LinuxOpen, CallsOnAnUnknownHandleFailCleanly) {
    LinuxKernelServices k;
    std::uint8_t out[512];
    std::uint32_t returned = 77;
    for (Handle h : {kNoHandle, kInvalidHandle, Handle{0x100}, Handle{0x7FFFFFFF}}) {
        EXPECT_FALSE(k.Close(h));
        EXPECT_EQ(k.LastError(), win::ERROR_INVALID_HANDLE);
        EXPECT_FALSE(k.Control(h, win::IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, out, sizeof out, &returned));
        EXPECT_EQ(returned, 0u);
        std::int64_t position = -5;
        EXPECT_FALSE(k.Seek(h, 0, &position));
        std::uint32_t written = 77;
        EXPECT_FALSE(k.Write(h, out, sizeof out, &written));
        EXPECT_EQ(written, 0u);
        EXPECT_FALSE(k.Flush(h));
        EXPECT_EQ(k.LastError(), win::ERROR_INVALID_HANDLE);
    }
}

TEST(LinuxDrivePath, ListsSysfsDrivesAndNothingPastThem) {
    test::FakeSysfs sys;
    sys.AddDisk("sdb", {{"ro", "0\n"}});
    sys.AddDisk("sda", {{"ro", "0\n"}});
    LinuxKernelServices k(sys.Root());
    EXPECT_EQ(k.DrivePath(0), "/dev/sda");
    EXPECT_EQ(k.DrivePath(1), "/dev/sdb");
    EXPECT_EQ(k.DrivePath(2), "");
    EXPECT_EQ(k.DrivePath(255), "");
    EXPECT_EQ(OpenRead(k, k.DrivePath(2)), kInvalidHandle);
    EXPECT_EQ(k.LastError(), win::ERROR_FILE_NOT_FOUND);

    // A new probe (drive 0 again) reads sysfs afresh.
    sys.AddDisk("nvme0n1", {{"ro", "0\n"}});
    EXPECT_EQ(k.DrivePath(1), "/dev/sdb");
    EXPECT_EQ(k.DrivePath(0), "/dev/sda");
    EXPECT_EQ(k.DrivePath(2), "/dev/nvme0n1");
}

TEST(LinuxClock, CounterIsMonotonicNanoseconds) {
    LinuxKernelServices k;
    std::int64_t frequency = 0;
    ASSERT_TRUE(k.Frequency(&frequency));
    EXPECT_EQ(frequency, 1'000'000'000);
    std::int64_t before = 0;
    std::int64_t after = 0;
    ASSERT_TRUE(k.Counter(&before));
    EXPECT_GT(before, 0);
    k.Sleep(20);
    ASSERT_TRUE(k.Counter(&after));
    EXPECT_GE(after - before, 20'000'000);  // a sleep never ends early
    EXPECT_EQ(k.PlatformId(), 2);
}

struct TickCount {
    std::atomic<long> ticks{0};
    LinuxKernelServices* services = nullptr;
    std::atomic<std::uint32_t> selfStopId{0};
    std::atomic<bool> stopped{false};
};

void Tick(void* user) {
    static_cast<TickCount*>(user)->ticks.fetch_add(1);
}

void TickAndStopSelf(void* user) {
    auto* t = static_cast<TickCount*>(user);
    const long n = t->ticks.fetch_add(1) + 1;
    const std::uint32_t id = t->selfStopId.load();
    if (n >= 3 && id != 0 && !t->stopped.load()) t->stopped.store(t->services->StopTimer(id));
}

bool WaitForTicks(LinuxKernelServices& k, const TickCount& t, long wanted) {
    for (int i = 0; i < 5000 && t.ticks.load() < wanted; ++i) k.Sleep(1);
    return t.ticks.load() >= wanted;
}

TEST(LinuxTimer, TicksUntilStoppedAndNeverAfter) {
    LinuxKernelServices k;
    TickCount a;
    TickCount b;
    const std::uint32_t idA = k.StartTimer(1, Tick, &a);
    const std::uint32_t idB = k.StartTimer(2, Tick, &b);
    EXPECT_NE(idA, 0u);
    EXPECT_NE(idB, 0u);
    EXPECT_NE(idA, idB);
    ASSERT_TRUE(WaitForTicks(k, a, 10));
    ASSERT_TRUE(WaitForTicks(k, b, 3));
    EXPECT_TRUE(k.StopTimer(idA));
    const long stopped = a.ticks.load();
    k.Sleep(30);
    EXPECT_EQ(a.ticks.load(), stopped);
    EXPECT_FALSE(k.StopTimer(idA));
    EXPECT_TRUE(k.StopTimer(idB));
    EXPECT_FALSE(k.StopTimer(0));
    EXPECT_EQ(k.StartTimer(1, nullptr, nullptr), 0u);
}

TEST(LinuxTimer, CallbackMayStopItsOwnTimer) {
    LinuxKernelServices k;
    TickCount t;
    t.services = &k;
    t.selfStopId = k.StartTimer(1, TickAndStopSelf, &t);
    ASSERT_NE(t.selfStopId.load(), 0u);
    for (int i = 0; i < 5000 && !t.stopped.load(); ++i) k.Sleep(1);
    ASSERT_TRUE(t.stopped.load());
    const long ticks = t.ticks.load();
    k.Sleep(30);
    EXPECT_EQ(t.ticks.load(), ticks);
    EXPECT_FALSE(k.StopTimer(t.selfStopId.load()));
}

TEST(LinuxTimer, TimersStillRunningStopWithTheServices) {
    TickCount t;
    {
        LinuxKernelServices k;
        ASSERT_NE(k.StartTimer(1, Tick, &t), 0u);
        ASSERT_TRUE(WaitForTicks(k, t, 2));
    }
    const long after = t.ticks.load();
    LinuxKernelServices clock;
    clock.Sleep(20);
    EXPECT_EQ(t.ticks.load(), after);
}

TEST(LinuxSetupLibrary, BindsEveryLibudevSlot) {
    LinuxKernelServices k;
    EXPECT_EQ(k.SetupLibraryName(), "libudev.so.1");
    void* module = k.LoadLib(k.SetupLibraryName());
    if (module == nullptr) GTEST_SKIP() << "libudev.so.1 is not installed (Debian package libudev1)";
    EXPECT_GE(k.SetupLibrarySlots().size(), 20u);
    for (const std::string& slot : k.SetupLibrarySlots()) {
        EXPECT_NE(k.FindSymbol(module, slot), nullptr) << slot;
        EXPECT_EQ(k.LastError(), 0u);
    }
    EXPECT_EQ(k.FindSymbol(module, "udev_orm_no_such_entry"), nullptr);
    EXPECT_EQ(k.LastError(), kErrorProcNotFound);
    EXPECT_NE(k.ErrorText(k.LastError()).find("udev_orm_no_such_entry"), std::string::npos);
    EXPECT_TRUE(k.FreeLib(module));
}

TEST(LinuxSetupLibrary, MissingLibraryFailsWithTheLoadersText) {
    LinuxKernelServices k;
    EXPECT_EQ(k.LoadLib("liborm-no-such-library.so.1"), nullptr);
    EXPECT_EQ(k.LastError(), kErrorModNotFound);
    EXPECT_NE(k.ErrorText(kErrorModNotFound).find("liborm-no-such-library.so.1"), std::string::npos);
    EXPECT_EQ(k.FindSymbol(nullptr, "udev_new"), nullptr);
    EXPECT_FALSE(k.FreeLib(nullptr));
}

TEST(LinuxWebAddress, StartsTheOpenerAndTellsWhenItIsMissing) {
    LinuxKernelServices k;
    k.SetWebOpener("true");
    EXPECT_TRUE(k.OpenWebAddress("https://example.invalid/"));
    EXPECT_EQ(k.LastError(), 0u);
    k.SetWebOpener("/nonexistent/orm-opener");
    EXPECT_FALSE(k.OpenWebAddress("https://example.invalid/"));
    EXPECT_EQ(k.LastError(), win::ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace orm::lnx
