// The two answers the Windows layer mends: SATA adapters reported as ATA, and IDENTIFY fetched
// another way when the SCSI miniport does not answer it. Checked through the recorder, since no
// Wine drive answers either call.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "ata/ata_commands.h"
#include "platform/windows/windows_kernel_services.h"
#include "recording_win32_calls.h"

namespace orm::windows {
namespace {

using testing::RecordedControl;
using testing::RecordingWin32Calls;

constexpr DWORD kApt = IOCTL_ATA_PASS_THROUGH;
constexpr DWORD kSmartReceive = SMART_RCV_DRIVE_DATA;
constexpr DWORD kMiniport = IOCTL_SCSI_MINIPORT;

// ---- Adapter bus type ---------------------------------------------------------------------------

struct BusCase {
    std::uint32_t propertyId;
    std::uint8_t reported;
    DWORD returned;
    std::uint8_t seen;
    DWORD error = ERROR_SUCCESS;  // the query fails with it
};

TEST(SeamBusType, SataAdaptersAreReportedAsAta) {
    const BusCase cases[] = {
        {1, 11, 32, 3},   // SATA on an AHCI controller
        {1, 3, 32, 3},    // IDE-mode controller
        {1, 7, 32, 7},    // USB stays USB
        {1, 17, 32, 17},  // NVMe stays NVMe
        {1, 8, 32, 8},    // RAID stays RAID
        {1, 11, 24, 11},  // an answer that ends before the bus type byte is left alone
        {0, 11, 40, 11},  // the device descriptor's byte 24 is a text offset, not a bus type
        {1, 11, 0, 11, ERROR_NOT_SUPPORTED},  // a failed query is passed on untouched
    };
    for (const BusCase& c : cases) {
        RecordingWin32Calls calls;
        calls.controlAnswer = [&](const RecordedControl&, std::uint8_t* out, DWORD* returned, DWORD* error) {
            out[24] = c.reported;
            *returned = c.returned;
            *error = c.error;
            return c.error == ERROR_SUCCESS ? TRUE : FALSE;
        };
        WindowsKernelServices ks{calls};
        std::array<std::uint8_t, 12> query{};
        win::PutLe32(query.data(), c.propertyId);
        std::array<std::uint8_t, 512> answer{};
        std::uint32_t returned = 99;
        SCOPED_TRACE(::testing::Message() << "property " << c.propertyId << " bus " << int(c.reported));
        EXPECT_EQ(
            ks.Control(5, IOCTL_STORAGE_QUERY_PROPERTY, query.data(), 12, answer.data(), 512, &returned),
            c.error == ERROR_SUCCESS);
        EXPECT_EQ(ks.LastError(), c.error);
        EXPECT_EQ(answer[24], c.seen);
        EXPECT_EQ(returned, c.returned);
    }
}

// ---- IDENTIFY ------------------------------------------------------------------------------------

AtaBlock Pattern(std::uint8_t seed) {
    AtaBlock block{};
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(seed + i * 7);
    return block;
}

// How each of the three calls answers in one test.
struct Drive {
    bool miniportAnswers = false;
    DWORD miniportError = ERROR_INVALID_FUNCTION;
    DWORD miniportReturned = 0;
    bool passThroughAnswers = false;
    std::uint8_t passThroughStatus = 0x50;  // DRDY | DSC
    DWORD passThroughReturned = 48 + 512;
    bool smartAnswers = false;
    DWORD smartReturned = 528;
    std::uint8_t smartDriverError = 0;  // DRIVERSTATUS.bDriverError
    std::uint8_t smartIdeError = 0;     // DRIVERSTATUS.bIDEError
    AtaBlock data = Pattern(3);
};

RecordingWin32Calls::ControlAnswer Answer(const Drive& drive) {
    return [drive](const RecordedControl& call, std::uint8_t* out, DWORD* returned, DWORD* error) {
        switch (call.code) {
            case kMiniport:
                if (!drive.miniportAnswers) break;
                std::copy(drive.data.begin(), drive.data.end(), out + 44);
                *returned = drive.miniportReturned;
                return TRUE;
            case kApt:
                if (!drive.passThroughAnswers) break;
                out[40 + 6] = drive.passThroughStatus;
                std::copy(drive.data.begin(), drive.data.end(), out + 48);
                *returned = drive.passThroughReturned;
                return TRUE;
            case kSmartReceive:
                if (!drive.smartAnswers) break;
                std::copy(drive.data.begin(), drive.data.end(), out + (drive.smartReturned - 512));
                if (drive.smartReturned == 528) {
                    out[4] = drive.smartDriverError;
                    out[5] = drive.smartIdeError;
                }
                *returned = drive.smartReturned;
                return TRUE;
        }
        *error = call.code == kMiniport ? drive.miniportError : ERROR_NOT_SUPPORTED;
        return FALSE;
    };
}

class SeamIdentify : public ::testing::Test {
  protected:
    void Use(const Drive& drive) { calls.controlAnswer = Answer(drive); }
    std::vector<DWORD> Codes() const {
        std::vector<DWORD> codes;
        for (const RecordedControl& c : calls.controls) codes.push_back(c.code);
        return codes;
    }

    RecordingWin32Calls calls;
    WindowsKernelServices ks{calls};
};

// Each way of fetching IDENTIFY that answers in full gives the drive's block; the calls stop there.
TEST_F(SeamIdentify, TheFirstWayThatAnswersInFullGivesTheBlock) {
    const struct {
        const char* what;
        Drive drive;
        std::vector<DWORD> codes;
    } cases[] = {
        {"miniport answers", {.miniportAnswers = true, .miniportReturned = 556}, {kMiniport}},
        {"short miniport answer",
         {.miniportAnswers = true, .miniportReturned = 555, .smartAnswers = true},
         {kMiniport, kApt, kSmartReceive}},
        {"short pass-through answer",
         {.passThroughAnswers = true,
          .passThroughReturned = 48 + 511,
          .smartAnswers = true,
          .data = Pattern(80)},
         {kMiniport, kApt, kSmartReceive}},
        {"SMART answer without header: taken from offset 0",
         {.smartAnswers = true, .smartReturned = 512},
         {kMiniport, kApt, kSmartReceive}},
    };
    for (const auto& c : cases) {
        calls.controls.clear();
        Use(c.drive);
        AtaBlock data{};
        ASSERT_TRUE(AtaIdentify(ks, 9, 0, data)) << c.what;
        EXPECT_EQ(data, c.drive.data) << c.what;
        EXPECT_EQ(Codes(), c.codes) << c.what;
    }
}

TEST_F(SeamIdentify, PassThroughRequestCarriesTheMiniportsTaskFile) {
    Drive drive;
    drive.passThroughAnswers = true;
    Use(drive);
    AtaBlock data{};
    ASSERT_TRUE(AtaIdentify(ks, 9, 1, data));
    ASSERT_EQ(Codes(), (std::vector<DWORD>{kMiniport, kApt}));

    const RecordedControl& apt = calls.controls[1];
    ASSERT_EQ(apt.input.size(), 48u + 512u);
    EXPECT_TRUE(apt.inputIsOutput);
    EXPECT_EQ(apt.outSize, 48u + 512u);
    const std::uint8_t* in = apt.input.data();
    EXPECT_EQ(win::GetLe16(in + 0), 48);  // Length
    EXPECT_EQ(win::GetLe16(in + 2), ATA_FLAGS_DRDY_REQUIRED | ATA_FLAGS_DATA_IN);
    EXPECT_EQ(in[4] | in[5] | in[6], 0);     // path, target, lun
    EXPECT_EQ(win::GetLe32(in + 8), 512u);   // DataTransferLength
    EXPECT_EQ(win::GetLe32(in + 12), 120u);  // TimeOutValue, seconds
    EXPECT_EQ(win::GetLe64(in + 24), 48u);   // DataBufferOffset
    EXPECT_TRUE(std::all_of(in + 32, in + 40, [](std::uint8_t b) { return b == 0; }));  // previous task file
    const std::array<std::uint8_t, 8> taskFile = {0x00, 0x01, 0x01, 0x00, 0x00, 0xB0, 0xEC, 0x00};
    EXPECT_TRUE(std::equal(taskFile.begin(), taskFile.end(), in + 40));
    EXPECT_TRUE(std::all_of(in + 48, in + 560, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(data, drive.data);
}

TEST_F(SeamIdentify, SmartReceiveRequestCarriesRegistersAndDriveNumber) {
    Drive drive;
    drive.smartAnswers = true;
    Use(drive);
    AtaBlock data{};
    ASSERT_TRUE(AtaIdentify(ks, 9, 1, data));
    ASSERT_EQ(Codes(), (std::vector<DWORD>{kMiniport, kApt, kSmartReceive}));

    const RecordedControl& smart = calls.controls[2];
    ASSERT_EQ(smart.input.size(), 32u);
    EXPECT_EQ(smart.outSize, 528u);
    std::array<std::uint8_t, 32> expected{};
    win::PutLe32(expected.data(), 512);
    const std::array<std::uint8_t, 8> regs = {0x00, 0x01, 0x01, 0x00, 0x00, 0xB0, 0xEC, 0x00};
    std::copy(regs.begin(), regs.end(), expected.begin() + 4);
    expected[12] = 1;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), smart.input.begin()));
    EXPECT_EQ(data, drive.data);
}

TEST_F(SeamIdentify, DriveZeroGetsA0AndDriveNumberZero) {
    Drive drive;
    drive.smartAnswers = true;
    Use(drive);
    AtaBlock data{};
    ASSERT_TRUE(AtaIdentify(ks, 9, 0, data));
    ASSERT_EQ(calls.controls.size(), 3u);
    EXPECT_EQ(calls.controls[1].input[40 + 5], 0xA0);
    EXPECT_EQ(calls.controls[2].input[4 + 5], 0xA0);
    EXPECT_EQ(calls.controls[2].input[12], 0);
}

// The miniport request of the program with `command` in its command register.
std::array<std::uint8_t, 572> MiniportRequest(std::uint8_t command) {
    std::array<std::uint8_t, 572> buffer{};
    win::PutLe32(buffer.data() + 0, 28);
    std::memcpy(buffer.data() + 4, "SCSIDISK", 8);
    win::PutLe32(buffer.data() + 12, 120);
    win::PutLe32(buffer.data() + 16, win::IOCTL_SCSI_MINIPORT_IDENTIFY);
    win::PutLe32(buffer.data() + 24, 544);
    win::PutLe32(buffer.data() + 28, 512);
    const std::array<std::uint8_t, 7> regs = {0x00, 0x01, 0x01, 0x00, 0x00, 0xA0, command};
    std::copy(regs.begin(), regs.end(), buffer.begin() + 32);
    return buffer;
}

TEST_F(SeamIdentify, RefusedCommandsFailWithoutData) {
    const struct {
        const char* what;
        std::uint8_t command;
        Drive drive;
        std::vector<DWORD> codes;
        DWORD error;
    } cases[] = {
        {"not IDENTIFY DEVICE: no other call",
         0xCA,
         {.passThroughAnswers = true, .smartAnswers = true},
         {kMiniport},
         ERROR_INVALID_PARAMETER},
        {"ERR in the pass-through status",
         0xEC,
         {.passThroughAnswers = true, .passThroughStatus = 0x51, .smartAnswers = true},
         {kMiniport, kApt},
         ERROR_IO_DEVICE},
        {"driver error in the SMART answer",
         0xEC,
         {.smartAnswers = true, .smartDriverError = 1},
         {kMiniport, kApt, kSmartReceive},
         ERROR_IO_DEVICE},
        {"IDE error in the SMART answer",
         0xEC,
         {.smartAnswers = true, .smartIdeError = 0x04},
         {kMiniport, kApt, kSmartReceive},
         ERROR_IO_DEVICE},
    };
    for (const auto& c : cases) {
        calls.controls.clear();
        Use(c.drive);
        std::array<std::uint8_t, 572> buffer = MiniportRequest(c.command);
        std::uint32_t returned = 77;
        EXPECT_FALSE(ks.Control(9, kMiniport, buffer.data(), 572, buffer.data(), 572, &returned)) << c.what;
        EXPECT_EQ(returned, 0u) << c.what;
        EXPECT_EQ(ks.LastError(), c.error) << c.what;
        EXPECT_EQ(Codes(), c.codes) << c.what;
        EXPECT_TRUE(std::search(buffer.begin(), buffer.end(), c.drive.data.begin(), c.drive.data.end()) ==
                    buffer.end())
            << c.what << ": no byte of the refused answer is passed on";
    }
}

TEST_F(SeamIdentify, AnswerIsInTheMiniportLayout) {
    Drive drive;
    drive.passThroughAnswers = true;
    Use(drive);

    std::array<std::uint8_t, 572> buffer = MiniportRequest(0xEC);
    const auto request = buffer;

    std::uint32_t returned = 0;
    ASSERT_TRUE(ks.Control(9, kMiniport, buffer.data(), 572, buffer.data(), 572, &returned));
    EXPECT_EQ(returned, 556u);
    EXPECT_EQ(ks.LastError(), 0u);
    EXPECT_TRUE(std::equal(request.begin(), request.begin() + 20, buffer.begin()));  // header as sent
    EXPECT_EQ(win::GetLe32(buffer.data() + 20), 0u);                                 // ReturnCode
    EXPECT_EQ(win::GetLe32(buffer.data() + 24), 544u);
    EXPECT_EQ(win::GetLe32(buffer.data() + 28), 512u);  // SENDCMDOUTPARAMS.cBufferSize
    EXPECT_TRUE(std::all_of(buffer.begin() + 32, buffer.begin() + 44, [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(drive.data.begin(), drive.data.end(), buffer.begin() + 44));
    EXPECT_TRUE(std::all_of(buffer.begin() + 556, buffer.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(SeamIdentify, WhenEveryWayFailsTheMiniportFailureIsReported) {
    Drive drive;
    drive.miniportError = ERROR_INVALID_FUNCTION;
    Use(drive);

    std::array<std::uint8_t, 572> buffer = MiniportRequest(0xEC);
    std::uint32_t returned = 77;
    EXPECT_FALSE(ks.Control(9, kMiniport, buffer.data(), 572, buffer.data(), 572, &returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(ks.LastError(), static_cast<std::uint32_t>(ERROR_INVALID_FUNCTION));
    EXPECT_EQ(Codes(), (std::vector<DWORD>{kMiniport, kApt, kSmartReceive}));

    AtaBlock data = Pattern(9);
    const AtaBlock before = data;
    EXPECT_FALSE(AtaIdentify(ks, 9, 0, data));
    EXPECT_EQ(data, before);
}

TEST_F(SeamIdentify, OtherMiniportFunctionsAreNotFetchedAnotherWay) {
    Use(Drive{});
    std::array<std::uint8_t, 572> buffer{};
    win::PutLe32(buffer.data() + 16, 0x1B0502);  // READ_SMART_ATTRIBS
    std::uint32_t returned = 0;
    EXPECT_FALSE(ks.Control(9, kMiniport, buffer.data(), 572, buffer.data(), 572, &returned));
    EXPECT_EQ(Codes(), std::vector<DWORD>{kMiniport});
}

}  // namespace
}  // namespace orm::windows
