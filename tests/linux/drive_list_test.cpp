#include "helper/drive_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "fake_sysfs.h"

namespace orm::helper {
namespace {

TEST(NaturalOrder, OrdersKernelNamesAsTheyAreCreated) {
    const std::vector<std::string> expected = {
        "hda",     "hdb",     "sda",      "sdb",     "sdz",  "sdaa", "sdab",  "sdba",
        "nvme0n1", "nvme0n2", "nvme0n10", "nvme1n1", "vda",  "vdb",  "xvda",  "mmcblk0",
        "mmcblk1", "loop0",   "loop1",    "loop10",  "nbd0", "nbd1", "pmem0",
    };
    std::vector<std::string> shuffled = expected;
    std::mt19937 rng(1234);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(shuffled.begin(), shuffled.end(), rng);
        std::vector<std::string> sorted = shuffled;
        std::sort(sorted.begin(), sorted.end(), NaturalLess);
        ASSERT_EQ(sorted, expected);
    }
}

TEST(NaturalOrder, IsAStrictOrder) {
    const std::vector<std::string> names = {"sda", "sd01", "sd1", "loop007", "loop7",
                                            "x",   "",     "9",   "a9b",     "a10b"};
    for (const auto& a : names) {
        EXPECT_FALSE(NaturalLess(a, a)) << a;
        for (const auto& b : names) {
            if (a != b) {
                EXPECT_NE(NaturalLess(a, b), NaturalLess(b, a)) << a << " / " << b;
            }
        }
    }
}

class DriveListTest : public ::testing::Test {
  protected:
    lnx::test::FakeSysfs sys;
    std::map<std::string, std::string> Writable(std::map<std::string, std::string> extra = {}) {
        extra.emplace("ro", "0\n");
        extra.emplace("removable", "0\n");
        return extra;
    }
};

TEST_F(DriveListTest, ListsWholeWritableDisksAndLeavesTheRestOut) {
    // Whole disks, a Smart Array volume among them; then a loop device not attached, a CD drive, RAM
    // disks, a device-mapper and an md volume.
    for (const char* name : {"sdb", "sda", "sdaa", "nvme0n1", "vda", "cciss!c0d0", "loop1", "sr0", "ram0",
                             "zram0", "dm-0", "md127"}) {
        sys.AddDisk(name, Writable());
    }
    sys.AddDisk("loop0", Writable({{"loop/backing_file", "/tmp/disk.img\n"}}));
    sys.AddDisk("loop2", {{"ro", "1\n"}, {"loop/backing_file", "/tmp/ro.img\n"}});  // attached read-only
    sys.AddDisk("sdc", {{"ro", "1\n"}, {"removable", "0\n"}});                      // write-protected
    sys.AddDisk("sdd",
                Writable({{"removable", "1\n"}, {"device/type", "5\n"}}));  // optical in a SCSI wrapper
    sys.AddDisk("sde", Writable({{"removable", "1\n"}, {"device/type", "0\n"}, {"size", "62521344\n"}}));
    sys.AddDisk("sdh", Writable({{"removable", "1\n"}, {"size", "0\n"}}));  // a card reader without a card
    sys.AddDisk("nvme0c0n1", Writable({{"hidden", "1\n"}}));  // multipath path, not the namespace
    sys.AddDisk("sdf", Writable({{"partition", "1\n"}}));     // a partition's directory
    sys.AddDisk("sdg", {});                                   // no ro attribute: unknown, not listed

    const std::vector<std::string> expected = {"sda",     "sdb", "sde",   "sdaa",
                                               "nvme0n1", "vda", "loop0", "cciss!c0d0"};
    EXPECT_EQ(ListDriveNames(sys.Root()), expected);
}

TEST(DevicePath, KernelNamesWithABangLiveInASubdirectory) {
    EXPECT_EQ(DevicePathOf("sda"), "/dev/sda");
    EXPECT_EQ(DevicePathOf("cciss!c0d0"), "/dev/cciss/c0d0");
}

TEST_F(DriveListTest, MissingTreeGivesAnEmptyList) {
    EXPECT_TRUE(ListDriveNames(sys.Root() + "/nowhere").empty());
    EXPECT_TRUE(ListDriveNames(sys.Root()).empty());
    EXPECT_FALSE(IsDriveName(sys.Root(), "sda"));
}

}  // namespace
}  // namespace orm::helper
