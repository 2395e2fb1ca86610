// Column filling and the attribute name table.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "reports/attribute_names.h"
#include "reports/pad_text.h"

namespace orm {
namespace {

TEST(PadText, FillsToWidthAndNeverCuts) {
    struct {
        std::string text;
        std::uint16_t width;
        std::string right;
        std::string left;
    } const cases[] = {
        {"", 0, "", ""},
        {"", 3, "   ", "   "},
        {"5", 3, "5  ", "  5"},
        {"194", 3, "194", "194"},
        {"4294967295", 10, "4294967295", "4294967295"},
        {"12345", 3, "12345", "12345"},
        {"ab", 5, "ab   ", "   ab"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PadRight(c.text, c.width), c.right) << '"' << c.text << "\" " << c.width;
        EXPECT_EQ(PadLeft(c.text, c.width), c.left) << '"' << c.text << "\" " << c.width;
    }
}

TEST(PadText, WidthIsSixteenBit) {
    EXPECT_EQ(PadLeft("x", 65535).size(), 65535u);
    EXPECT_EQ(PadRight("x", 65535).back(), ' ');
}

TEST(AttributeNames, ThirtyThreeNamedIdsEachFilledTo26) {
    const std::map<int, std::string> expected = {
        {1, "Read error rate"},
        {2, "Throughput performance"},
        {3, "Spin up time"},
        {4, "Number of spin-up times"},
        {5, "Reallocated sectors count"},
        {6, "Read channel margin"},
        {7, "Seek error rate"},
        {8, "Seek time performance"},
        {9, "Power-on time"},
        {10, "Spin-up retries"},
        {11, "Calibration retries"},
        {12, "Start/stop count"},
        {13, "Soft read error rate"},
        {192, "Power-off retract count"},
        {193, "Load/unload cycle count"},
        {194, "HDA Temperature"},
        {195, "Hardware ECC recovered"},
        {196, "Reallocate event count"},
        {197, "Current pending sectors"},
        {198, "Offline scan UNC sectors"},
        {199, "Ultra ATA CRC Errors"},
        {200, "Write error rate"},
        {220, "Disk shift"},
        {221, "G-Sensor shock conuter"},
        {222, "Loaded hours"},
        {223, "Load retry count"},
        {224, "Load friction"},
        {225, "Load cycle count"},
        {226, "Load-in time"},
        {227, "Torque amplification"},
        {228, "Power-off retract count"},
        {229, "Fly height measurement"},
        {230, "GMR head amplitude"},
    };
    ASSERT_EQ(expected.size(), 33u);
    ASSERT_EQ(kAttributeNames.size(), 255u);
    int named = 0;
    for (int id = 1; id <= 255; ++id) {
        const std::string_view name = AttributeName(static_cast<std::uint8_t>(id));
        const auto it = expected.find(id);
        if (it == expected.end()) {
            EXPECT_TRUE(name.empty()) << id;
            EXPECT_EQ(kAttributeNames[static_cast<std::size_t>(id - 1)].length, 0) << id;
            continue;
        }
        ++named;
        EXPECT_EQ(name.size(), 26u) << id;
        EXPECT_EQ(name, PadRight(it->second, 26)) << id;
    }
    EXPECT_EQ(named, 33);
    EXPECT_TRUE(AttributeName(0).empty());
}

}  // namespace
}  // namespace orm
