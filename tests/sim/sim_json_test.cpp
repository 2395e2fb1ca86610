// Drives loaded from a JSON description.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/sim/sim_platform.h"
#include "platform/win_layouts.h"

namespace orm::sim {
namespace {

std::string WriteTemp(const std::string& text) {
    static int n = 0;
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("orm-sim-json-" + std::to_string(::getpid()) + "-" + std::to_string(n++) + ".json"))
            .string();
    std::ofstream(path) << text;
    return path;
}

TEST(SimJson, LoadsTheSampleDescription) {
    SimPlatform sim;
    const std::string dir = std::filesystem::temp_directory_path().string();
    std::string error;
    ASSERT_TRUE(LoadDrivesFromJson(sim, ORM_TEST_DATA_DIR "/drives.json", dir, &error)) << error;
    ASSERT_TRUE(sim.HasDrive(0));
    ASSERT_TRUE(sim.HasDrive(3));
    const DriveSpec& d0 = sim.Drive(0);
    EXPECT_EQ(d0.busType, 3);
    EXPECT_EQ(d0.length, 156301488LL * 512);
    EXPECT_EQ(d0.maxTransferLength, 65536u);
    EXPECT_EQ(d0.product, "SIM ST380011A");
    EXPECT_EQ(d0.inquiryByte13, 1);
    EXPECT_FALSE(d0.smartEnabled);
    EXPECT_EQ(d0.nativeMaxAddress, std::optional<std::uint64_t>(156303487));
    EXPECT_EQ(d0.dcoMaxAddress, std::optional<std::uint64_t>(0x9510000));
    EXPECT_FALSE(sim.Drive(3).nativeMaxAddress.has_value());
    ASSERT_TRUE(d0.identify.has_value());
    EXPECT_EQ(win::GetLe16(&(*d0.identify)[82 * 2]), 0x746b);
    EXPECT_EQ(win::GetLe16(&(*d0.identify)[0]), 3162);
    EXPECT_EQ(win::GetLe16(&(*d0.identify)[60 * 2]), 156301488 & 0xFFFF);
    ASSERT_TRUE(d0.smart.has_value());
    EXPECT_EQ((*d0.smart)[2], 9);
    EXPECT_EQ((*d0.smart)[7], 0x2b);
    const DriveSpec& d3 = sim.Drive(3);
    EXPECT_EQ(d3.busType, 7);
    EXPECT_EQ(d3.reportedSectorSize, 4096u);
    EXPECT_EQ(d3.length, 40960000);
    EXPECT_TRUE(d3.removable);
    EXPECT_EQ(d3.imageFile, dir + "/drive3.img");
    EXPECT_FALSE(d3.identify.has_value());
    EXPECT_EQ(d3.faults.vanishAt, 1048576);
    EXPECT_EQ(d3.faults.vanishError, 433u);
    EXPECT_EQ(d3.faults.abortedCommands, (std::vector<std::uint8_t>{0x27, 0xB1}));
    EXPECT_FALSE(d0.faults.vanishAt.has_value());
}

TEST(SimJson, RejectsBadDescriptionsWithAMessage) {
    const struct {
        const char* json;
        const char* mentions;
    } cases[] = {
        {"not json", "not valid JSON"},
        {"{\"disks\": []}", "drives"},
        {"[{\"sectors\": 10}]", "no number"},
        {"[{\"number\": 1}]", "sectors or length"},
        {"[{\"number\": 300, \"sectors\": 1}]", "too large"},
        {"[{\"number\": 1, \"sectors\": \"ten\"}]", "not a number"},
        {"[{\"number\": 1, \"sectors\": 1, \"bus\": \"WARP\"}]", "unknown bus"},
        {"[{\"number\": 1, \"sectors\": 1}, {\"number\": 1, \"sectors\": 1}]", "twice"},
        {"[{\"number\": 1, \"sectors\": 1, \"storage\": \"tape\"}]", "storage"},
        {"[{\"number\": 1, \"sectors\": 1, \"abortAtaCommands\": [\"FORMAT UNIT\"]}]", "not a number"},
        {"[{\"number\": 1, \"sectors\": 1, \"identify\": {\"words\": {\"256\": 1}}}]", "word index"},
    };
    for (const auto& c : cases) {
        SimPlatform sim;
        const std::string path = WriteTemp(c.json);
        std::string error;
        EXPECT_FALSE(LoadDrivesFromJson(sim, path, "", &error)) << c.json;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << c.json << " -> " << error;
        std::filesystem::remove(path);
    }
    SimPlatform sim;
    std::string error;
    EXPECT_FALSE(LoadDrivesFromJson(sim, "/nonexistent/drives.json", "", &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace orm::sim
