#include "helper/ata_pass_through.h"

#include <gtest/gtest.h>

#include <vector>

namespace orm::helper {
namespace {

using Regs = std::array<std::uint8_t, 8>;

TEST(AtaRegisters, OnlyTheProgramsFourCommandsAreAccepted) {
    const Regs enable = {0xD8, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0};
    const Regs disable = {0xD9, 1, 1, 0x4F, 0xC2, 0xB0, 0xB0, 0};
    const Regs read = {0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0};
    const Regs identify = {0, 1, 1, 0, 0, 0xB0, 0xEC, 0};
    const Regs thresholds = {0xD1, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0};
    const Regs writeLog = {0xD6, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0};
    const Regs securityErase = {0, 1, 1, 0, 0, 0xA0, 0xF4, 0};
    const Regs badCylinders = {0xD8, 1, 1, 0x00, 0xC2, 0xA0, 0xB0, 0};
    const Regs badDriveHead = {0xD8, 1, 1, 0x4F, 0xC2, 0xE0, 0xB0, 0};
    const Regs badCount = {0, 2, 1, 0, 0, 0xA0, 0xEC, 0};

    struct Case {
        const char* what;
        Regs regs;
        AtaCall call;
        bool accepted;
        bool dataIn;
    } cases[] = {
        {"enable", enable, AtaCall::SmartSend, true, false},
        {"disable", disable, AtaCall::SmartSend, true, false},
        {"read data", read, AtaCall::SmartReceive, true, true},
        {"identify by smart call", identify, AtaCall::SmartReceive, true, true},
        {"identify by miniport", identify, AtaCall::MiniportIdentify, true, true},
        {"read data as send", read, AtaCall::SmartSend, false, false},
        {"enable as receive", enable, AtaCall::SmartReceive, false, false},
        {"enable by miniport", enable, AtaCall::MiniportIdentify, false, false},
        {"read data by miniport", read, AtaCall::MiniportIdentify, false, false},
        {"thresholds", thresholds, AtaCall::SmartReceive, false, false},
        {"write log", writeLog, AtaCall::SmartSend, false, false},
        {"security erase", securityErase, AtaCall::SmartSend, false, false},
        {"security erase", securityErase, AtaCall::SmartReceive, false, false},
        {"cylinders", badCylinders, AtaCall::SmartSend, false, false},
        {"drive head", badDriveHead, AtaCall::SmartSend, false, false},
        {"count", badCount, AtaCall::MiniportIdentify, false, false},
    };
    for (const Case& c : cases) {
        const std::optional<AtaCommand> cmd = AcceptRegisters(c.regs.data(), c.call);
        ASSERT_EQ(cmd.has_value(), c.accepted) << c.what;
        if (cmd) {
            EXPECT_EQ(cmd->dataIn, c.dataIn) << c.what;
            EXPECT_EQ(cmd->features, c.regs[0]);
            EXPECT_EQ(cmd->command, c.regs[6]);
        }
    }
}

TEST(AtaPassThroughCdb, DataInAndNonDataForms) {
    const Regs identify = {0, 1, 1, 0, 0, 0xA0, 0xEC, 0};
    const Regs read = {0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0};
    const Regs enable = {0xD8, 1, 1, 0x4F, 0xC2, 0xB0, 0xB0, 0};
    const std::array<std::uint8_t, 16> identifyCdb = {0x85, 0x08, 0x0E, 0, 0, 0, 1,    0,
                                                      1,    0,    0,    0, 0, 0, 0xEC, 0};
    const std::array<std::uint8_t, 16> readCdb = {0x85, 0x08, 0x0E, 0, 0xD0, 0, 1,    0,
                                                  1,    0,    0x4F, 0, 0xC2, 0, 0xB0, 0};
    const std::array<std::uint8_t, 16> enableCdb = {0x85, 0x06, 0x20, 0, 0xD8, 0, 1,    0,
                                                    1,    0,    0x4F, 0, 0xC2, 0, 0xB0, 0};
    EXPECT_EQ(BuildAta16Cdb(*AcceptRegisters(identify.data(), AtaCall::MiniportIdentify)), identifyCdb);
    EXPECT_EQ(BuildAta16Cdb(*AcceptRegisters(read.data(), AtaCall::SmartReceive)), readCdb);
    EXPECT_EQ(BuildAta16Cdb(*AcceptRegisters(enable.data(), AtaCall::SmartSend)), enableCdb);
}

// The hidden-sector commands: non-data with CK_COND and the LBA bit (EXTEND for the 48-bit one),
// as measured on QEMU's disks; DCO IDENTIFY as a one-block PIO data-in.
TEST(AtaPassThroughCdb, HiddenSectorCommands) {
    const Regs nativeExt = {0, 0, 0, 0, 0, 0xE0, 0x27, 0};
    const Regs native = {0, 0, 0, 0, 0, 0xF0, 0xF8, 0};
    const Regs dco = {0xC2, 0, 0, 0, 0, 0xA0, 0xB1, 0};
    const std::array<std::uint8_t, 16> nativeExtCdb = {0x85, 0x07, 0x20, 0, 0, 0,    0,    0,
                                                       0,    0,    0,    0, 0, 0x40, 0x27, 0};
    const std::array<std::uint8_t, 16> nativeCdb = {0x85, 0x06, 0x20, 0, 0, 0,    0,    0,
                                                    0,    0,    0,    0, 0, 0x40, 0xF8, 0};
    const std::array<std::uint8_t, 16> dcoCdb = {0x85, 0x08, 0x0E, 0, 0xC2, 0, 1,    0,
                                                 0,    0,    0,    0, 0,    0, 0xB1, 0};
    EXPECT_EQ(BuildAta16Cdb(*AcceptRegisters(nativeExt.data(), AtaCall::PassThrough)), nativeExtCdb);
    EXPECT_EQ(BuildAta16Cdb(*AcceptRegisters(native.data(), AtaCall::PassThrough)), nativeCdb);
    EXPECT_EQ(BuildAta16Cdb(*AcceptRegisters(dco.data(), AtaCall::PassThrough)), dcoCdb);
    // Only through IOCTL_ATA_PASS_THROUGH, and nothing else through it.
    EXPECT_FALSE(AcceptRegisters(nativeExt.data(), AtaCall::SmartSend));
    const Regs identify = {0, 1, 1, 0, 0, 0xA0, 0xEC, 0};
    EXPECT_FALSE(AcceptRegisters(identify.data(), AtaCall::PassThrough));
}

TEST(AtaPassThroughCdb, DriveCommandArgs) {
    const Regs read = {0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0};
    const Regs enable = {0xD8, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0};
    EXPECT_EQ(BuildDriveCmdArgs(*AcceptRegisters(read.data(), AtaCall::SmartReceive)),
              (std::array<std::uint8_t, 4>{0xB0, 1, 0xD0, 1}));
    EXPECT_EQ(BuildDriveCmdArgs(*AcceptRegisters(enable.data(), AtaCall::SmartSend)),
              (std::array<std::uint8_t, 4>{0xB0, 1, 0xD8, 0}));
}

SgResult Result(std::uint8_t status, std::uint16_t host, std::uint16_t driver,
                const std::vector<std::uint8_t>& sense, int residual = 0) {
    SgResult r;
    r.residual = residual;
    r.scsiStatus = status;
    r.hostStatus = host;
    r.driverStatus = driver;
    r.sense = sense.empty() ? nullptr : sense.data();
    r.senseLength = sense.size();
    return r;
}

TEST(SgResultReading, SuccessAndRefusalAsDrivesReallyAnswer) {
    // Descriptor sense of a non-data command that went well (emulated SATA disk, SMART RETURN
    // STATUS): RECOVERED ERROR, ATA PASS-THROUGH INFORMATION AVAILABLE, status 0x50.
    const std::vector<std::uint8_t> okDescriptor = {0x72, 0x01, 0x00, 0x1d, 0,    0,    0,    0x0e,
                                                    0x09, 0x0c, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                    0x00, 0x4f, 0x00, 0xc2, 0x00, 0x50};
    // The same with ERR set and ABRT in the error register.
    std::vector<std::uint8_t> errDescriptor = okDescriptor;
    errDescriptor[8 + 3] = 0x04;
    errDescriptor[8 + 13] = 0x51;
    std::vector<std::uint8_t> drqDescriptor = okDescriptor;
    drqDescriptor[8 + 13] = 0x58;
    // Fixed-format sense of an aborted command (SMART READ DATA with SMART disabled).
    const std::vector<std::uint8_t> abortedFixed = {0x70, 0x00, 0x0b, 0x00, 0x00, 0x00, 0x00, 0x0a,
                                                    0x04, 0x41, 0xe0, 0x01, 0x00, 0x00, 0x00, 0x00,
                                                    0x80, 0x00, 0x00, 0x00, 0x00, 0x00};
    // The same refusal in descriptor format: ABORTED COMMAND with the ATA registers.
    std::vector<std::uint8_t> abortedDescriptor = okDescriptor;
    abortedDescriptor[1] = 0x0b;
    abortedDescriptor[8 + 13] = 0x41;
    const std::vector<std::uint8_t> illegalRequest = {0x70, 0x00, 0x05, 0, 0, 0,    0,
                                                      0x0a, 0,    0,    0, 0, 0x20, 0x00};
    const std::vector<std::uint8_t> recoveredFixed = {0x70, 0x00, 0x01, 0, 0, 0,    0,
                                                      0x0a, 0,    0,    0, 0, 0x00, 0x1d};
    const std::vector<std::uint8_t> garbage = {0x12, 0x34};
    const std::vector<std::uint8_t> none;

    struct Case {
        const char* what;
        SgResult r;
        bool ok;
        bool haveStatus;
    } cases[] = {
        {"data-in, good, no sense", Result(0, 0, 0, none), true, false},
        {"data-in, good, 256 of 512 bytes short", Result(0, 0, 0, none, 256), false, false},
        {"data-in, good, nothing arrived", Result(0, 0, 0, none, 512), false, false},
        {"non-data, status returned", Result(2, 0, 8, okDescriptor), true, true},
        {"ERR in the returned status", Result(2, 0, 8, errDescriptor), false, true},
        {"DRQ in the returned status", Result(2, 0, 8, drqDescriptor), false, true},
        {"aborted, fixed format", Result(2, 0, 8, abortedFixed), false, false},
        {"aborted, descriptor format", Result(2, 0, 8, abortedDescriptor), false, true},
        {"illegal request", Result(2, 0, 8, illegalRequest), false, false},
        {"recovered, fixed format", Result(2, 0, 8, recoveredFixed), true, true},
        {"check condition without sense", Result(2, 0, 8, none), false, false},
        {"unreadable sense", Result(2, 0, 8, garbage), false, false},
        {"transport error", Result(0, 0x01, 0, none), false, false},
        {"timeout", Result(0, 0, 0x06, none), false, false},
        {"busy", Result(0x08, 0, 0, none), false, false},
        {"reservation conflict", Result(0x18, 0, 0, none), false, false},
    };
    for (const Case& c : cases) {
        const AtaOutcome out = EvaluateSgResult(c.r);
        EXPECT_EQ(out.ok, c.ok) << c.what;
        EXPECT_EQ(out.haveStatus, c.haveStatus) << c.what;
    }
    const AtaOutcome err = EvaluateSgResult(Result(2, 0, 8, errDescriptor));
    EXPECT_EQ(err.error, 0x04);
    EXPECT_EQ(err.status, 0x51);
}

// The registers of READ NATIVE MAX ADDRESS EXT as QEMU's SATA disk of 196,608 sectors returns
// them (descriptor 09h), and as fixed-format sense gives them.
TEST(SgResultReading, ReturnedRegisters) {
    const std::vector<std::uint8_t> measured = {0x72, 0x01, 0x00, 0x1d, 0x00, 0x00, 0x00, 0x0e,
                                                0x09, 0x0c, 0x01, 0x00, 0x00, 0x00, 0x00, 0xff,
                                                0x00, 0xff, 0x00, 0x02, 0x40, 0x50};
    const AtaOutcome d = EvaluateSgResult(Result(2, 0, 8, measured));
    EXPECT_TRUE(d.ok && d.haveRegisters && d.extended);
    EXPECT_EQ(d.status, 0x50);
    EXPECT_EQ((std::array<std::uint8_t, 4>{d.registers.lbaLow, d.registers.lbaMid, d.registers.lbaHigh,
                                           d.registers.hobLbaLow}),
              (std::array<std::uint8_t, 4>{0xff, 0xff, 0x02, 0x00}));
    std::vector<std::uint8_t> hob = measured;
    hob[8 + 8] = 0x12;
    EXPECT_EQ(EvaluateSgResult(Result(2, 0, 8, hob)).registers.hobLbaMid, 0x12);

    // Fixed format: error, status, device, count; EXTEND and the two "upper bytes not zero" bits;
    // LBA 7:0, 15:8, 23:16. With an upper byte not zero the address is not all there.
    std::vector<std::uint8_t> fixed = {0x70, 0,    0x01, 0x00, 0x50, 0x4f, 0x00,
                                       0x0a, 0x80, 0xff, 0xff, 0x02, 0x00, 0x1d};
    const AtaOutcome f = EvaluateSgResult(Result(2, 0, 8, fixed));
    EXPECT_TRUE(f.ok && f.haveRegisters && f.extended);
    EXPECT_EQ(f.registers.device, 0x4f);
    EXPECT_EQ(f.registers.lbaHigh, 0x02);
    fixed[8] = 0xA0;
    EXPECT_FALSE(EvaluateSgResult(Result(2, 0, 8, fixed)).haveRegisters);
}

TEST(SgResultReading, DescriptorsPastTheSenseAreNotRead) {
    // The additional length claims a status descriptor that the bytes written do not hold.
    const std::vector<std::uint8_t> cut = {0x72, 0x01, 0x00, 0x1d, 0, 0, 0, 0x0e, 0x09, 0x0c, 0x00, 0x00};
    const AtaOutcome out = EvaluateSgResult(Result(2, 0, 8, cut));
    EXPECT_FALSE(out.haveStatus);
    EXPECT_TRUE(out.ok);
    // A zero-length descriptor header must not loop for ever.
    const std::vector<std::uint8_t> odd = {0x72, 0x01, 0x00, 0x1d, 0,    0,    0,
                                           0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_TRUE(EvaluateSgResult(Result(2, 0, 8, odd)).ok);
}

}  // namespace
}  // namespace orm::helper
