// The attribute table of the SMART report, from SMART READ DATA blocks.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/sim/ata_blocks.h"
#include "reports/attribute_names.h"
#include "reports/smart_report.h"
#include "support/recorders.h"

namespace orm {
namespace {

using sim::SmartBlock;

using Lines = testing::LineRecorder;

TEST(SmartTable, ColumnHeaderWordsSitAtTheirColumns) {
    const std::string header = kSmartColumnHeader;
    ASSERT_EQ(header.size(), 74u);
    EXPECT_EQ((std::vector<std::size_t>{header.find_first_not_of(' '), header.find("Attribute"),
                                        header.find("Current"), header.find("Worst"), header.find("Raw"),
                                        header.find("Note")}),
              (std::vector<std::size_t>{10, 10, 41, 51, 60, 70}));
}

TEST(SmartTable, WorkedLines) {
    const AtaBlock block = SmartBlock()
                               .Attribute(1, 100, 100, 0)
                               .Attribute(194, 100, 253, 0x23)
                               .Attribute(194, 7, 0, 0x0123)
                               .Attribute(190, 69, 69, 0x1F1F001F)
                               .Attribute(5, 255, 255, 0xFFFFFFFFu)
                               .Attribute(9, 0, 0, 0xAABB0000002Aull)
                               .Build();
    const std::vector<std::string> expected = {
        "Att: 1    Read error rate                  100      100           0",
        "Att: 194  HDA Temperature                  100      253          35  (35 degrees) ",
        "Att: 194  HDA Temperature                    7        0         291  (35 degrees) ",
        "Att: 190  Unknown                           69       69   522125343",
        "Att: 5    Reallocated sectors count        255      255  4294967295",
        "Att: 9    Power-on time                      0        0          42",
    };
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(SmartAttributeLine(block, static_cast<int>(k)), expected[k]) << k;
    }
}

TEST(SmartTable, IndexOutsideTheTableGivesNoLine) {
    AtaBlock block;
    block.fill(0xC2);
    EXPECT_EQ(SmartAttributeLine(block, -1), "");
    EXPECT_EQ(SmartAttributeLine(block, 30), "");
    EXPECT_NE(SmartAttributeLine(block, 29), "");
}

TEST(SmartTable, FirstIdZeroGivesNoAttributeLine) {
    Lines out;
    WriteSmartTable(AtaBlock{}, out);
    EXPECT_EQ(out.lines, (std::vector<std::string>{kSmartColumnHeader, std::string(82, '-'), " "}));
}

TEST(SmartTable, IdZeroEndsTheListEvenWithIdsBehindIt) {
    SmartBlock block;
    for (int id : {1, 5, 9, 12, 194, 0, 197, 3})
        block.Attribute(static_cast<std::uint8_t>(id), 100, 100, id == 194 ? 40 : 0);
    Lines out;
    WriteSmartTable(block.Build(), out);
    ASSERT_EQ(out.lines.size(), 3u + 5u);
    EXPECT_EQ(out.lines[2].substr(0, 8), "Att: 1  ");
    EXPECT_EQ(out.lines[6].substr(0, 8), "Att: 194");
    EXPECT_EQ(out.lines.back(), " ");
}

TEST(SmartTable, ThirtyEntriesAndNothingFromOffset362) {
    SmartBlock builder;
    for (int k = 0; k < 30; ++k) builder.Attribute(static_cast<std::uint8_t>(k + 1), 100, 100, 0);
    AtaBlock block = builder.Build();
    // A thirty-first "entry" behind the table must not be read as one.
    block[362] = 194;
    block[362 + 3] = 1;
    Lines out;
    WriteSmartTable(block, out);
    ASSERT_EQ(out.lines.size(), 3u + 30u);
    EXPECT_EQ(out.lines[2 + 29].substr(0, 8), "Att: 30 ");
    for (const std::string& line : out.lines) EXPECT_EQ(line.find("degrees"), std::string::npos);
}

// The columns an attribute line keeps whatever the entry holds.
void ExpectColumns(const std::string& line, const std::uint8_t* entry) {
    const std::uint8_t id = entry[0];
    ASSERT_GE(line.size(), 67u) << line;
    EXPECT_EQ(line.substr(0, 5), "Att: ");
    EXPECT_EQ(std::stoi(line.substr(5, 3)), id) << line;
    EXPECT_NE(line[5], ' ') << "the id is left-aligned: " << line;
    EXPECT_EQ(line.substr(8, 2), "  ");
    const std::string_view name = AttributeName(id);
    EXPECT_EQ(line.substr(10, 26),
              name.empty() ? std::string("Unknown                   ") : std::string(name));
    EXPECT_EQ(line.substr(36, 5), "     ");
    EXPECT_EQ(std::stoul(line.substr(41, 5)), entry[3]) << line;
    EXPECT_NE(line[45], ' ') << "the current value is right-aligned: " << line;
    EXPECT_EQ(line.substr(46, 2), "  ");
    EXPECT_EQ(std::stoul(line.substr(48, 7)), entry[4]) << line;
    EXPECT_NE(line[54], ' ') << line;
    EXPECT_EQ(line.substr(55, 2), "  ");
    const unsigned long raw =
        entry[5] | (entry[6] << 8) | (entry[7] << 16) | (static_cast<unsigned long>(entry[8]) << 24);
    EXPECT_EQ(std::stoul(line.substr(57, 10)), raw) << line;
    EXPECT_NE(line[66], ' ') << line;
    if (id == 194) {
        EXPECT_EQ(line.substr(67), "  (" + std::to_string(entry[5]) + " degrees) ");
    } else {
        EXPECT_EQ(line.size(), 67u) << line;
    }
}

TEST(SmartTable, RandomBlocksKeepEveryColumn) {
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 3000; ++n) {
        AtaBlock block;
        for (auto& b : block) b = static_cast<std::uint8_t>(byte(rng));
        // Most random blocks stop early at an id 0 only by chance; make ids mostly non-zero
        // so whole tables are exercised, and sometimes put a stop somewhere.
        for (int k = 0; k < kSmartEntries; ++k) {
            auto& id = block[kSmartEntryOffset + kSmartEntrySize * static_cast<std::size_t>(k)];
            if (id == 0) id = 194;
        }
        if (n % 3 == 0) block[kSmartEntryOffset + kSmartEntrySize * static_cast<std::size_t>(n % 30)] = 0;

        Lines out;
        WriteSmartTable(block, out);
        ASSERT_GE(out.lines.size(), 3u);
        ASSERT_LE(out.lines.size(), 33u);
        EXPECT_EQ(out.lines.front(), kSmartColumnHeader);
        EXPECT_EQ(out.lines.back(), " ");
        const std::size_t attributeLines = out.lines.size() - 3;
        if (n % 3 == 0) {
            EXPECT_EQ(attributeLines, static_cast<std::size_t>(n % 30));
        }
        for (std::size_t k = 0; k < attributeLines; ++k) {
            ExpectColumns(out.lines[2 + k], block.data() + kSmartEntryOffset + kSmartEntrySize * k);
        }
    }
}

}  // namespace
}  // namespace orm
