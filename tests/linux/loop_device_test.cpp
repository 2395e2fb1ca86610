// LinuxKernelServices on loop devices the tests attach themselves. Nothing here opens or
// asserts anything about a block device the test did not create.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "helper/drive_list.h"
#include "loop_device.h"
#include "platform/linux/linux_kernel_services.h"
#include "platform/win_layouts.h"

namespace orm::lnx {
namespace {

constexpr std::uint64_t kImageBytes = 64ull << 20;

class LoopDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string why = test::LoopUnavailableReason();
        if (!why.empty()) GTEST_SKIP() << why;
    }

    // A loop device that could not be attached has an empty path: the test fails here, and the open of
    // that path that follows stops it.
    std::unique_ptr<test::LoopDevice> Attach(const std::string& image, unsigned sectorSize,
                                             bool readOnly = false) {
        auto loop = std::make_unique<test::LoopDevice>(dir.Path(), image, kImageBytes, sectorSize, readOnly);
        EXPECT_FALSE(loop->Path().empty()) << "losetup could not attach " << image;
        return loop;
    }

    static std::vector<std::string> ListedPaths(LinuxKernelServices& k) {
        std::vector<std::string> paths;
        for (unsigned n = 0; n < 256; ++n) {
            const std::string path = k.DrivePath(n);
            if (path.empty()) break;
            paths.push_back(path);
        }
        return paths;
    }

    test::TempDir dir;
    LinuxKernelServices k;
};

Handle OpenFor(LinuxKernelServices& k, const std::string& path, bool write) {
    const std::uint32_t access = win::GENERIC_READ | (write ? win::GENERIC_WRITE : 0);
    return k.Open(path, access, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

TEST_F(LoopDeviceTest, WritableLoopDevicesAreDrivesReadOnlyOnesAreNot) {
    auto small = Attach("disk512.img", 512);
    auto large = Attach("disk4096.img", 4096);
    auto readOnly = Attach("readonly.img", 512, true);
    ASSERT_FALSE(small->Path().empty() || large->Path().empty() || readOnly->Path().empty());

    const std::vector<std::string> paths = ListedPaths(k);
    EXPECT_TRUE(Contains(paths, small->Path()));
    EXPECT_TRUE(Contains(paths, large->Path()));
    EXPECT_FALSE(Contains(paths, readOnly->Path()));
    // The listed order is the natural order.
    EXPECT_TRUE(std::is_sorted(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        return helper::NaturalLess(a.substr(5), b.substr(5));
    }));
}

TEST_F(LoopDeviceTest, GeometryLengthAndPropertiesAnswerInWindowsLayouts) {
    for (unsigned sector : {512u, 4096u}) {
        SCOPED_TRACE(sector);
        auto loop = Attach("geometry" + std::to_string(sector) + ".img", sector);
        const Handle h = OpenFor(k, loop->Path(), false);
        ASSERT_NE(h, kInvalidHandle) << k.ErrorText(k.LastError());
        EXPECT_GE(h, 0x100);

        std::uint8_t out[512] = {};
        std::uint32_t returned = 0;
        ASSERT_TRUE(k.Control(h, win::IOCTL_DISK_GET_DRIVE_GEOMETRY, out, 512, out, 512, &returned));
        EXPECT_EQ(returned, 24u);
        EXPECT_EQ(win::GetLe32(out + 20), sector);

        std::memset(out, 0, sizeof out);
        ASSERT_TRUE(k.Control(h, win::IOCTL_DISK_GET_LENGTH_INFO, out, 512, out, 512, &returned));
        EXPECT_EQ(returned, 8u);
        EXPECT_EQ(win::GetLe64(out), kImageBytes);

        std::uint8_t query[12] = {};
        win::PutLe32(query, win::StorageAdapterProperty);
        std::memset(out, 0, sizeof out);
        ASSERT_TRUE(k.Control(h, win::IOCTL_STORAGE_QUERY_PROPERTY, query, 12, out, 512, &returned));
        EXPECT_EQ(returned, 32u);
        EXPECT_EQ(out[24], win::BusTypeFileBackedVirtual);
        EXPECT_GT(win::GetLe32(out + 8), 0u);

        win::PutLe32(query, win::StorageDeviceProperty);
        std::memset(out, 0, sizeof out);
        ASSERT_TRUE(k.Control(h, win::IOCTL_STORAGE_QUERY_PROPERTY, query, 12, out, 512, &returned));
        EXPECT_EQ(returned, win::GetLe32(out + 4));
        const std::uint32_t product = win::GetLe32(out + 16);
        ASSERT_GT(product, 0u);
        EXPECT_STREQ(reinterpret_cast<char*>(out + product),
                     ("geometry" + std::to_string(sector) + ".img").c_str());

        std::memset(out, 0, sizeof out);
        ASSERT_TRUE(k.Control(h, win::IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, out, 512, &returned));
        EXPECT_EQ(out[13], 0);

        EXPECT_FALSE(
            k.Control(h, 0x00070050 /* IOCTL_DISK_GET_DRIVE_LAYOUT_EX */, nullptr, 0, out, 512, &returned));
        EXPECT_EQ(k.LastError(), win::ERROR_INVALID_FUNCTION);
        EXPECT_TRUE(k.Close(h));
        EXPECT_FALSE(k.Close(h));
    }
}

TEST_F(LoopDeviceTest, AtaCommandsOnADiskWithoutAtaFailWithoutHarm) {
    auto loop = Attach("noata.img", 512);
    const Handle h = OpenFor(k, loop->Path(), false);
    ASSERT_NE(h, kInvalidHandle);
    std::uint8_t in[32] = {};
    const std::uint8_t enable[8] = {0xD8, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0};
    std::memcpy(in + 4, enable, 8);
    std::uint8_t out[528] = {};
    std::uint32_t returned = 99;
    EXPECT_FALSE(k.Control(h, win::SMART_SEND_DRIVE_COMMAND, in, 32, out, 16, &returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_NE(k.LastError(), 0u);
    EXPECT_FALSE(k.ErrorText(k.LastError()).empty());

    const std::uint8_t erase[8] = {0, 1, 1, 0, 0, 0xA0, 0xF4, 0};  // SECURITY ERASE UNIT: never sent
    std::memcpy(in + 4, erase, 8);
    EXPECT_FALSE(k.Control(h, win::SMART_RCV_DRIVE_DATA, in, 32, out, 528, &returned));
    EXPECT_EQ(k.LastError(), win::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(k.Close(h));
}

std::vector<std::uint8_t> ReadImage(const std::string& image, std::uint64_t offset, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::ifstream in(image, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    return bytes;
}

struct AlignedBuffer {
    explicit AlignedBuffer(std::size_t n) : size(n) {
        data = static_cast<std::uint8_t*>(std::aligned_alloc(4096, n));
        for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    ~AlignedBuffer() { std::free(data); }
    std::uint8_t* data;
    std::size_t size;
};

TEST_F(LoopDeviceTest, WritesLandAtTheirAbsoluteOffsetsAndReachTheImage) {
    for (unsigned sector : {512u, 4096u}) {
        SCOPED_TRACE(sector);
        auto loop = Attach("write" + std::to_string(sector) + ".img", sector);
        const Handle h = OpenFor(k, loop->Path(), true);
        ASSERT_NE(h, kInvalidHandle) << k.ErrorText(k.LastError());
        EXPECT_EQ(k.LastError(), 0u);
        EXPECT_TRUE(k.IsDirect(h));

        AlignedBuffer buffer(512 * 1024);
        const std::int64_t offset = 3 * 1024 * 1024 + 8192;
        std::int64_t position = -1;
        ASSERT_TRUE(k.Seek(h, offset, &position));
        EXPECT_EQ(position, offset);
        std::uint32_t written = 0;
        ASSERT_TRUE(k.Write(h, buffer.data, static_cast<std::uint32_t>(buffer.size), &written));
        EXPECT_EQ(written, buffer.size);
        ASSERT_TRUE(k.Flush(h));
        EXPECT_TRUE(k.IsDirect(h));
        EXPECT_EQ(ReadImage(loop->Image(), offset, buffer.size),
                  std::vector<std::uint8_t>(buffer.data, buffer.data + buffer.size));
        EXPECT_EQ(ReadImage(loop->Image(), offset - 512, 512), std::vector<std::uint8_t>(512, 0));

        // A write that runs past the end is cut short; one at the end has no room at all.
        const auto end = static_cast<std::int64_t>(kImageBytes);
        ASSERT_TRUE(k.Seek(h, end - 8192, &position));
        ASSERT_TRUE(k.Write(h, buffer.data, 16384, &written));
        EXPECT_EQ(written, 8192u);
        ASSERT_TRUE(k.Seek(h, end, &position));
        EXPECT_FALSE(k.Write(h, buffer.data, 4096, &written));
        EXPECT_EQ(written, 0u);
        EXPECT_EQ(k.LastError(), win::ERROR_DISK_FULL);

        EXPECT_FALSE(k.Seek(h, -512, &position));
        EXPECT_EQ(k.LastError(), win::ERROR_NEGATIVE_SEEK);
        ASSERT_TRUE(k.Flush(h));
        EXPECT_TRUE(k.Close(h));
    }
}

TEST_F(LoopDeviceTest, AnUnalignedTailLeavesDirectIoAndIsWritten) {
    auto loop = Attach("tail.img", 4096);
    const Handle h = OpenFor(k, loop->Path(), true);
    ASSERT_NE(h, kInvalidHandle);
    ASSERT_TRUE(k.IsDirect(h));
    AlignedBuffer buffer(4096);
    std::int64_t position = 0;
    ASSERT_TRUE(k.Seek(h, 8192, &position));
    std::uint32_t written = 0;
    ASSERT_TRUE(k.Write(h, buffer.data, 512, &written)) << k.ErrorText(k.LastError());
    EXPECT_EQ(written, 512u);
    EXPECT_FALSE(k.IsDirect(h));
    ASSERT_TRUE(k.Flush(h));
    EXPECT_EQ(ReadImage(loop->Image(), 8192, 512), std::vector<std::uint8_t>(buffer.data, buffer.data + 512));
    EXPECT_TRUE(k.Close(h));
}

TEST_F(LoopDeviceTest, WritableOpenIsExclusive) {
    auto loop = Attach("exclusive.img", 512);
    const Handle first = OpenFor(k, loop->Path(), true);
    ASSERT_NE(first, kInvalidHandle);
    EXPECT_EQ(OpenFor(k, loop->Path(), true), kInvalidHandle);
    EXPECT_EQ(k.LastError(), win::ERROR_BUSY);
    EXPECT_EQ(k.ErrorText(win::ERROR_BUSY), "Device or resource busy");
    EXPECT_TRUE(k.Close(first));
    const Handle again = OpenFor(k, loop->Path(), true);
    EXPECT_NE(again, kInvalidHandle);
    EXPECT_TRUE(k.Close(again));
}

TEST_F(LoopDeviceTest, AMountedDriveIsRefusedForWriting) {
    if (test::RunCommand("command -v mkfs.ext4") != 0) GTEST_SKIP() << "mkfs.ext4 (e2fsprogs) is missing";
    auto loop = Attach("mounted.img", 512);
    ASSERT_FALSE(loop->Path().empty());
    ASSERT_EQ(test::RunCommand("mkfs.ext4 -q -F " + loop->Path()), 0);
    const std::string mountPoint = dir.Path() + "/mnt";
    std::filesystem::create_directory(mountPoint);
    test::Mount mount(loop->Path(), mountPoint);
    if (!mount.Mounted()) GTEST_SKIP() << "could not mount an ext4 image here";

    EXPECT_EQ(OpenFor(k, loop->Path(), true), kInvalidHandle);
    EXPECT_EQ(k.LastError(), win::ERROR_BUSY);
    EXPECT_EQ(k.ErrorText(k.LastError()), "Device or resource busy");
    // Reading stays possible: the probe lists a mounted drive; only the wipe's open is refused.
    const Handle reader = OpenFor(k, loop->Path(), false);
    EXPECT_NE(reader, kInvalidHandle);
    EXPECT_TRUE(k.Close(reader));
}

// A one-partition MBR: partition 1, type Linux, from sector 2048 to the end of a 64 MiB disk.
void WriteMbr(const std::string& image) {
    std::uint8_t mbr[512] = {};
    std::uint8_t* entry = mbr + 446;
    entry[4] = 0x83;
    win::PutLe32(entry + 8, 2048);
    win::PutLe32(entry + 12, static_cast<std::uint32_t>(kImageBytes / 512 - 2048));
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
    std::ofstream(image, std::ios::binary).write(reinterpret_cast<const char*>(mbr), sizeof mbr);
}

TEST_F(LoopDeviceTest, ADriveWithAMountedPartitionIsRefusedForWriting) {
    if (test::RunCommand("command -v mkfs.ext4") != 0) GTEST_SKIP() << "mkfs.ext4 (e2fsprogs) is missing";
    WriteMbr(dir.Path() + "/partitioned.img");
    test::LoopDevice loop(dir.Path(), "partitioned.img", kImageBytes, 512, false, "--partscan");
    ASSERT_FALSE(loop.Path().empty());
    const std::string partition = loop.Path() + "p1";
    for (int i = 0; i < 100 && !std::filesystem::exists(partition); ++i) k.Sleep(10);
    if (!std::filesystem::exists(partition)) {
        GTEST_SKIP() << "no partition node appeared for " << partition
                     << " (the kernel reads no MBR partition tables)";
    }

    const std::vector<std::string> paths = ListedPaths(k);
    EXPECT_TRUE(Contains(paths, loop.Path()));
    EXPECT_FALSE(Contains(paths, partition));

    ASSERT_EQ(test::RunCommand("mkfs.ext4 -q -F " + partition), 0);
    const std::string mountPoint = dir.Path() + "/mnt";
    std::filesystem::create_directory(mountPoint);
    {
        test::Mount mount(partition, mountPoint);
        if (!mount.Mounted()) GTEST_SKIP() << "could not mount an ext4 partition here";
        EXPECT_EQ(OpenFor(k, loop.Path(), true), kInvalidHandle);
        EXPECT_EQ(k.LastError(), win::ERROR_BUSY);
        EXPECT_EQ(k.ErrorText(k.LastError()), "Device or resource busy");
    }
    // Unmounted, the drive is free again.
    const Handle h = OpenFor(k, loop.Path(), true);
    EXPECT_NE(h, kInvalidHandle) << k.ErrorText(k.LastError());
    EXPECT_TRUE(k.Close(h));
}

TEST_F(LoopDeviceTest, ADriveThatVanishesWhileOpenFailsCleanly) {
    auto loop = std::make_unique<test::LoopDevice>(dir.Path(), "vanish.img", kImageBytes, 512, false);
    ASSERT_FALSE(loop->Path().empty());
    const std::string path = loop->Path();
    const Handle h = OpenFor(k, path, false);
    ASSERT_NE(h, kInvalidHandle);
    loop.reset();  // detached under the open handle
    std::uint8_t out[512] = {};
    std::uint32_t returned = 0;
    // The loop driver detaches lazily while a handle is open; either answer is clean.
    const bool ok = k.Control(h, win::IOCTL_DISK_GET_LENGTH_INFO, out, 512, out, 512, &returned);
    if (!ok) {
        EXPECT_NE(k.LastError(), 0u);
    }
    EXPECT_TRUE(k.Close(h));
}

// What a pulled disk looks like to a positioning: the kernel has set its size to 0.
TEST_F(LoopDeviceTest, APositionPastTheEndOfAShrunkDeviceSaysTheDriveIsNotConnected) {
    auto loop = Attach("shrink.img", 512);
    const Handle h = OpenFor(k, loop->Path(), true);
    ASSERT_NE(h, kInvalidHandle) << k.ErrorText(k.LastError());
    std::int64_t position = -1;
    const std::int64_t offset = 32 << 20;
    EXPECT_TRUE(k.Seek(h, offset, &position));
    ASSERT_EQ(test::RunCommand("truncate -s 1M '" + loop->Image() + "' && losetup -c " + loop->Path()), 0);

    EXPECT_FALSE(k.Seek(h, offset, &position));
    EXPECT_EQ(k.LastError(), win::ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(k.ErrorText(k.LastError()), "No such device or address");
    EXPECT_TRUE(k.Seek(h, 4096, &position)) << "what is left of the device is still there";
    EXPECT_TRUE(k.Close(h));
}

}  // namespace
}  // namespace orm::lnx
