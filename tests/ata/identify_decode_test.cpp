// Decoding of IDENTIFY DEVICE blocks into T_IDE_PASSPORT.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ata/ide_passport.h"
#include "platform/sim/ata_blocks.h"

namespace orm {
namespace {

using sim::IdentifyBlock;

TEST(DecodeIdentifyData, AllZeroBlockGivesEmptyRecordWithSectorSize512) {
    const T_IDE_PASSPORT r = DecodeIdentifyData(AtaBlock{});
    EXPECT_EQ((std::vector<std::string>{r.Model, r.FirmwareRevision, r.SerialNumber}),
              std::vector<std::string>(3, ""));
    EXPECT_EQ((std::vector<bool>{r.LbaSupported, r.Lba48Supported, r.SecuritySupported, r.SecurityLocked,
                                 r.SecurityLevelMaximum, r.HpaSupported, r.SmartSupported, r.SmartEnabled,
                                 r.AamSupported, r.UdmaValid, r.QueuingSupported, r.StreamingSupported}),
              std::vector<bool>(12, false));
    EXPECT_EQ(
        (std::vector<std::int64_t>{r.LbaSectors, r.Lba48Sectors, r.TotalSectors, r.MaxMultipleSectors,
                                   r.UdmaSupportedMode, r.UdmaSelectedMode, r.BufferSize, r.QueueDepth}),
        std::vector<std::int64_t>(8, 0));
    EXPECT_EQ(r.SectorSize, 512);
}

// Bytes written straight into the block, in the order the drive sends them.
AtaBlock WithBytes(std::size_t offset, const std::string& bytes) {
    AtaBlock block{};
    for (std::size_t i = 0; i < bytes.size(); ++i) block[offset + i] = static_cast<std::uint8_t>(bytes[i]);
    return block;
}

// A text as the drive sends it: each pair of characters swapped.
std::string AtaOrder(std::string text) {
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) std::swap(text[i], text[i + 1]);
    return text;
}

constexpr std::size_t kModelOffset = 2 * 27;
constexpr std::size_t kSerialOffset = 2 * 10;

TEST(DecodeIdentifyData, TextPairsAreSwappedAndTrimmed) {
    EXPECT_EQ(DecodeIdentifyData(WithBytes(kModelOffset, "BADC" + std::string(36, ' '))).Model, "ABCD");

    // Leading blanks and zero bytes go; the blanks between the words stay.
    const std::string model = std::string(" \0 AB  D", 8) + std::string(32, '\0');
    EXPECT_EQ(DecodeIdentifyData(WithBytes(kModelOffset, AtaOrder(model))).Model, "AB  D");

    // Control bytes count as blanks at both ends.
    const std::string tabbed = std::string("\t\x01XY\x1f\x20") + std::string(34, ' ');
    EXPECT_EQ(DecodeIdentifyData(WithBytes(kModelOffset, AtaOrder(tabbed))).Model, "XY");
}

TEST(DecodeIdentifyData, InnerZeroBytesStayAndBytesAbove0x7FAreText) {
    const std::string serial = std::string("A\0B\xE9", 4) + std::string(16, ' ');
    const AtaBlock block = WithBytes(kSerialOffset, AtaOrder(serial));
    EXPECT_EQ(DecodeIdentifyData(block).SerialNumber, std::string("A\0B\xE9", 4));
}

TEST(DecodeIdentifyData, FieldsOfFullWidthAreKeptWhole) {
    const AtaBlock block = IdentifyBlock()
                               .Model("0123456789012345678901234567890123456789")
                               .Serial("ABCDEFGHIJKLMNOPQRST")
                               .Firmware("FW123456")
                               .Build();
    const T_IDE_PASSPORT r = DecodeIdentifyData(block);
    EXPECT_EQ(r.Model, "0123456789012345678901234567890123456789");
    EXPECT_EQ(r.SerialNumber, "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(r.FirmwareRevision, "FW123456");
}

TEST(DecodeIdentifyData, CallerBlockIsNotChanged) {
    const AtaBlock block =
        IdentifyBlock().Model("WDC WD5000AAKS").Serial("WD-123").Firmware("01.03B01").Build();
    AtaBlock copy = block;
    (void)DecodeIdentifyData(copy);
    EXPECT_EQ(copy, block);
}

struct AddressingCase {
    const char* name;
    bool lba;
    std::uint32_t lba28;
    bool lba48Bit;
    std::uint64_t lba48;
    bool expectLba;
    bool expectLba48;
    std::int64_t expectLbaSectors;
    std::int64_t expectLba48Sectors;
    std::int64_t expectTotal;
};

class Addressing : public ::testing::TestWithParam<AddressingCase> {};

TEST_P(Addressing, Decodes) {
    const AddressingCase& c = GetParam();
    IdentifyBlock b;
    b.Word(60, static_cast<std::uint16_t>(c.lba28)).Word(61, static_cast<std::uint16_t>(c.lba28 >> 16));
    for (int i = 0; i < 4; ++i) b.Word(100 + i, static_cast<std::uint16_t>(c.lba48 >> (16 * i)));
    if (c.lba) b.SetBits(49, 0x0200);
    if (c.lba48Bit) b.SetBits(83, 0x0400);
    const T_IDE_PASSPORT r = DecodeIdentifyData(b.Build());
    EXPECT_EQ(r.LbaSupported, c.expectLba);
    EXPECT_EQ(r.Lba48Supported, c.expectLba48);
    EXPECT_EQ(r.LbaSectors, c.expectLbaSectors);
    EXPECT_EQ(r.Lba48Sectors, c.expectLba48Sectors);
    EXPECT_EQ(r.TotalSectors, c.expectTotal);
}

INSTANTIATE_TEST_SUITE_P(
    DecodeIdentifyData, Addressing,
    ::testing::Values(
        AddressingCase{"NoLbaIgnoresAllCounts", false, 268435455, true, 976773168, false, false, 0, 0, 0},
        AddressingCase{"Lba48AboveLba28", true, 268435455, true, 976773168, true, true, 268435455, 976773168,
                       976773168},
        AddressingCase{"Lba48EqualIsNotSupported", true, 196608, true, 196608, true, false, 196608, 0,
                       196608},
        AddressingCase{"Lba48BelowIsNotSupported", true, 1000, true, 999, true, false, 1000, 0, 1000},
        AddressingCase{"Lba48BitClear", true, 268435455, false, 976773168, true, false, 268435455, 0,
                       268435455},
        AddressingCase{"Lba28IsUnsigned32", true, 0xFFFFFFFFu, false, 0, true, false, 4294967295LL, 0,
                       4294967295LL},
        // The top bit set makes the 48-bit count negative in a signed comparison.
        AddressingCase{"Lba48TopBitSetIsNotSupported", true, 1000, true, 0x8000000000000001ull, true, false,
                       1000, 0, 1000},
        AddressingCase{"Lba48FullUpperWords", true, 1, true, 0x00007FFFFFFFFFFFull, true, true, 1,
                       0x00007FFFFFFFFFFFLL, 0x00007FFFFFFFFFFFLL}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct SecurityCase {
    const char* name;
    std::uint16_t word82;
    std::uint16_t word128;
    bool supported;
    bool locked;
    bool maximum;
};

class Security : public ::testing::TestWithParam<SecurityCase> {};

TEST_P(Security, Decodes) {
    const SecurityCase& c = GetParam();
    const T_IDE_PASSPORT r =
        DecodeIdentifyData(IdentifyBlock().Word(82, c.word82).Word(128, c.word128).Build());
    EXPECT_EQ(r.SecuritySupported, c.supported);
    EXPECT_EQ(r.SecurityLocked, c.locked);
    EXPECT_EQ(r.SecurityLevelMaximum, c.maximum);
}

INSTANTIATE_TEST_SUITE_P(
    DecodeIdentifyData, Security,
    ::testing::Values(SecurityCase{"NotSupportedIgnoresWord128", 0x0000, 0x0107, false, false, false},
                      SecurityCase{"SupportedNotEnabled", 0x0002, 0x0001, true, false, false},
                      // A password is set (bit 1) but the drive has been unlocked: not locked.
                      SecurityCase{"EnabledButUnlocked", 0x0002, 0x0003, true, false, false},
                      SecurityCase{"LockedHigh", 0x0002, 0x0007, true, true, false},
                      SecurityCase{"LockedMaximum", 0x0002, 0x0107, true, true, true},
                      SecurityCase{"LockedBitAloneIsLocked", 0x0002, 0x0004, true, true, false},
                      SecurityCase{"MaximumUnlocked", 0x0002, 0x0103, true, false, true}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(DecodeIdentifyData, FeatureFlags) {
    const T_IDE_PASSPORT none = DecodeIdentifyData(IdentifyBlock().Word(85, 0x0001).Build());
    EXPECT_FALSE(none.SmartSupported);
    EXPECT_FALSE(none.SmartEnabled) << "word 85 counts only when SMART is supported";

    const T_IDE_PASSPORT r = DecodeIdentifyData(
        IdentifyBlock().Word(82, 0x0401).Word(83, 0x0200).Word(84, 0x0010).Word(85, 0x0001).Build());
    EXPECT_EQ((std::vector<bool>{r.SmartSupported, r.SmartEnabled, r.HpaSupported, r.AamSupported,
                                 r.StreamingSupported}),
              std::vector<bool>(5, true));

    const T_IDE_PASSPORT off = DecodeIdentifyData(IdentifyBlock().Word(82, 0x0001).Build());
    EXPECT_EQ((std::vector<bool>{off.SmartSupported, off.SmartEnabled, off.HpaSupported, off.AamSupported,
                                 off.StreamingSupported}),
              (std::vector<bool>{true, false, false, false, false}));
}

TEST(DecodeIdentifyData, QueueDepthIsWord75Unmasked) {
    struct {
        std::uint16_t word75;
        bool queuing;
        std::int64_t depth;
    } const cases[] = {
        {0x0000, false, 0}, {0x001F, true, 31}, {0x0001, true, 1}, {0xFFFF, true, 65535}, {0x0020, true, 32}};
    for (const auto& c : cases) {
        const T_IDE_PASSPORT r = DecodeIdentifyData(IdentifyBlock().Word(75, c.word75).Build());
        EXPECT_EQ(r.QueuingSupported, c.queuing) << c.word75;
        EXPECT_EQ(r.QueueDepth, c.depth) << c.word75;
    }
}

TEST(DecodeIdentifyData, UltraDmaModes) {
    struct {
        std::uint16_t word88, word53;
        bool valid;
        int supported, selected;
    } const cases[] = {
        {0x207F, 0x0004, true, 6, 5},
        {0x207F, 0x0000, false, 0, 0},  // word 88 not valid
        {0x8080, 0x0004, true, 0, 0},   // bits 7 and 15 are not modes
    };
    for (const auto& c : cases) {
        const T_IDE_PASSPORT r = DecodeIdentifyData(
            IdentifyBlock().Word(88, c.word88).SetBits(49, 0x0100).SetBits(53, c.word53).Build());
        EXPECT_EQ(r.UdmaValid, c.valid) << c.word88;
        EXPECT_EQ(r.UdmaSupportedMode, c.supported) << c.word88;
        EXPECT_EQ(r.UdmaSelectedMode, c.selected) << c.word88;
    }
}

TEST(DecodeIdentifyData, BufferSizeAndMultiple) {
    struct {
        std::uint16_t word21;
        std::uint32_t bytes;
    } const cases[] = {{0x0000, 0}, {0x0400, 524288}, {0x0200, 262144}, {0xFFFF, 33553920}};
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeIdentifyData(IdentifyBlock().Word(21, c.word21).Build()).BufferSize, c.bytes)
            << c.word21;
    }
    EXPECT_EQ(DecodeIdentifyData(IdentifyBlock().Word(47, 0x8010).Build()).MaxMultipleSectors, 0x10);
}

// Words 117-118 count 16-bit words; they count only when word 106 is valid and its bit 12 set,
// and only with a size the block layer takes too.
TEST(DecodeIdentifyData, LogicalSectorSizeFromWords106And117) {
    struct {
        const char* what;
        std::uint16_t word106, word117, word118;
        std::int64_t size;
    } const cases[] = {
        {"4Kn drive", 0x5000, 2048, 0, 4096},
        {"512e drive: bit 12 clear", 0x6003, 2048, 0, 512},
        {"word 106 not valid (bits 15:14 = 11)", 0xD000, 2048, 0, 512},
        {"words 117-118 zero", 0x5000, 0, 0, 512},
        {"huge", 0x5000, 0, 0x8000, 512},
        {"520 bytes: not a power of two", 0x5000, 260, 0, 512},
        {"64 KiB, the largest taken", 0x5000, 0x8000, 0, 65536},
    };
    for (const auto& c : cases) {
        const AtaBlock block =
            IdentifyBlock().Word(106, c.word106).Word(117, c.word117).Word(118, c.word118).Build();
        EXPECT_EQ(DecodeIdentifyData(block).SectorSize, c.size) << c.what;
    }
}

}  // namespace
}  // namespace orm
