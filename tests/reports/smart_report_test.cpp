// The SMART attributes report: golden text files and the commands it sends to the drive.
#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "platform/sim/ata_blocks.h"
#include "platform/win_layouts.h"
#include "report_fixture.h"
#include "reports/smart_report.h"

namespace orm {
namespace {

using sim::IdentifyBlock;
using sim::SmartBlock;
using testing::ChosenDrive;
using testing::ExpectGolden;

constexpr std::int64_t kAta = 3;

using Command = std::pair<std::uint32_t, std::uint8_t>;
const Command kIdentify{win::IOCTL_SCSI_MINIPORT, 0x00};
const Command kEnable{win::SMART_SEND_DRIVE_COMMAND, 0xD8};
const Command kRead{win::SMART_RCV_DRIVE_DATA, 0xD0};
const Command kDisable{win::SMART_SEND_DRIVE_COMMAND, 0xD9};

AtaBlock SmartIdentify() {
    return IdentifyBlock()
        .Model("ST3500418AS")
        .Serial("9VM12345")
        .Firmware("CC38")
        .Lba28(268435455)
        .Word(82, 1)
        .Build();
}

// Ids 1, 5, 9, 12 and 194, then an id 0 with more ids behind it.
AtaBlock TypicalSmart() {
    return SmartBlock()
        .Revision(10)
        .Attribute(1, 117, 99, 154957328)
        .Attribute(5, 100, 100, 0)
        .Attribute(9, 89, 89, 10004)
        .Attribute(12, 100, 100, 733)
        .Attribute(194, 35, 46, 0x0012000E00000023ull)
        .Attribute(0, 0, 0, 0)
        .Attribute(197, 100, 100, 8)
        .Attribute(198, 100, 100, 8)
        .Build();
}

class SmartReport : public ::testing::Test {
  protected:
    void Prepare(const AtaBlock& smart, bool smartEnabled = true) {
        d.Drive().Identify(SmartIdentify()).Smart(smart).SmartEnabled(smartEnabled);
        d.Choose("ST3500418AS", "CC38", 976773168, kAta);
    }
    std::vector<std::string> Run() {
        ReportContext ctx = d.Context();
        ReportSmartAttributes(ctx);
        return d.memo.lines;
    }
    ChosenDrive d;
};

TEST_F(SmartReport, UsbDriveGetsSixLinesAndNoCommand) {
    d.Drive().Bus(win::BusTypeUsb).Identify(SmartIdentify()).Smart(TypicalSmart());
    d.Choose("USB Flash Disk", "1100", 7831552, 7);
    const auto lines = Run();
    EXPECT_EQ(lines.size(), 6u);
    ExpectGolden(lines, "smart_usb");
    EXPECT_TRUE(d.sim.Calls(sim::Call::Control).empty());
}

TEST_F(SmartReport, EveryBusOtherThanAtaIsRefused) {
    for (std::int64_t bus : {0LL, 1LL, 2LL, 4LL, 8LL, 11LL, 17LL, 3LL + (1LL << 32), -3LL}) {
        ChosenDrive other;
        other.Drive().Identify(SmartIdentify()).Smart(TypicalSmart());
        other.Choose("X", "Y", 1000, bus);
        ReportContext ctx = other.Context();
        ReportSmartAttributes(ctx);
        ASSERT_EQ(other.memo.lines.size(), 6u) << bus;
        EXPECT_EQ(other.memo.lines[5],
                  "SMART is unavailable because the device is not a Native IDE or SATA device.")
            << bus;
        EXPECT_TRUE(other.sim.Calls(sim::Call::Control).empty()) << bus;
    }
}

TEST_F(SmartReport, RefusedEnableSendsNothingMore) {
    d.Drive().Identify(SmartIdentify()).Smart(TypicalSmart()).SmartEnabled(false).RefuseSmartEnable();
    d.Choose("ST3500418AS", "CC38", 976773168, kAta);
    ExpectGolden(Run(), "smart_not_supported");
    EXPECT_EQ(d.Commands(), (std::vector<Command>{kIdentify, kEnable}));
    EXPECT_FALSE(d.sim.Drive(0).smartEnabled);
}

TEST_F(SmartReport, ShortReadIsNotSupportedAndTheStateBeforeComesBack) {
    struct {
        bool enabledBefore;
        std::vector<Command> commands;
    } const cases[] = {{false, {kIdentify, kEnable, kRead, kDisable}}, {true, {kIdentify, kEnable, kRead}}};
    for (const auto& c : cases) {
        ChosenDrive drive;
        drive.Drive()
            .Identify(SmartIdentify())
            .Smart(TypicalSmart())
            .SmartEnabled(c.enabledBefore)
            .SmartReadReturns(511);
        drive.Choose("ST3500418AS", "CC38", 976773168, kAta);
        ReportContext ctx = drive.Context();
        ReportSmartAttributes(ctx);
        ASSERT_EQ(drive.memo.lines.size(), 6u);
        EXPECT_EQ(drive.memo.lines[5], "SMART is not supported by the device.");
        EXPECT_EQ(drive.Commands(), c.commands) << c.enabledBefore;
        EXPECT_EQ(drive.sim.Drive(0).smartEnabled, c.enabledBefore);
    }
}

TEST_F(SmartReport, IdZeroStopsTheTable) {
    Prepare(TypicalSmart());
    ExpectGolden(Run(), "smart_id0_stop");
}

TEST_F(SmartReport, EmptyTable) {
    Prepare(SmartBlock().Revision(1).Build());
    ExpectGolden(Run(), "smart_empty");
}

TEST_F(SmartReport, ThirtyEntries) {
    SmartBlock b;
    const std::uint8_t ids[30] = {1,   2,   3,   4,   5,   7,   8,   9,   10,  12,  13,  190, 191, 192, 193,
                                  194, 195, 196, 197, 198, 199, 200, 220, 222, 223, 224, 225, 226, 240, 254};
    for (int k = 0; k < 30; ++k) {
        b.Attribute(ids[k], static_cast<std::uint8_t>(100 + k), static_cast<std::uint8_t>(90 + k),
                    static_cast<std::uint64_t>(k) * 1000003u + (ids[k] == 194 ? 0x2Au : 0u));
    }
    Prepare(b.Build());
    const auto lines = Run();
    EXPECT_EQ(lines.size(), 5u + 2u + 30u + 1u);
    ExpectGolden(lines, "smart_thirty");
}

TEST_F(SmartReport, UnknownIdsRawExtremesAndTemperatureNotes) {
    Prepare(SmartBlock()
                .Attribute(190, 65, 55, 0x1F1F0023)
                .Attribute(194, 100, 100, 0x00000023)
                .Attribute(194, 100, 100, 0x00000123)
                .Attribute(5, 0, 0, 0xFFFFFFFFull)
                .Attribute(255, 255, 255, 0xFFFFFFFFFFFFull)
                .Attribute(221, 200, 200, 0)
                .Build());
    ExpectGolden(Run(), "smart_columns");
}

TEST_F(SmartReport, QemuSataDisk) {
    d.Drive()
        .Identify(testing::LoadHexBlock("qemu_sata_identify.hex"))
        .Smart(testing::LoadHexBlock("qemu_sata_smart.hex"));
    d.Choose("QEMU-ATA SATA TEST DISK", "QA1.0", 196608, kAta);
    ExpectGolden(Run(), "smart_qemu_sata");
    // Its IDENTIFY says SMART is enabled: the report leaves it so.
    EXPECT_EQ(d.Commands(), (std::vector<Command>{kIdentify, kEnable, kRead}));
}

TEST_F(SmartReport, SmartOnBeforeStaysOn) {
    Prepare(TypicalSmart(), true);
    Run();
    EXPECT_EQ(d.Commands(), (std::vector<Command>{kIdentify, kEnable, kRead}));
    EXPECT_TRUE(d.sim.Drive(0).smartEnabled);
}

TEST_F(SmartReport, SmartOffBeforeIsDisabledAgain) {
    Prepare(TypicalSmart(), false);
    const auto lines = Run();
    EXPECT_EQ(d.Commands(), (std::vector<Command>{kIdentify, kEnable, kRead, kDisable}));
    EXPECT_FALSE(d.sim.Drive(0).smartEnabled);
    EXPECT_EQ(lines.size(), 5u + 2u + 5u + 1u);
}

TEST_F(SmartReport, UnknownStateIsNotDisabled) {
    d.Drive().Identify(SmartIdentify()).Smart(TypicalSmart()).SmartEnabled(false).IdentifyReturns(555);
    d.Choose("ST3500418AS", "CC38", 976773168, kAta);
    const auto lines = Run();
    EXPECT_EQ(d.Commands(), (std::vector<Command>{kIdentify, kEnable, kRead}));
    EXPECT_EQ(lines.size(), 5u + 2u + 5u + 1u) << "the report prints its table as usual";
}

TEST_F(SmartReport, IdentifyThatDoesNotClaimSmartLeavesTheStateUnknown) {
    // The call completes, but the block does not claim the SMART feature set (word 82 bit 0
    // clear), as a driver that wrote no data would answer: SMART is not disabled afterwards.
    d.Drive().Identify(IdentifyBlock().Build()).Smart(TypicalSmart()).SmartEnabled(false);
    d.Choose("ST3500418AS", "CC38", 976773168, kAta);
    Run();
    EXPECT_EQ(d.Commands(), (std::vector<Command>{kIdentify, kEnable, kRead}));
}

TEST(SmartStateFromIdentify, TrustsWord85OnlyWhenTheBlockSaysItIsValid) {
    struct Case {
        std::uint16_t w82, w85, w87;
        std::optional<bool> expected;
    };
    const Case cases[] = {
        {0x0001, 0x0001, 0x4000, true},         {0x0001, 0x0000, 0x4000, false},
        {0x0001, 0x0001, 0x0000, std::nullopt},  // words 85-87 not valid
        {0x0001, 0x0001, 0xC000, std::nullopt}, {0x0000, 0x0001, 0x4000, std::nullopt},  // SMART not claimed
        {0x0000, 0x0000, 0x0000, std::nullopt},                                          // all zeroes
    };
    for (const Case& c : cases) {
        const AtaBlock block = IdentifyBlock().Word(82, c.w82).Word(85, c.w85).Word(87, c.w87).Build();
        EXPECT_EQ(SmartStateFromIdentify(block), c.expected) << c.w82 << " " << c.w85 << " " << c.w87;
    }
}

TEST_F(SmartReport, FailedDisableChangesNothing) {
    Prepare(TypicalSmart(), false);
    d.sim.refuseDisable = true;
    ExpectGolden(Run(), "smart_id0_stop");
    EXPECT_EQ(d.sim.refusedDisables, 1);
    EXPECT_EQ(d.Commands(), (std::vector<Command>{kIdentify, kEnable, kRead}));
}

TEST_F(SmartReport, TwoClicksInARow) {
    Prepare(TypicalSmart(), false);
    testing::BusyRecorder busy;
    ReportContext ctx = d.Context();
    RunSmartCommand(ctx, busy);
    d.regional.now.second = 50;
    RunSmartCommand(ctx, busy);
    ExpectGolden(d.memo.lines, "smart_two_clicks");
    EXPECT_EQ(busy.calls, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(d.Commands(), (std::vector<Command>{kIdentify, kEnable, kRead, kDisable, kIdentify, kEnable,
                                                  kRead, kDisable}));
    EXPECT_FALSE(d.sim.Drive(0).smartEnabled);
}

// The busy state is set before the first command reaches the drive and cleared after the last.
class OrderedBusy : public BusySink {
  public:
    explicit OrderedBusy(sim::SimPlatform& sim) : m_sim(sim) {}
    void SetControlsEnabled(bool enabled) override {
        events.emplace_back(enabled, m_sim.Calls(sim::Call::Control).size());
    }
    std::vector<std::pair<bool, std::size_t>> events;

  private:
    sim::SimPlatform& m_sim;
};

TEST_F(SmartReport, BusyStateSpansTheWholeReport) {
    Prepare(TypicalSmart(), false);
    OrderedBusy busy(d.sim);
    ReportContext ctx = d.Context();
    RunSmartCommand(ctx, busy);
    EXPECT_EQ(busy.events, (std::vector<std::pair<bool, std::size_t>>{{false, 0}, {true, 4}}));
}

}  // namespace
}  // namespace orm
