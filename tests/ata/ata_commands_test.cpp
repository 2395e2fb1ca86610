// The four ATA commands on simulated drives: the request bytes, the answers they accept and
// what they copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "ata/ata_commands.h"
#include "platform/sim/ata_blocks.h"
#include "platform/sim/sim_platform.h"
#include "platform/win_layouts.h"

namespace orm {
namespace {

using sim::Call;
using sim::IdentifyBlock;
using sim::SimPlatform;
using sim::SmartBlock;

constexpr unsigned kDrive = 0;

AtaBlock IdentifyFixture() {
    return IdentifyBlock().Model("SIM DISK").Serial("S1").Firmware("1.0").Lba28(1000).Word(82, 1).Build();
}
AtaBlock SmartFixture() {
    return SmartBlock().Revision(16).Attribute(1, 100, 99, 5).Attribute(194, 90, 80, 41).Build();
}

// A block no answer can produce by chance, to see whether a command wrote the caller's buffer.
AtaBlock Sentinel() {
    AtaBlock b;
    b.fill(0xEE);
    return b;
}

// Simulated drives; a test may have one byte of the answers to control code `code` rewritten, as
// a driver reports a refusal inside a completed call.
class RewritingSim : public SimPlatform {
  public:
    bool Control(Handle handle, std::uint32_t controlCode, const void* in, std::uint32_t inSize, void* out,
                 std::uint32_t outSize, std::uint32_t* bytesReturned) override {
        const bool ok = SimPlatform::Control(handle, controlCode, in, inSize, out, outSize, bytesReturned);
        if (ok && controlCode == code && at < outSize) static_cast<std::uint8_t*>(out)[at] = value;
        return ok;
    }
    std::uint32_t code = 0;
    std::size_t at = 0;
    std::uint8_t value = 0;
};

class AtaCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        sim.AddDrive(kDrive).Sectors(1000).Identify(IdentifyFixture()).Smart(SmartFixture());
    }

    Handle OpenDrive() {
        const Handle h = sim.Open(sim.DrivePath(kDrive), win::GENERIC_READ | win::GENERIC_WRITE,
                                  win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
        EXPECT_NE(h, kInvalidHandle);
        sim.ClearJournal();
        return h;
    }

    sim::JournalEntry OnlyControl() {
        const auto calls = sim.Calls(Call::Control);
        EXPECT_EQ(calls.size(), 1u);
        return calls.empty() ? sim::JournalEntry{} : calls.front();
    }

    RewritingSim sim;
};

// The 32 bytes of SENDCMDINPARAMS without its data byte, written out by hand.
std::vector<std::uint8_t> CommandInput(std::uint32_t bufferSize, std::uint8_t features, std::uint8_t cylLow,
                                       std::uint8_t cylHigh, std::uint8_t driveHead, std::uint8_t command,
                                       std::uint8_t driveNumber) {
    std::vector<std::uint8_t> v(32, 0);
    v[0] = static_cast<std::uint8_t>(bufferSize);
    v[1] = static_cast<std::uint8_t>(bufferSize >> 8);
    v[4] = features;
    v[5] = 1;  // sector count
    v[6] = 1;  // sector number
    v[7] = cylLow;
    v[8] = cylHigh;
    v[9] = driveHead;
    v[10] = command;
    v[11] = 0;  // reserved register
    v[12] = driveNumber;
    return v;
}

TEST(DriveHead, DriveNumberGoesToBit4) {
    EXPECT_EQ(DriveHeadFor(0), 0xA0);
    EXPECT_EQ(DriveHeadFor(1), 0xB0);
}

TEST_F(AtaCommands, SmartRequestsForDrive0And1) {
    const Handle h = OpenDrive();
    for (std::uint8_t dn : {std::uint8_t{0}, std::uint8_t{1}}) {
        const std::uint8_t head = dn == 0 ? 0xA0 : 0xB0;
        struct {
            const char* name;
            std::uint8_t features;
            std::uint32_t code;
            std::uint32_t bufferSize;
            std::uint32_t outSize;
        } const commands[] = {
            {"enable", 0xD8, 0x7C084, 0, 16},
            {"read data", 0xD0, 0x7C088, 512, 528},
            {"disable", 0xD9, 0x7C084, 0, 16},
        };
        for (const auto& c : commands) {
            sim.ClearJournal();
            AtaBlock data{};
            if (c.features == 0xD8) SmartEnable(sim, h, dn);
            if (c.features == 0xD0) SmartReadData(sim, h, dn, data);
            if (c.features == 0xD9) SmartDisable(sim, h, dn);
            const sim::JournalEntry e = OnlyControl();
            SCOPED_TRACE(std::string(c.name) + " drive " + std::to_string(dn));
            EXPECT_EQ(e.code, c.code);
            EXPECT_EQ(e.input, CommandInput(c.bufferSize, c.features, 0x4F, 0xC2, head, 0xB0, dn));
            EXPECT_EQ(e.outSize, c.outSize);
            EXPECT_EQ(e.ataDriveHead, head);
            EXPECT_EQ(e.ataDriveNumber, dn);
        }
    }
}

TEST_F(AtaCommands, IdentifyRequestForDrive0And1) {
    const Handle h = OpenDrive();
    for (std::uint8_t dn : {std::uint8_t{0}, std::uint8_t{1}}) {
        sim.ClearJournal();
        AtaBlock data{};
        AtaIdentify(sim, h, dn, data);
        const sim::JournalEntry e = OnlyControl();
        const std::uint8_t head = dn == 0 ? 0xA0 : 0xB0;

        std::vector<std::uint8_t> expected(572, 0);
        const std::uint8_t srb[28] = {28, 0, 0,    0,    'S',  'C', 'S', 'I', 'D', 'I', 'S',  'K',  120, 0,
                                      0,  0, 0x01, 0x05, 0x1B, 0,   0,   0,   0,   0,   0x20, 0x02, 0,   0};
        std::copy(std::begin(srb), std::end(srb), expected.begin());
        const auto cmd = CommandInput(512, 0x00, 0x00, 0x00, head, 0xEC, dn);
        std::copy(cmd.begin(), cmd.end(), expected.begin() + 28);

        EXPECT_EQ(e.code, 0x4D008u);
        EXPECT_EQ(e.input, expected) << "drive " << int(dn);
        EXPECT_EQ(e.outSize, 572u);
        EXPECT_EQ(e.ataDriveHead, head);
        EXPECT_EQ(e.ataDriveNumber, dn);
    }
}

// A full answer, or 512 bytes without the header, is the data; anything else leaves the buffer alone.
TEST_F(AtaCommands, SmartReadAnswersThatAreTakenAndThoseThatAreNot) {
    struct {
        const char* what;
        std::optional<std::uint32_t> returns;
        bool noHeader, fails, ok;
    } const cases[] = {
        {"full answer", std::nullopt, false, false, true},
        {"512 bytes without header", 512, true, false, true},
        {"511 bytes", 511, false, false, false},
        {"failed call", std::nullopt, false, true, false},
        {"600 bytes, beyond the buffer", 600, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::DriveFaults& faults = sim.Drive(kDrive).faults;
        faults.smartReadReturns = c.returns;
        faults.smartReadNoHeader = c.noHeader;
        faults.controlFails.clear();
        if (c.fails) faults.controlFails[{win::SMART_RCV_DRIVE_DATA, std::nullopt}] = win::ERROR_IO_DEVICE;
        const Handle h = OpenDrive();
        AtaBlock data = Sentinel();
        EXPECT_EQ(SmartReadData(sim, h, 0, data), c.ok);
        EXPECT_EQ(data, c.ok ? SmartFixture() : Sentinel());
        if (!c.returns && !c.fails) {
            EXPECT_EQ(OnlyControl().bytes, 528u);
        }
        sim.Close(h);
    }
}

TEST_F(AtaCommands, SmartReadWindowEndsWhereTheReturnedBytesEnd) {
    // A driver that writes the header but reports only 512 bytes: the window is bytes 0-511,
    // so the header comes first and the block's last 16 bytes are left out.
    sim.Drive(kDrive).faults.smartReadReturns = 512;
    const Handle h = OpenDrive();
    AtaBlock data{};
    ASSERT_TRUE(SmartReadData(sim, h, 0, data));
    const AtaBlock smart = SmartFixture();
    EXPECT_EQ(data[0], 0x00) << "cBufferSize 512 = 00 02 00 00";
    EXPECT_EQ(data[1], 0x02);
    EXPECT_TRUE(std::equal(smart.begin(), smart.end() - 16, data.begin() + 16));
}

TEST_F(AtaCommands, IdentifyAnswerOf556IsEnough555IsNot) {
    struct {
        std::uint32_t returned;
        bool ok;
    } const cases[] = {{572, true}, {556, true}, {555, false}, {44, false}, {0, false}};
    for (const auto& c : cases) {
        sim.Drive(kDrive).faults.identifyReturns = c.returned;
        const Handle h = OpenDrive();
        AtaBlock data = Sentinel();
        EXPECT_EQ(AtaIdentify(sim, h, 0, data), c.ok) << c.returned;
        if (c.ok) {
            // The simulated drive reports its SMART state in word 85 bit 0 (enabled here) and
            // marks words 85-87 valid in word 87 (bits 15:14 = 01).
            AtaBlock expected = IdentifyFixture();
            expected[170] |= 1;
            expected[175] = static_cast<std::uint8_t>((expected[175] & 0x3F) | 0x40);
            EXPECT_EQ(data, expected) << c.returned;
        } else {
            EXPECT_EQ(data, Sentinel()) << c.returned;
        }
        sim.Close(h);
    }
}

TEST_F(AtaCommands, FailedCallsAnswerFalse) {
    sim.Drive(kDrive).faults.controlFails[{win::IOCTL_SCSI_MINIPORT, std::nullopt}] =
        win::ERROR_INVALID_FUNCTION;
    sim.Drive(kDrive).faults.refuseSmartEnable = true;
    const Handle h = OpenDrive();
    AtaBlock data = Sentinel();
    EXPECT_FALSE(AtaIdentify(sim, h, 0, data));
    EXPECT_EQ(data, Sentinel());
    EXPECT_FALSE(SmartEnable(sim, h, 0));
    EXPECT_TRUE(SmartDisable(sim, h, 0));
}

TEST_F(AtaCommands, DriverStatusErrorOfTheSimulatedDriveIsAFailure) {
    sim.Drive(kDrive).faults.driverError = 0x01;  // SMART_IDE_ERROR
    const Handle h = OpenDrive();
    AtaBlock data = Sentinel();
    EXPECT_FALSE(SmartEnable(sim, h, 0) || SmartReadData(sim, h, 0, data) || AtaIdentify(sim, h, 0, data));
    EXPECT_EQ(data, Sentinel());
}

TEST_F(AtaCommands, ARefusalInsideACompletedCallIsAFailure) {
    // bDriverError and bIDEError are bytes 4 and 5 of SENDCMDOUTPARAMS, which the miniport answer
    // holds at 28 behind its SRB_IO_CONTROL (ReturnCode at 20).
    struct {
        const char* what;
        std::uint32_t code;
        std::size_t at;
        std::uint8_t value;
    } const cases[] = {
        {"enable: bDriverError", win::SMART_SEND_DRIVE_COMMAND, 4, 0x01},
        {"enable: bIDEError ABRT", win::SMART_SEND_DRIVE_COMMAND, 5, 0x04},
        {"read data: bDriverError", win::SMART_RCV_DRIVE_DATA, 4, 0x03},
        {"read data: bIDEError ABRT", win::SMART_RCV_DRIVE_DATA, 5, 0x04},
        {"identify: bDriverError", win::IOCTL_SCSI_MINIPORT, 32, 0x01},
        {"identify: ReturnCode", win::IOCTL_SCSI_MINIPORT, 20, 0x01},
    };
    for (const auto& c : cases) {
        sim.code = c.code;
        sim.at = c.at;
        sim.value = c.value;
        const Handle h = OpenDrive();
        AtaBlock data = Sentinel();
        EXPECT_FALSE(c.code == win::SMART_SEND_DRIVE_COMMAND ? SmartEnable(sim, h, 0)
                     : c.code == win::SMART_RCV_DRIVE_DATA   ? SmartReadData(sim, h, 0, data)
                                                             : AtaIdentify(sim, h, 0, data))
            << c.what;
        EXPECT_EQ(data, Sentinel()) << c.what;
    }
}

TEST_F(AtaCommands, EnableAndDisableChangeTheDriveState) {
    const Handle h = OpenDrive();
    sim.Drive(kDrive).smartEnabled = false;
    EXPECT_TRUE(SmartEnable(sim, h, 0));
    EXPECT_TRUE(sim.Drive(kDrive).smartEnabled);
    EXPECT_TRUE(SmartDisable(sim, h, 0));
    EXPECT_FALSE(sim.Drive(kDrive).smartEnabled);
    AtaBlock data = Sentinel();
    EXPECT_FALSE(SmartReadData(sim, h, 0, data)) << "a drive with SMART off refuses READ DATA";
}

TEST_F(AtaCommands, NoThresholdReadIsEverSent) {
    const Handle h = OpenDrive();
    AtaBlock data{};
    SmartEnable(sim, h, 0);
    SmartReadData(sim, h, 0, data);
    SmartDisable(sim, h, 0);
    AtaIdentify(sim, h, 0, data);
    for (const auto& e : sim.Calls(Call::Control)) EXPECT_NE(e.ataFeatures, 0xD1);
}

}  // namespace
}  // namespace orm
