// Simulated drives: opening, control answers in the Windows layouts, storage, faults, journal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/sim/sim_platform.h"
#include "platform/win_layouts.h"

namespace orm::sim {
namespace {

using namespace orm::win;

constexpr std::uint32_t kRead = GENERIC_READ;
constexpr std::uint32_t kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr std::uint32_t kAlreadyExists = 183;

Handle OpenDrive(SimPlatform& sim, unsigned n, std::uint32_t access = kRead) {
    return sim.Open(sim.DrivePath(n), access, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
}

std::vector<std::uint8_t> Query(std::uint32_t propertyId) {
    std::vector<std::uint8_t> q(sizeof(STORAGE_PROPERTY_QUERY), 0);
    PutLe32(q.data(), propertyId);
    return q;
}

// A platform with no drives yet, and the buffer and counts the calls take.
class SimTest : public ::testing::Test {
  protected:
    SimPlatform sim;
    std::vector<std::uint8_t> buf = std::vector<std::uint8_t>(512, 0);
    std::uint32_t n = 0;
    std::int64_t pos = 0;
};
using SimOpen = SimTest;
using SimControl = SimTest;
using SimDrives = SimTest;
using SimStorage = SimTest;

TEST_F(SimOpen, PathsHandlesAndErrors) {
    sim.AddDrive(0).Sectors(1000);
    sim.AddDrive(3).Sectors(1000).FailOpen(ERROR_ACCESS_DENIED);
    sim.AddDrive(4).Sectors(1000).OpenWithLastError(kAlreadyExists);
    EXPECT_EQ(sim.DrivePath(7), "\\\\.\\PhysicalDrive7");

    const Handle h = OpenDrive(sim, 0);
    EXPECT_GE(h, 0x100);
    EXPECT_EQ(sim.LastError(), 0u);
    const Handle h2 = OpenDrive(sim, 0);
    EXPECT_NE(h, h2);

    EXPECT_EQ(OpenDrive(sim, 1), kInvalidHandle);
    EXPECT_EQ(sim.LastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenDrive(sim, 3), kInvalidHandle);
    EXPECT_EQ(sim.LastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(sim.Open("\\\\.\\PhysicalDrive00", kRead, 3, 3, 0), kInvalidHandle);
    EXPECT_EQ(sim.Open("/dev/sda", kRead, 3, 3, 0), kInvalidHandle);

    const Handle h4 = OpenDrive(sim, 4);
    EXPECT_NE(h4, kInvalidHandle);
    EXPECT_EQ(sim.LastError(), kAlreadyExists);

    EXPECT_TRUE(sim.Close(h));
    EXPECT_FALSE(sim.Close(h));
    EXPECT_EQ(sim.LastError(), ERROR_INVALID_HANDLE);
}

TEST_F(SimOpen, CallsOnClosedHandleFailAndAreJournaled) {
    sim.AddDrive(0).Sectors(1000);
    const Handle h = OpenDrive(sim, 0, kReadWrite);
    ASSERT_TRUE(sim.Close(h));
    EXPECT_FALSE(sim.Seek(h, 0, &pos));
    EXPECT_EQ(sim.LastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(sim.Write(h, buf.data(), 512, &n));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(sim.Control(h, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, buf.data(), 512, &n));
    EXPECT_FALSE(sim.Flush(h));
    const auto journal = sim.Journal();
    std::vector<Call> calls;
    for (const auto& e : journal) calls.push_back(e.call);
    ASSERT_EQ(calls, (std::vector<Call>{Call::Open, Call::Close, Call::Seek, Call::Write, Call::Control,
                                        Call::Flush}));
    for (std::size_t i = 2; i < journal.size(); ++i) {
        EXPECT_FALSE(journal[i].ok);
        EXPECT_EQ(journal[i].error, ERROR_INVALID_HANDLE);
        EXPECT_EQ(journal[i].handle, h);
    }
}

TEST_F(SimControl, GeometryLengthAndAdapter) {
    sim.AddDrive(2).SectorSize(4096).Sectors(1000).MaxTransfer(65536).Bus(BusTypeUsb).Removable();
    const Handle h = OpenDrive(sim, 2);
    std::fill(buf.begin(), buf.end(), 0xEE);

    ASSERT_TRUE(sim.Control(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, buf.data(), 512, buf.data(), 512, &n));
    EXPECT_EQ(n, 24u);
    EXPECT_EQ(GetLe32(&buf[offsetof(DISK_GEOMETRY, BytesPerSector)]), 4096u);

    ASSERT_TRUE(sim.Control(h, IOCTL_DISK_GET_LENGTH_INFO, buf.data(), 512, buf.data(), 512, &n));
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(GetLe64(buf.data()), 4096u * 1000u);

    auto q = Query(StorageAdapterProperty);
    std::fill(buf.begin(), buf.end(), 0);
    ASSERT_TRUE(sim.Control(h, IOCTL_STORAGE_QUERY_PROPERTY, q.data(), 12, buf.data(), 512, &n));
    EXPECT_EQ(n, 32u);
    EXPECT_EQ(GetLe32(&buf[offsetof(STORAGE_ADAPTER_DESCRIPTOR, MaximumTransferLength)]), 65536u);
    EXPECT_EQ(buf[offsetof(STORAGE_ADAPTER_DESCRIPTOR, BusType)], BusTypeUsb);

    // A short output buffer: too small for the layout is refused, never overrun.
    std::vector<std::uint8_t> small(4);
    EXPECT_FALSE(sim.Control(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, small.data(), 4, &n));
    EXPECT_EQ(sim.LastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(sim.Control(h, IOCTL_STORAGE_QUERY_PROPERTY, q.data(), 4, buf.data(), 512, &n));
    EXPECT_EQ(sim.LastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(sim.Control(h, 0x12345678, nullptr, 0, buf.data(), 512, &n));
    EXPECT_EQ(sim.LastError(), ERROR_INVALID_FUNCTION);
}

TEST_F(SimDrives, SectorsAndSectorSizeInEitherOrder) {
    sim.AddDrive(0).Sectors(1000).SectorSize(4096);
    sim.AddDrive(1).SectorSize(4096).Sectors(1000);
    sim.AddDrive(2).Sectors(1000).Length(5000).SectorSize(4096);
    EXPECT_EQ(sim.Drive(0).length, 4'096'000);
    EXPECT_EQ(sim.Drive(1).length, 4'096'000);
    EXPECT_EQ(sim.Drive(2).length, 5000);
}

TEST_F(SimControl, DeviceDescriptorTextsAndCut) {
    sim.AddDrive(0).Sectors(10).Vendor("ACME").Product("Disk 1").Revision("").Serial("S123").Removable().Bus(
        7);
    const Handle h = OpenDrive(sim, 0);
    auto q = Query(StorageDeviceProperty);
    ASSERT_TRUE(sim.Control(h, IOCTL_STORAGE_QUERY_PROPERTY, q.data(), 12, buf.data(), 512, &n));
    const std::uint32_t size = GetLe32(&buf[offsetof(STORAGE_DEVICE_DESCRIPTOR, Size)]);
    EXPECT_EQ(n, size);
    EXPECT_EQ(size, 40u + 5 + 7 + 5);
    EXPECT_EQ(buf[offsetof(STORAGE_DEVICE_DESCRIPTOR, RemovableMedia)], 1);
    EXPECT_EQ(GetLe32(&buf[offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType)]), 7u);
    auto text = [&](std::size_t field) {
        const std::uint32_t at = GetLe32(&buf[field]);
        return at == 0 ? std::string("<none>") : std::string(reinterpret_cast<const char*>(&buf[at]));
    };
    EXPECT_EQ(text(offsetof(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset)), "ACME");
    EXPECT_EQ(text(offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset)), "Disk 1");
    EXPECT_EQ(text(offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductRevisionOffset)), "<none>");
    EXPECT_EQ(text(offsetof(STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset)), "S123");

    // Cut to the output length, bytes returned cut with it.
    std::vector<std::uint8_t> shortBuf(44, 0);
    ASSERT_TRUE(sim.Control(h, IOCTL_STORAGE_QUERY_PROPERTY, q.data(), 12, shortBuf.data(), 44, &n));
    EXPECT_EQ(n, 44u);

    // A raw answer is given as is.
    sim.Drive(0).rawDeviceDescriptor = std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_TRUE(sim.Control(h, IOCTL_STORAGE_QUERY_PROPERTY, q.data(), 12, buf.data(), 512, &n));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(buf[9], 10);
}

TEST_F(SimControl, FaultsByCodeAndProperty) {
    sim.AddDrive(0)
        .Sectors(10)
        .FailControl(IOCTL_STORAGE_QUERY_PROPERTY, ERROR_NOT_READY, StorageDeviceProperty)
        .FailControl(IOCTL_DISK_GET_LENGTH_INFO, 0)
        .ControlReturns(IOCTL_DISK_GET_DRIVE_GEOMETRY, 3);
    const Handle h = OpenDrive(sim, 0);
    n = 99;
    EXPECT_FALSE(sim.Control(h, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, buf.data(), 512, &n));
    EXPECT_EQ(sim.LastError(), 0u);
    EXPECT_EQ(n, 0u);
    auto adapter = Query(StorageAdapterProperty);
    EXPECT_TRUE(sim.Control(h, IOCTL_STORAGE_QUERY_PROPERTY, adapter.data(), 12, buf.data(), 512, &n));
    auto device = Query(StorageDeviceProperty);
    EXPECT_FALSE(sim.Control(h, IOCTL_STORAGE_QUERY_PROPERTY, device.data(), 12, buf.data(), 512, &n));
    EXPECT_EQ(sim.LastError(), ERROR_NOT_READY);
    EXPECT_TRUE(sim.Control(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, buf.data(), 512, &n));
    EXPECT_EQ(n, 3u);
    const auto controls = sim.Calls(Call::Control);
    ASSERT_EQ(controls.size(), 4u);
    EXPECT_EQ(controls[1].propertyId, StorageAdapterProperty);
    EXPECT_EQ(controls[2].propertyId, StorageDeviceProperty);
    EXPECT_EQ(controls[2].input.size(), 12u);
}

TEST_F(SimControl, InquiryByte13) {
    sim.AddDrive(0).Sectors(10).InquiryByte13(0x11);
    const Handle h = OpenDrive(sim, 0);
    ASSERT_TRUE(sim.Control(h, IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, buf.data(), 512, &n));
    EXPECT_GE(n, 14u);
    EXPECT_EQ(buf[13], 0x11);
}

TEST_F(SimStorage, SparseWritesSeeksAndEnd) {
    const std::int64_t length = 4LL << 30;  // costs nothing until written
    sim.AddDrive(0).Length(length);
    const Handle h = OpenDrive(sim, 0, kReadWrite);
    std::vector<std::uint8_t> data(4096, 0xAB);
    pos = -1;

    // Without a seek the handle writes at 0, and the position advances.
    ASSERT_TRUE(sim.Write(h, data.data(), 4096, &n));
    EXPECT_EQ(n, 4096u);
    ASSERT_TRUE(sim.Write(h, data.data(), 4096, &n));
    EXPECT_EQ(sim.Calls(Call::Write)[1].offset, 4096);

    ASSERT_TRUE(sim.Seek(h, length - 4096, &pos));
    EXPECT_EQ(pos, length - 4096);
    ASSERT_TRUE(sim.Write(h, data.data(), 4096, &n));
    EXPECT_EQ(sim.ReadBack(0, length - 4096, 2), (std::vector<std::uint8_t>{0xAB, 0xAB}));
    EXPECT_FALSE(sim.IsZero(0, 0, length));
    EXPECT_TRUE(sim.IsZero(0, 8192, length - 8192 - 4096));

    // Past the end: nothing written.
    ASSERT_TRUE(sim.Seek(h, length - 512, &pos));
    EXPECT_FALSE(sim.Write(h, data.data(), 4096, &n));
    EXPECT_EQ(n, 0u);
    EXPECT_NE(sim.LastError(), 0u);
    EXPECT_EQ(sim.ReadBack(0, length - 512, 1)[0], 0xAB);

    // Zeroes clear what was written.
    std::vector<std::uint8_t> zero(1 << 16, 0);
    ASSERT_TRUE(sim.Seek(h, 0, &pos));
    ASSERT_TRUE(sim.Write(h, zero.data(), 1 << 16, &n));
    ASSERT_TRUE(sim.Seek(h, length - (1 << 16), &pos));
    ASSERT_TRUE(sim.Write(h, zero.data(), 1 << 16, &n));
    EXPECT_TRUE(sim.IsZero(0, 0, length));

    EXPECT_FALSE(sim.Seek(h, -1, &pos));
    EXPECT_EQ(sim.LastError(), ERROR_NEGATIVE_SEEK);
}

TEST_F(SimStorage, ReadOnlyHandleCannotWrite) {
    sim.AddDrive(0).Sectors(100);
    const Handle h = OpenDrive(sim, 0, kRead);
    std::vector<std::uint8_t> data(512, 1);
    EXPECT_FALSE(sim.Write(h, data.data(), 512, &n));
    EXPECT_EQ(sim.LastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(sim.IsZero(0, 0, 51200));
}

TEST_F(SimStorage, WriteFaultsAtOffsets) {
    sim.AddDrive(0)
        .Sectors(100)
        .FailSeekAt(1024, ERROR_SEEK)
        .SeekReportsAt(2048, 7)
        .FailWriteAt(4096, ERROR_CRC)
        .ShortWriteAt(8192, 100)
        .FailFlush(ERROR_IO_DEVICE);
    const Handle h = OpenDrive(sim, 0, kReadWrite);
    std::vector<std::uint8_t> data(512, 0x5A);
    EXPECT_FALSE(sim.Seek(h, 1024, &pos));
    EXPECT_EQ(sim.LastError(), ERROR_SEEK);
    EXPECT_TRUE(sim.Seek(h, 2048, &pos));
    EXPECT_EQ(pos, 7);
    ASSERT_TRUE(sim.Seek(h, 4096, &pos));
    EXPECT_FALSE(sim.Write(h, data.data(), 512, &n));
    EXPECT_EQ(sim.LastError(), ERROR_CRC);
    EXPECT_TRUE(sim.IsZero(0, 4096, 512));
    ASSERT_TRUE(sim.Seek(h, 8192, &pos));
    EXPECT_TRUE(sim.Write(h, data.data(), 512, &n));
    EXPECT_EQ(n, 100u);
    EXPECT_FALSE(sim.IsZero(0, 8192, 100));
    EXPECT_TRUE(sim.IsZero(0, 8292, 412));
    EXPECT_FALSE(sim.Flush(h));
    EXPECT_EQ(sim.LastError(), ERROR_IO_DEVICE);
}

TEST_F(SimStorage, ImageFileBacking) {
    char name[] = "/tmp/orm-sim-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    const std::string path = name;
    {
        SimPlatform backed;  // its own, so the image is closed before its size is read
        backed.AddDrive(1).Sectors(2048).Image(path);
        const Handle h = OpenDrive(backed, 1, kReadWrite);
        std::vector<std::uint8_t> data(512, 0x77);
        ASSERT_TRUE(backed.Seek(h, 512 * 100, &pos));
        ASSERT_TRUE(backed.Write(h, data.data(), 512, &n));
        EXPECT_TRUE(backed.Flush(h));
        EXPECT_EQ(backed.ReadBack(1, 512 * 100, 1)[0], 0x77);
        EXPECT_FALSE(backed.IsZero(1, 0, 512 * 2048));
        EXPECT_TRUE(backed.IsZero(1, 0, 512 * 100));
        backed.Close(h);
    }
    EXPECT_EQ(std::filesystem::file_size(path), 512u * 2048u);
    std::remove(path.c_str());
}

TEST_F(SimDrives, VanishingDrive) {
    sim.AddDrive(0).Sectors(100);
    sim.AddDrive(1).Sectors(100).VanishAfterOpen();
    const Handle h0 = OpenDrive(sim, 0, kReadWrite);
    const Handle h1 = OpenDrive(sim, 1, kReadWrite);
    EXPECT_FALSE(sim.Control(h1, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, buf.data(), 512, &n));
    EXPECT_EQ(sim.LastError(), ERROR_DEVICE_NOT_CONNECTED);
    sim.RemoveDrive(0);
    EXPECT_FALSE(sim.HasDrive(0));
    EXPECT_FALSE(sim.Write(h0, buf.data(), 512, &n));
    EXPECT_EQ(sim.LastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(OpenDrive(sim, 0), kInvalidHandle);
    EXPECT_TRUE(sim.Close(h0));
}

TEST_F(SimDrives, ErrorTextsEndLikeTheSystemsText) {
    EXPECT_EQ(sim.ErrorText(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.\r\n");
    EXPECT_EQ(sim.ErrorText(999999), "");
}

}  // namespace
}  // namespace orm::sim
