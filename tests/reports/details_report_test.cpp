// The device details report, against golden text files in tests/data.
#include <gtest/gtest.h>

#include <utility>

#include "platform/sim/ata_blocks.h"
#include "platform/win_layouts.h"
#include "report_fixture.h"
#include "reports/device_details_report.h"

namespace orm {
namespace {

using sim::IdentifyBlock;
using testing::ChosenDrive;
using testing::ExpectGolden;

constexpr std::int64_t kUsb = 7;
constexpr std::int64_t kAta = 3;

// A typical 500 GB drive of its time: 48-bit count above the 28-bit limit, SMART, AAM, HPA.
IdentifyBlock Drive500() {
    IdentifyBlock b;
    b.Model("ST3500418AS").Serial("9VM12345").Firmware("CC38");
    b.Lba28(268435455).Lba48(976773168);
    b.Word(21, 0x4000);  // 8 MB buffer
    b.Word(47, 0x8010).SetBits(49, 0x0100).SetBits(53, 0x0004).Word(88, 0x207F);
    b.SetBits(82, 0x0401).SetBits(83, 0x0200).SetBits(85, 0x0001);
    b.Word(75, 0x001F);
    return b;
}

std::vector<std::string> DetailsOf(ChosenDrive& d) {
    ReportContext ctx = d.Context();
    ReportDeviceDetails(ctx);
    return d.memo.lines;
}

TEST(DeviceDetailsReport, UsbDriveGetsSixLinesAndNoCommand) {
    ChosenDrive d;
    d.Drive().Bus(win::BusTypeUsb).Identify(Drive500().Build());
    d.Choose("USB Flash Disk", "1100", 7831552, kUsb);
    const auto lines = DetailsOf(d);
    EXPECT_EQ(lines.size(), 6u);
    ExpectGolden(lines, "details_usb");
    EXPECT_TRUE(d.sim.Calls(sim::Call::Control).empty());
}

TEST(DeviceDetailsReport, FailingIdentify) {
    ChosenDrive d;
    d.Drive().Identify(Drive500().Build()).IdentifyReturns(555);
    d.Choose("ST3500418AS", "CC38", 976773168, kAta);
    ExpectGolden(DetailsOf(d), "details_identify_fails");
    EXPECT_EQ(d.sim.Calls(sim::Call::Control).size(), 1u);
}

TEST(DeviceDetailsReport, Drive500GbWith28BitLimit) {
    ChosenDrive d;
    d.Drive().Identify(Drive500().Build());
    d.Choose("ST3500418AS", "CC38", 976773168, kAta);
    ExpectGolden(DetailsOf(d), "details_500gb");
}

TEST(DeviceDetailsReport, Lba48EqualToLba28) {
    ChosenDrive d;
    IdentifyBlock b;
    b.Model("WDC WD800JD-00LSA0").Serial("WD-WMAM9ABC1234").Firmware("06.01D06").Word(21, 0x2000);
    b.Lba28(156301488).Lba48(156301488).SetBits(82, 0x0001);
    d.Drive().Identify(b.Build());
    d.Choose("WDC WD800JD-00LSA0", "06.01D06", 156301488, kAta);
    ExpectGolden(DetailsOf(d), "details_lba48_equal");
}

TEST(DeviceDetailsReport, NoLbaAndNoBufferSize) {
    ChosenDrive d;
    IdentifyBlock b;
    b.Model("Conner CP30254").Serial("").Firmware("A1").Word(21, 0);
    // Counts present, but word 49 bit 9 is clear: none of them count.
    b.Word(60, 0x1234).Word(61, 0x0001).SetBits(83, 0x0400).Word(100, 0xFFFF);
    d.Drive().Identify(b.Build());
    d.Choose("Conner CP30254", "A1", 500000, kAta);
    ExpectGolden(DetailsOf(d), "details_no_lba");
}

// A 4 TB drive with 4096-byte logical sectors: the heading and the capacity count 4096 bytes a
// sector (words 106 and 117-118), the sector counts stay counts.
TEST(DeviceDetailsReport, Drive4KnCountsItsLogicalSectorSize) {
    ChosenDrive d;
    IdentifyBlock b;
    b.Model("DEMODISK AF4000KN").Serial("K4KDEMO1").Firmware("4K02").Word(21, 0x4000);
    b.Lba28(268435455).Lba48(976754646).SetBits(82, 0x0001).Word(106, 0x5000).Word(117, 2048).Word(118, 0);
    d.Drive().SectorSize(4096).Identify(b.Build());
    d.Choose("DEMODISK AF4000KN", "4K02", 976754646, kAta);
    d.state.Record(1).BytesPerSector = 4096;
    ExpectGolden(DetailsOf(d), "details_4kn");
}

// A password set but the drive unlocked (word 128 bit 2 clear), locked at high, locked at maximum.
TEST(DeviceDetailsReport, SecurityStates) {
    const std::pair<std::uint16_t, const char*> cases[] = {{0x0003, "details_security_unlocked"},
                                                           {0x0007, "details_locked_high"},
                                                           {0x0107, "details_locked_maximum"}};
    for (const auto& [word128, golden] : cases) {
        SCOPED_TRACE(golden);
        ChosenDrive d;
        d.Drive().Identify(Drive500().SetBits(82, 0x0002).Word(128, word128).Build());
        d.Choose("ST3500418AS", "CC38", 976773168, kAta);
        ExpectGolden(DetailsOf(d), golden);
    }
}

TEST(DeviceDetailsReport, AllZeroIdentifyAndDrive1) {
    ChosenDrive d(1);
    d.Drive().Identify(IdentifyBlock().Build());
    d.Choose("", "", 0, kAta, 1);
    ExpectGolden(DetailsOf(d), "details_all_zero");
    const auto calls = d.sim.Calls(sim::Call::Control);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].ataDriveHead, 0xB0);
    EXPECT_EQ(calls[0].ataDriveNumber, 1);
}

// 1,000 sectors behind a host protected area and 1,234,567 more behind an overlay: a line each,
// after the HPA line. A drive whose READ NATIVE MAX ADDRESS is refused prints what it always did.
TEST(DeviceDetailsReport, HiddenSectorsGetALineEachOnlyWhenFound) {
    ChosenDrive d;
    d.Drive()
        .Identify(Drive500().SetBits(83, 0x4800).Build())
        .NativeMaxAddress(976773168 + 999)
        .DcoMaxAddress(976773168 + 1000 + 1234567 - 1);
    d.Choose("ST3500418AS", "CC38", 976773168, kAta);
    ReportContext ctx = d.Context();
    const HiddenSectors hidden = ReportDeviceDetails(ctx);
    ExpectGolden(d.memo.lines, "details_hidden");
    EXPECT_EQ(hidden.Known(), 1000 + 1234567);

    ChosenDrive refused;
    refused.Drive().Identify(Drive500().Build()).AbortAtaCommand(win::ATA_READ_NATIVE_MAX_ADDRESS_EXT);
    refused.Choose("ST3500418AS", "CC38", 976773168, kAta);
    ExpectGolden(DetailsOf(refused), "details_500gb");
}

TEST(DeviceDetailsReport, QemuSataDisk) {
    ChosenDrive d;
    d.Drive().Identify(testing::LoadHexBlock("qemu_sata_identify.hex"));
    d.Choose("QEMU-ATA SATA TEST DISK", "QA1.0", 196608, kAta);
    ExpectGolden(DetailsOf(d), "details_qemu_sata");
}

TEST(DeviceDetailsReport, CommaDecimalSeparatorReachesBufferSizeAndDiskName) {
    ChosenDrive d;
    d.regional.separator = ',';
    d.Drive().Identify(testing::LoadHexBlock("qemu_sata_identify.hex"));
    d.Choose("QEMU-ATA SATA TEST DISK", "QA1.0", 196608, kAta);
    const auto lines = DetailsOf(d);
    ASSERT_GT(lines.size(), 8u);
    EXPECT_EQ(lines[3], "Device details for QEMU-ATA SATA TEST DISK    QA1.0    [100,66 Mbytes]");
    EXPECT_EQ(lines[8], "Buffer size: 262,14 Kbytes");
}

TEST(DeviceDetailsReport, MidnightHeaderHasTheDateAlone) {
    ChosenDrive d;
    d.regional.now = CivilTime{2026, 12, 8, 0, 0, 0};
    d.Drive().Bus(win::BusTypeUsb);
    d.Choose("USB Flash Disk", "1100", 7831552, kUsb);
    const auto lines = DetailsOf(d);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "Current date and time: 08.12.2026");
}

}  // namespace
}  // namespace orm
