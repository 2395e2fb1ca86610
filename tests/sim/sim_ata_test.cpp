// Simulated drives: the SMART and miniport IDENTIFY answers, and the hand-made blocks.
#include <gtest/gtest.h>

#include "platform/sim/ata_blocks.h"
#include "platform/sim/sim_platform.h"
#include "platform/win_layouts.h"

namespace orm::sim {
namespace {

using namespace orm::win;

std::vector<std::uint8_t> SmartInput(std::uint8_t features, std::uint8_t driveNumber = 0) {
    std::vector<std::uint8_t> in(kSendCmdInLength, 0);
    PutLe32(in.data(), features == SMART_READ_DATA ? kAtaBlock : 0);
    std::uint8_t* regs = &in[offsetof(SENDCMDINPARAMS, irDriveRegs)];
    regs[0] = features;
    regs[1] = 1;
    regs[2] = 1;
    regs[3] = SMART_CYL_LOW;
    regs[4] = SMART_CYL_HI;
    regs[5] = static_cast<std::uint8_t>(0xA0 | (driveNumber << 4));
    regs[6] = ATA_SMART;
    in[offsetof(SENDCMDINPARAMS, bDriveNumber)] = driveNumber;
    return in;
}

std::vector<std::uint8_t> MiniportIdentify(std::uint8_t driveNumber = 0) {
    std::vector<std::uint8_t> b(kMiniportBufferLength, 0);
    PutLe32(&b[offsetof(SRB_IO_CONTROL, HeaderLength)], sizeof(SRB_IO_CONTROL));
    std::memcpy(&b[offsetof(SRB_IO_CONTROL, Signature)], "SCSIDISK", 8);
    PutLe32(&b[offsetof(SRB_IO_CONTROL, Timeout)], kMiniportTimeout);
    PutLe32(&b[offsetof(SRB_IO_CONTROL, ControlCode)], IOCTL_SCSI_MINIPORT_IDENTIFY);
    PutLe32(&b[offsetof(SRB_IO_CONTROL, Length)], kMiniportLength);
    std::uint8_t* cmd = &b[sizeof(SRB_IO_CONTROL)];
    PutLe32(cmd, kAtaBlock);
    cmd[4 + 1] = 1;
    cmd[4 + 2] = 1;
    cmd[4 + 5] = static_cast<std::uint8_t>(0xA0 | (driveNumber << 4));
    cmd[4 + 6] = ATA_IDENTIFY_DEVICE;
    cmd[offsetof(SENDCMDINPARAMS, bDriveNumber)] = driveNumber;
    return b;
}

class SimAta : public ::testing::Test {
  protected:
    void SetUp() override {
        identify = IdentifyBlock().Model("SIM DISK 80").Serial("SN42").Firmware("1.0").Lba28(1000).Build();
        smart = SmartBlock().Revision(0x10).Attribute(9, 99, 98, 0x123456789ABCull).Build();
        sim.AddDrive(0).Sectors(1000).Identify(identify).Smart(smart).SmartEnabled(false);
        h = sim.Open(sim.DrivePath(0), GENERIC_READ | GENERIC_WRITE, 3, OPEN_EXISTING, 0);
    }
    SimPlatform sim;
    Block identify{}, smart{};
    Handle h = kInvalidHandle;
    std::uint32_t n = 0;
};

TEST_F(SimAta, IdentifyAnswerAndWord85FollowsSmartState) {
    auto b = MiniportIdentify(1);
    ASSERT_TRUE(sim.Control(h, IOCTL_SCSI_MINIPORT, b.data(), kMiniportBufferLength, b.data(),
                            kMiniportBufferLength, &n));
    EXPECT_EQ(n, kMiniportBufferLength);
    EXPECT_EQ(std::memcmp(&b[kMiniportDataOffset], identify.data(), 170), 0);
    EXPECT_EQ(GetLe16(&b[kMiniportDataOffset + 170]) & 1, 0);
    const auto call = sim.Calls(Call::Control).back();
    EXPECT_EQ(call.ataCommand, ATA_IDENTIFY_DEVICE);
    EXPECT_EQ(call.ataDriveHead, 0xB0);
    EXPECT_EQ(call.ataDriveNumber, 1);

    auto enable = SmartInput(SMART_ENABLE_OPERATIONS);
    std::vector<std::uint8_t> out(16, 0);
    ASSERT_TRUE(sim.Control(h, SMART_SEND_DRIVE_COMMAND, enable.data(), 32, out.data(), 16, &n));
    EXPECT_EQ(n, 16u);
    EXPECT_TRUE(sim.Drive(0).smartEnabled);
    b = MiniportIdentify();
    ASSERT_TRUE(sim.Control(h, IOCTL_SCSI_MINIPORT, b.data(), kMiniportBufferLength, b.data(),
                            kMiniportBufferLength, &n));
    EXPECT_EQ(GetLe16(&b[kMiniportDataOffset + 170]) & 1, 1);
}

TEST_F(SimAta, SmartReadNeedsEnabledSmart) {
    auto read = SmartInput(SMART_READ_DATA);
    std::vector<std::uint8_t> out(kSmartReadOutLength, 0);
    EXPECT_FALSE(sim.Control(h, SMART_RCV_DRIVE_DATA, read.data(), 32, out.data(), kSmartReadOutLength, &n));

    auto enable = SmartInput(SMART_ENABLE_OPERATIONS);
    ASSERT_TRUE(sim.Control(h, SMART_SEND_DRIVE_COMMAND, enable.data(), 32, out.data(), 16, &n));
    ASSERT_TRUE(sim.Control(h, SMART_RCV_DRIVE_DATA, read.data(), 32, out.data(), kSmartReadOutLength, &n));
    EXPECT_EQ(n, kSmartReadOutLength);
    EXPECT_EQ(std::memcmp(&out[kSendCmdOutHeader], smart.data(), 512), 0);

    auto disable = SmartInput(SMART_DISABLE_OPERATIONS);
    ASSERT_TRUE(sim.Control(h, SMART_SEND_DRIVE_COMMAND, disable.data(), 32, out.data(), 16, &n));
    EXPECT_FALSE(sim.Drive(0).smartEnabled);
}

TEST_F(SimAta, AnswerFaults) {
    sim.Drive(0).faults.smartReadReturns = 512;
    sim.Drive(0).faults.smartReadNoHeader = true;
    sim.Drive(0).faults.identifyReturns = 555;
    sim.Drive(0).smartEnabled = true;
    auto read = SmartInput(SMART_READ_DATA);
    std::vector<std::uint8_t> out(kSmartReadOutLength, 0);
    ASSERT_TRUE(sim.Control(h, SMART_RCV_DRIVE_DATA, read.data(), 32, out.data(), kSmartReadOutLength, &n));
    EXPECT_EQ(n, 512u);
    EXPECT_EQ(std::memcmp(out.data(), smart.data(), 512), 0);
    auto b = MiniportIdentify();
    ASSERT_TRUE(sim.Control(h, IOCTL_SCSI_MINIPORT, b.data(), kMiniportBufferLength, b.data(),
                            kMiniportBufferLength, &n));
    EXPECT_EQ(n, 555u);

    sim.Drive(0).faults.refuseSmartEnable = true;
    auto enable = SmartInput(SMART_ENABLE_OPERATIONS);
    EXPECT_FALSE(sim.Control(h, SMART_SEND_DRIVE_COMMAND, enable.data(), 32, out.data(), 16, &n));
}

TEST_F(SimAta, DriveWithoutAtaRefuses) {
    sim.AddDrive(1).Sectors(100);
    const Handle h1 = sim.Open(sim.DrivePath(1), GENERIC_READ, 3, OPEN_EXISTING, 0);
    auto b = MiniportIdentify();
    EXPECT_FALSE(sim.Control(h1, IOCTL_SCSI_MINIPORT, b.data(), kMiniportBufferLength, b.data(),
                             kMiniportBufferLength, &n));
    EXPECT_EQ(sim.LastError(), ERROR_INVALID_FUNCTION);
    auto enable = SmartInput(SMART_ENABLE_OPERATIONS);
    std::vector<std::uint8_t> out(16);
    EXPECT_FALSE(sim.Control(h1, SMART_SEND_DRIVE_COMMAND, enable.data(), 32, out.data(), 16, &n));
    EXPECT_EQ(sim.LastError(), ERROR_INVALID_FUNCTION);
    // A short input is refused, not read past its end.
    EXPECT_FALSE(sim.Control(h, SMART_SEND_DRIVE_COMMAND, enable.data(), 8, out.data(), 16, &n));
    EXPECT_EQ(sim.LastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(sim.Control(h, IOCTL_SCSI_MINIPORT, b.data(), 40, b.data(), kMiniportBufferLength, &n));
    EXPECT_EQ(sim.LastError(), ERROR_INVALID_PARAMETER);
}

TEST(AtaBlocks, TextsInAtaOrderAndLbaWords) {
    const Block b = IdentifyBlock()
                        .Model("ABC")
                        .Serial("12345")
                        .Firmware("FW1")
                        .Lba28(0x01234567)
                        .Lba48(0x0000123456789ABCull)
                        .Build();
    // Word 27 is "AB", its first character in the high byte; the model is blank-filled to 40.
    EXPECT_EQ(std::string(b.begin() + 54, b.begin() + 58), "BA C");
    EXPECT_EQ(b[93], ' ');
    EXPECT_EQ(std::string(b.begin() + 20, b.begin() + 22), "21");
    EXPECT_EQ(b[47], 'F');
    EXPECT_EQ(GetLe16(&b[49 * 2]) & (1u << 9), 1u << 9);
    EXPECT_EQ(GetLe16(&b[60 * 2]), 0x4567);
    EXPECT_EQ(GetLe16(&b[61 * 2]), 0x0123);
    EXPECT_EQ(GetLe16(&b[83 * 2]) & (1u << 10), 1u << 10);
    EXPECT_EQ(GetLe64(&b[100 * 2]), 0x0000123456789ABCull);
}

TEST(AtaBlocks, SmartEntriesAndChecksum) {
    const Block b =
        SmartBlock().Revision(0x10).Attribute(5, 100, 99, 7).Attribute(194, 40, 30, 0x2A, 0x22).Build();
    // Revision 0x0010, then id 5, flags 0x0003, value 100, worst 99, raw 7.
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.begin() + 8),
              (std::vector<std::uint8_t>{0x10, 0x00, 5, 0x03, 0x00, 100, 99, 7}));
    EXPECT_EQ(b[14], 194);
    EXPECT_EQ(GetLe16(&b[15]), 0x22);
    unsigned sum = 0;
    for (auto byte : b) sum += byte;
    EXPECT_EQ(sum % 256, 0u);
}

}  // namespace
}  // namespace orm::sim
