// The Windows kernel services pass each call on with the arguments the program relies on.
#include <gtest/gtest.h>

#include "ata/hidden_sectors.h"
#include "platform/windows/setup_api_names.h"
#include "platform/windows/windows_kernel_services.h"
#include "recording_win32_calls.h"

namespace orm::windows {
namespace {

using testing::RecordingWin32Calls;

class SeamCalls : public ::testing::Test {
  protected:
    RecordingWin32Calls calls;
    WindowsKernelServices ks{calls};
};

TEST_F(SeamCalls, OpenPassesPathAndFlagsAndClearsAStaleLastError) {
    calls.PresetLastError(ERROR_ALREADY_EXISTS);
    const Handle handle = ks.Open("\\\\.\\PhysicalDrive3", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    EXPECT_EQ(handle, 0x44);
    EXPECT_EQ(calls.openedName, "\\\\.\\PhysicalDrive3");
    // Access, share mode, disposition, flags, and the last error as the call found it.
    EXPECT_EQ((std::vector<DWORD>{calls.openedAccess, calls.openedShare, calls.openedDisposition,
                                  calls.openedFlags, calls.lastErrorAtOpen}),
              (std::vector<DWORD>{0xC0000000u, 3, 3, 0, 0}));
    EXPECT_EQ(ks.LastError(), 0u);
}

TEST_F(SeamCalls, FailedOpenGivesTheInvalidHandleAndItsError) {
    calls.openResult = INVALID_HANDLE_VALUE;
    calls.openError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(ks.Open("\\\\.\\PhysicalDrive0", GENERIC_READ, 3, OPEN_EXISTING, 0), kInvalidHandle);
    EXPECT_EQ(ks.LastError(), static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
}

TEST_F(SeamCalls, ValidHandleWithALastErrorIsPassedOnAsItIs) {
    calls.openError = ERROR_SHARING_VIOLATION;
    EXPECT_EQ(ks.Open("\\\\.\\PhysicalDrive0", GENERIC_READ, 3, OPEN_EXISTING, 0), 0x44);
    EXPECT_EQ(ks.LastError(), static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
}

struct SeekCase {
    std::int64_t offset;
    LONG low;
    LONG high;
};

TEST_F(SeamCalls, SeekSplitsTheWholeOffsetIntoLowAndHighParts) {
    const SeekCase cases[] = {
        {0, 0, 0},
        {524'288, 524'288, 0},
        {0x7FFF'FFFFLL, 0x7FFF'FFFF, 0},
        {0x8000'0000LL, static_cast<LONG>(0x8000'0000u), 0},
        {0x1'0000'0000LL, 0, 1},
        {2'000'398'934'016LL - 524'288, static_cast<LONG>(0xC1096000u), 0x1D1},
    };
    for (const SeekCase& c : cases) {
        calls.seekReportLow = static_cast<DWORD>(c.low);
        calls.seekReportHigh = c.high;
        std::int64_t position = -1;
        ASSERT_TRUE(ks.Seek(7, c.offset, &position)) << c.offset;
        EXPECT_EQ(calls.seekLow, c.low) << c.offset;
        EXPECT_EQ(calls.seekHigh, c.high) << c.offset;
        EXPECT_EQ(calls.seekMethod, static_cast<DWORD>(FILE_BEGIN));
        EXPECT_EQ(position, c.offset);
    }
}

TEST_F(SeamCalls, SeekFailsOnlyWhenTheLastErrorSaysSo) {
    // A position whose low part is all ones is a success when the call leaves no error.
    calls.PresetLastError(ERROR_IO_DEVICE);
    calls.seekReportLow = INVALID_SET_FILE_POINTER;
    calls.seekReportHigh = 0;
    std::int64_t position = 0;
    ASSERT_TRUE(ks.Seek(7, 0xFFFF'FFFFLL, &position));
    EXPECT_EQ(calls.lastErrorAtSeek, 0u);
    EXPECT_EQ(position, 0xFFFF'FFFFLL);

    calls.seekError = ERROR_NEGATIVE_SEEK;
    EXPECT_FALSE(ks.Seek(7, 1024, &position));
    EXPECT_EQ(ks.LastError(), static_cast<std::uint32_t>(ERROR_NEGATIVE_SEEK));
}

TEST_F(SeamCalls, WriteReportsTheBytesWritten) {
    calls.writeReports = 4096;
    std::uint32_t written = 0;
    const std::uint8_t buffer[16] = {};
    EXPECT_TRUE(ks.Write(7, buffer, 524'288, &written));
    EXPECT_EQ(calls.writeSize, 524'288u);
    EXPECT_EQ(written, 4096u);
    calls.writeResult = FALSE;
    EXPECT_FALSE(ks.Write(7, buffer, 512, &written));
}

TEST_F(SeamCalls, ErrorTextAsksTheSystemWithA256CharacterBuffer) {
    calls.messageText = "The request is not supported.\r\n";
    EXPECT_EQ(ks.ErrorText(50), "The request is not supported.\r\n");
    EXPECT_EQ(calls.formatFlags,
              static_cast<DWORD>(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                 FORMAT_MESSAGE_ARGUMENT_ARRAY));
    EXPECT_EQ(calls.formatCode, 50u);
    EXPECT_EQ(calls.formatSize, 256u);

    calls.messageText = std::string(400, 'x');
    EXPECT_EQ(ks.ErrorText(1), std::string(255, 'x'));
    calls.messageText.clear();
    EXPECT_EQ(ks.ErrorText(0xDEAD), "");
}

TEST_F(SeamCalls, DrivePathsArePhysicalDriveNames) {
    EXPECT_EQ(ks.DrivePath(0), "\\\\.\\PhysicalDrive0");
    EXPECT_EQ(ks.DrivePath(17), "\\\\.\\PhysicalDrive17");
    EXPECT_EQ(ks.DrivePath(255), "\\\\.\\PhysicalDrive255");
}

void CountTick(void* user) {
    ++*static_cast<int*>(user);
}

TEST_F(SeamCalls, TimerIsPeriodicAtFinestResolutionAndStopsWithItsWholeId) {
    int ticks = 0;
    const std::uint32_t id = ks.StartTimer(1, CountTick, &ticks);
    EXPECT_EQ(id, 0x12345u);
    EXPECT_EQ(calls.timerDelay, 1u);
    EXPECT_EQ(calls.timerResolution, 0u);
    EXPECT_EQ(calls.timerFlags,
              static_cast<UINT>(TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS));
    calls.FireTimer();
    calls.FireTimer();
    EXPECT_EQ(ticks, 2);

    EXPECT_TRUE(ks.StopTimer(id));
    EXPECT_EQ(calls.killed, std::vector<UINT>{0x12345u});
    // A tick already on its way when the timer was killed reaches nobody.
    calls.FireTimer();
    EXPECT_EQ(ticks, 2);
}

TEST_F(SeamCalls, TimerThatCannotStartGivesZero) {
    calls.timerId = 0;
    int ticks = 0;
    EXPECT_EQ(ks.StartTimer(1, CountTick, &ticks), 0u);
}

TEST(SeamTimers, RunningTimersAreStoppedWithTheServices) {
    RecordingWin32Calls calls;
    int ticks = 0;
    {
        WindowsKernelServices ks{calls};
        ks.StartTimer(1, CountTick, &ticks);
    }
    EXPECT_EQ(calls.killed, std::vector<UINT>{0x12345u});
}

TEST_F(SeamCalls, PlatformIdIsTheVersionInfosPlatform) {
    EXPECT_EQ(ks.PlatformId(), 2);
    EXPECT_EQ(calls.versionInfoSize, sizeof(OSVERSIONINFOA));
    calls.platformId = 1;
    EXPECT_EQ(ks.PlatformId(), 1);
    calls.versionResult = FALSE;
    EXPECT_EQ(ks.PlatformId(), -1);
}

TEST_F(SeamCalls, SetupLibraryIsSetupApiWithItsSlots) {
    EXPECT_EQ(ks.SetupLibraryName(), "SetupApi.dll");
    EXPECT_EQ(&ks.SetupLibrarySlots(), &SetupApiSlots());
}

TEST_F(SeamCalls, WebAddressIsOpenedWithTheOpenVerbShown) {
    HWND owner = reinterpret_cast<HWND>(static_cast<std::intptr_t>(0x1234));
    ks.SetShellOwner(owner);
    EXPECT_TRUE(ks.OpenWebAddress("http://www.example.com/ormandel/"));
    EXPECT_EQ(calls.shellOwner, owner);
    EXPECT_EQ(calls.shellVerb, "open");
    EXPECT_EQ(calls.shellFile, "http://www.example.com/ormandel/");
    EXPECT_EQ(calls.shellShow, SW_SHOW);
    calls.shellResult = 2;  // ERROR_FILE_NOT_FOUND
    EXPECT_FALSE(ks.OpenWebAddress("x"));
}

// The hidden-sector commands go to IOCTL_ATA_PASS_THROUGH as the core builds them, in one
// buffer for both directions; the address comes back in the task files (high bytes in the
// previous one), the overlay block behind the header.
TEST_F(SeamCalls, AtaPassThroughRequestsAndTheirAnswers) {
    calls.controlAnswer = [](const testing::RecordedControl& call, std::uint8_t* out, DWORD* returned,
                             DWORD*) {
        std::copy(call.input.begin(), call.input.end(), out);
        const std::size_t current = offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile);
        const std::size_t previous = offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile);
        out[current + 6] = 0x50;
        if (out[current] == win::DCO_IDENTIFY) {
            out[sizeof(ATA_PASS_THROUGH_EX) + 6] = 0x2F;  // words 3-6: 0x12F
            out[sizeof(ATA_PASS_THROUGH_EX) + 7] = 0x01;
        } else {
            const std::uint8_t lba[6] = {0x2F, 0x01, 0x00, 0x3A, 0x00, 0x01};  // 0x0100'3A00'012F
            std::copy(lba, lba + 3, out + current + 2);
            std::copy(lba + 3, lba + 6, out + previous + 2);
        }
        *returned = static_cast<DWORD>(call.input.size());
        return TRUE;
    };
    EXPECT_EQ(ReadNativeMaxAddress(ks, 7, 1, true), std::optional<std::uint64_t>(0x01003A00012Fu));
    AtaBlock dco{};
    EXPECT_TRUE(DeviceConfigurationIdentify(ks, 7, 0, dco));
    EXPECT_EQ(DcoMaximumAddress(dco), 0x12Fu);

    ASSERT_EQ(calls.controls.size(), 2u);
    const auto& native = calls.controls[0];
    const auto& overlay = calls.controls[1];
    EXPECT_EQ(native.code, static_cast<DWORD>(IOCTL_ATA_PASS_THROUGH));
    EXPECT_TRUE(native.inputIsOutput && overlay.inputIsOutput);
    ASSERT_EQ(native.input.size(), sizeof(ATA_PASS_THROUGH_EX));
    ASSERT_EQ(overlay.input.size(), sizeof(ATA_PASS_THROUGH_EX) + 512);
    const auto flags = [](const std::vector<std::uint8_t>& in) {
        return win::GetLe16(in.data() + offsetof(ATA_PASS_THROUGH_EX, AtaFlags));
    };
    EXPECT_EQ(flags(native.input), ATA_FLAGS_DRDY_REQUIRED | ATA_FLAGS_48BIT_COMMAND);
    EXPECT_EQ(flags(overlay.input), ATA_FLAGS_DRDY_REQUIRED | ATA_FLAGS_DATA_IN);
    EXPECT_EQ(win::GetLe32(overlay.input.data() + offsetof(ATA_PASS_THROUGH_EX, DataTransferLength)), 512u);
    EXPECT_EQ(win::GetLe64(overlay.input.data() + offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset)),
              sizeof(ATA_PASS_THROUGH_EX));
    const std::size_t task = offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile);
    EXPECT_EQ(std::vector<std::uint8_t>(native.input.begin() + task, native.input.begin() + task + 8),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0xF0, 0x27, 0}));
    EXPECT_EQ(std::vector<std::uint8_t>(overlay.input.begin() + task, overlay.input.begin() + task + 8),
              (std::vector<std::uint8_t>{0xC2, 0, 0, 0, 0, 0xA0, 0xB1, 0}));
}

}  // namespace
}  // namespace orm::windows
