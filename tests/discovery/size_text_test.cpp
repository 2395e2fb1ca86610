// SizeText, GroupDigits and DiskName worked values.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "discovery/size_text.h"

namespace orm {
namespace {

struct SizeCase {
    std::int64_t bytes;
    const char* point;
    const char* comma;
};

TEST(SizeText, WorkedValues) {
    const SizeCase cases[] = {
        {0, "0 bytes", "0 bytes"},
        {512, "512 bytes", "512 bytes"},
        {99'998, "99998 bytes", "99998 bytes"},
        {99'999, "99.99 Kbytes", "99,99 Kbytes"},
        {100'000, "100 Kbytes", "100 Kbytes"},
        {1'048'576, "1048.57 Kbytes", "1048,57 Kbytes"},
        {9'999'998, "9999.99 Kbytes", "9999,99 Kbytes"},
        {9'999'999, "9.99 Mbytes", "9,99 Mbytes"},
        {33'553'920, "33.55 Mbytes", "33,55 Mbytes"},
        {33'554'432, "33.55 Mbytes", "33,55 Mbytes"},
        {9'999'999'998, "9999.99 Mbytes", "9999,99 Mbytes"},
        {9'999'999'999, "9.99 Gbytes", "9,99 Gbytes"},
        {80'026'361'856, "80.02 Gbytes", "80,02 Gbytes"},
        {500'107'862'016, "500.1 Gbytes", "500,1 Gbytes"},
        {2'000'398'934'016, "2000.39 Gbytes", "2000,39 Gbytes"},
        // One decimal when the second one is zero; none for whole values.
        {1'200'000, "1200 Kbytes", "1200 Kbytes"},
        {120'500, "120.5 Kbytes", "120,5 Kbytes"},
        {1'000'000'000'000, "1000 Gbytes", "1000 Gbytes"},
        {std::numeric_limits<std::int64_t>::max(), "9223372036.85 Gbytes", "9223372036,85 Gbytes"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SizeText(c.bytes, '.'), c.point) << c.bytes;
        EXPECT_EQ(SizeText(c.bytes, ','), c.comma) << c.bytes;
    }
}

TEST(GroupDigits, WorkedValues) {
    const struct {
        std::int64_t value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {7, "7"},
        {999, "999"},
        {1'234, "1234"},
        {9'999, "9999"},
        {12'345, "12,345"},
        {123'456, "123,456"},
        {1'234'567, "1,234,567"},
        {156'301'488, "156,301,488"},
        {1'000'000'000'000, "1,000,000,000,000"},
        {std::numeric_limits<std::int64_t>::max(), "9,223,372,036,854,775,807"},
        {-12'345, "-12,345"},
        {-123'456, "-123,456"},
        {-1'234, "-1234"},
        {std::numeric_limits<std::int64_t>::min(), "-9,223,372,036,854,775,808"},
    };
    for (const auto& c : cases) EXPECT_EQ(GroupDigits(c.value), c.text) << c.value;
}

RunState ChosenState(const char* model, const char* firmware, std::int64_t sectors,
                     std::int64_t bytesPerSector) {
    RunState state;
    state.DrivesFound = 1;
    state.ChosenIndex = 1;
    state.DeviceChosen = true;
    TDeviceTable& r = state.Record(1);
    std::memcpy(r.Model, model, std::min<std::size_t>(std::strlen(model), sizeof r.Model));
    std::memcpy(r.Firmware, firmware, std::min<std::size_t>(std::strlen(firmware), sizeof r.Firmware));
    r.SectorCount = sectors;
    r.BytesPerSector = bytesPerSector;
    return state;
}

TEST(DiskName, ModelFirmwareAndSize) {
    EXPECT_EQ(DiskName(ChosenState("ST380011A               ", "3.06    ", 156'301'488, 512), '.'),
              "ST380011A    3.06    [80.02 Gbytes]");
    EXPECT_EQ(DiskName(ChosenState("ST380011A               ", "3.06    ", 156'301'488, 512), ','),
              "ST380011A    3.06    [80,02 Gbytes]");
    // The size is the sector count times the drive's sector size.
    EXPECT_EQ(DiskName(ChosenState("BIG", "FW12345X", 1'000'000, 4096), '.'),
              "BIG    FW12345X    [4096 Mbytes]");
    // A blank model leaves just the separators.
    EXPECT_EQ(DiskName(ChosenState("                        ", "1.0     ", 100, 512), '.'),
              "    1.0    [51200 bytes]");
}

TEST(DiskName, NoChosenRecordGivesEmptyText) {
    RunState state;
    EXPECT_EQ(DiskName(state, '.'), "");
    state.ChosenIndex = 17;
    EXPECT_EQ(DiskName(state, '.'), "");
}

}  // namespace
}  // namespace orm
