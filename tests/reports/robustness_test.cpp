// Random IDENTIFY and SMART blocks (fixed seed) through the decoder and both reports: nothing
// crashes, nothing is read outside its block (run under the sanitizers too), and the texts keep
// to their fields.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ata/ide_passport.h"
#include "report_fixture.h"
#include "reports/device_details_report.h"
#include "reports/smart_report.h"

namespace orm {
namespace {

AtaBlock RandomBlock(std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255);
    AtaBlock block;
    for (auto& b : block) b = static_cast<std::uint8_t>(byte(rng));
    return block;
}

void ExpectTrimmedText(const std::string& text, std::size_t width) {
    EXPECT_LE(text.size(), width);
    if (text.empty()) return;
    EXPECT_GT(static_cast<unsigned char>(text.front()), 0x20);
    EXPECT_GT(static_cast<unsigned char>(text.back()), 0x20);
}

TEST(Robustness, RandomIdentifyBlocksDecodeAndPrint) {
    std::mt19937 rng(0x0A7A);
    for (int n = 0; n < 3000; ++n) {
        const AtaBlock block = RandomBlock(rng);
        const T_IDE_PASSPORT r = DecodeIdentifyData(block);
        ExpectTrimmedText(r.Model, 40);
        ExpectTrimmedText(r.FirmwareRevision, 8);
        ExpectTrimmedText(r.SerialNumber, 20);
        EXPECT_GE(r.LbaSectors, 0);
        EXPECT_GE(r.Lba48Sectors, 0);
        EXPECT_EQ(r.TotalSectors, r.Lba48Supported ? r.Lba48Sectors : r.LbaSectors);
        EXPECT_LE(r.UdmaSupportedMode, 6);
        EXPECT_LE(r.UdmaSelectedMode, 6);
        EXPECT_LE(r.BufferSize, 33553920u);

        testing::LineRecorder memo;
        WriteIdentifyDetails(r, '.', memo);
        ASSERT_GE(memo.lines.size(), 23u);
        ASSERT_LE(memo.lines.size(), 28u);
        EXPECT_EQ(memo.lines.front(), "Model: " + r.Model);
        const std::string& last = memo.lines.back();
        EXPECT_TRUE(last == "Command Queuing is not supported by the device" ||
                    last.rfind("Maximum Queue Depth: ", 0) == 0)
            << last;
    }
}

TEST(Robustness, RandomBlocksThroughBothReportsOnASimulatedDrive) {
    std::mt19937 rng(0x5A4A);
    for (int n = 0; n < 500; ++n) {
        testing::ChosenDrive d;
        const AtaBlock identify = RandomBlock(rng);
        d.Drive().Identify(identify).Smart(RandomBlock(rng)).SmartEnabled(n % 2 == 0);
        d.Choose("RANDOM", "R", 1 + n, 3, static_cast<std::uint8_t>(n % 2));
        ReportContext ctx = d.Context();
        ReportDeviceDetails(ctx);
        const std::size_t detailLines = d.memo.lines.size();
        EXPECT_GE(detailLines, 5u + 23u);
        ReportSmartAttributes(ctx);
        ASSERT_GE(d.memo.lines.size(), detailLines + 5u + 3u);
        EXPECT_EQ(d.memo.lines.back(), " ");
        // Whatever the blocks hold, the drive's SMART state is what it was; only an IDENTIFY
        // that does not claim SMART (word 82 bit 0) leaves it unknown, and then it stays enabled.
        const bool claimsSmart = (identify[82 * 2] & 1u) != 0;
        EXPECT_EQ(d.sim.Drive(0).smartEnabled, claimsSmart ? n % 2 == 0 : true);
    }
}

}  // namespace
}  // namespace orm
