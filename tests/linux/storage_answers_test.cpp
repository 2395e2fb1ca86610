#include "platform/linux/storage_answers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win_layouts.h"

namespace orm::lnx {
namespace {

using win::GetLe32;
using win::GetLe64;

std::string TextAt(const std::uint8_t* buffer, std::uint32_t offset) {
    return offset == 0 ? std::string() : std::string(reinterpret_cast<const char*>(buffer + offset));
}

TEST(GeometryAnswer, CarriesTheLogicalSectorSize) {
    struct Case {
        std::uint32_t sector;
        std::uint64_t length;
        std::int64_t cylinders;
    } cases[] = {
        {512, 80'026'361'856ull, 9729},
        {4096, 64ull << 20, 1},
        {512, 64ull << 20, 8},
        {512, 1000, 0},
    };
    for (const Case& c : cases) {
        std::uint8_t out[512];
        std::memset(out, 0xEE, sizeof out);
        ASSERT_EQ(PutDiskGeometry(out, sizeof out, c.sector, c.length, false), 24u);
        EXPECT_EQ(GetLe32(out + offsetof(win::DISK_GEOMETRY, BytesPerSector)), c.sector);
        EXPECT_EQ(static_cast<std::int64_t>(GetLe64(out)), c.cylinders);
        EXPECT_EQ(GetLe32(out + offsetof(win::DISK_GEOMETRY, MediaType)), 12u);
        EXPECT_EQ(GetLe32(out + offsetof(win::DISK_GEOMETRY, TracksPerCylinder)), 255u);
        EXPECT_EQ(GetLe32(out + offsetof(win::DISK_GEOMETRY, SectorsPerTrack)), 63u);
        EXPECT_EQ(out[24], 0xEE) << "nothing past the answer";
    }
    std::uint8_t small[23];
    EXPECT_EQ(PutDiskGeometry(small, sizeof small, 512, 1 << 20, false), 0u);
}

TEST(LengthAnswer, IsTheWholeSixtyFourBitLength) {
    std::uint8_t out[8];
    ASSERT_EQ(PutLengthInfo(out, 8, 0x0000'0123'4567'8A00ull), 8u);
    EXPECT_EQ(GetLe64(out), 0x0000'0123'4567'8A00ull);
    EXPECT_EQ(PutLengthInfo(out, 7, 1), 0u);
}

TEST(AdapterAnswer, CarriesBusTypeAndTransferLimit) {
    std::uint8_t out[512] = {};
    ASSERT_EQ(PutAdapterDescriptor(out, sizeof out, 32u * 1024 * 1024, 511, win::BusTypeAta), 32u);
    EXPECT_EQ(GetLe32(out), 32u);
    EXPECT_EQ(GetLe32(out + 4), 32u);
    EXPECT_EQ(GetLe32(out + 8), 32u * 1024 * 1024);
    EXPECT_EQ(GetLe32(out + 16), 511u);
    EXPECT_EQ(out[24], win::BusTypeAta);

    std::uint8_t cut[8] = {};
    EXPECT_EQ(PutAdapterDescriptor(cut, 8, 65536, 511, win::BusTypeUsb), 8u);
    EXPECT_EQ(GetLe32(cut + 4), 32u);
    EXPECT_EQ(PutAdapterDescriptor(cut, 7, 65536, 511, win::BusTypeUsb), 0u);
}

TEST(DeviceAnswer, TextsFollowTheHeaderZeroTerminated) {
    DeviceTexts t;
    t.product = "QEMU-ATA SATA TEST DISK";
    t.revision = "QA1.0";
    t.serial = "QASATA0001";
    std::uint8_t out[512];
    std::memset(out, 0xEE, sizeof out);
    const std::uint32_t n = PutDeviceDescriptor(out, sizeof out, t, true, win::BusTypeAta);
    EXPECT_EQ(n, 40u + 24 + 6 + 11);
    EXPECT_EQ(GetLe32(out + 4), n);
    EXPECT_EQ(out[offsetof(win::STORAGE_DEVICE_DESCRIPTOR, RemovableMedia)], 1);
    EXPECT_EQ(GetLe32(out + offsetof(win::STORAGE_DEVICE_DESCRIPTOR, BusType)), win::BusTypeAta);
    EXPECT_EQ(GetLe32(out + offsetof(win::STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset)), 0u);
    const std::uint32_t product = GetLe32(out + offsetof(win::STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset));
    EXPECT_EQ(product, 40u);
    EXPECT_EQ(TextAt(out, product), t.product);
    EXPECT_EQ(TextAt(out, GetLe32(out + offsetof(win::STORAGE_DEVICE_DESCRIPTOR, ProductRevisionOffset))),
              t.revision);
    EXPECT_EQ(TextAt(out, GetLe32(out + offsetof(win::STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset))),
              t.serial);
    EXPECT_EQ(out[n], 0xEE);
}

TEST(DeviceAnswer, IsCutToTheOutputButSaysItsWholeSize) {
    DeviceTexts t;
    t.vendor = "ATA";
    t.product = std::string(300, 'P');
    t.serial = std::string(300, 'S');
    std::vector<std::uint8_t> out(512 + 16, 0xEE);
    const std::uint32_t n = PutDeviceDescriptor(out.data(), 512, t, false, win::BusTypeScsi);
    EXPECT_EQ(n, 512u);
    EXPECT_EQ(GetLe32(out.data() + 4), 40u + 4 + 301 + 301);
    EXPECT_EQ(out[512], 0xEE);
    EXPECT_EQ(PutDeviceDescriptor(out.data(), 7, t, false, win::BusTypeScsi), 0u);
}

TEST(InquiryAnswer, ByteThirteenIsTheTargetOnTheChannel) {
    DeviceTexts t;
    t.vendor = "ATA";
    t.product = "QEMU HARDDISK";
    t.revision = "2.5+";
    for (int target : {0, 1}) {
        std::uint8_t out[512] = {};
        ScsiAddress a;
        a.host = 1;
        a.target = target;
        ASSERT_EQ(PutInquiryData(out, sizeof out, a, t, false), kInquiryAnswerLength);
        EXPECT_EQ(out[13] & 1, target);
        EXPECT_EQ(out[0], 1);               // one bus
        EXPECT_EQ(GetLe32(out + 8), 12u);   // its unit's inquiry data
        EXPECT_EQ(GetLe32(out + 16), 36u);  // standard INQUIRY length
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out + 24 + 8), 8), "ATA     ");
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out + 24 + 16), 16), "QEMU HARDDISK   ");
    }
    std::uint8_t out[60];
    std::memset(out, 0xEE, sizeof out);
    ASSERT_EQ(PutInquiryData(out, sizeof out, std::nullopt, t, true), 60u);
    EXPECT_EQ(out[13], 0);
    EXPECT_EQ(out[24 + 1], 0x80);  // removable
    EXPECT_EQ(PutInquiryData(out, 59, std::nullopt, t, true), 0u);
}

// The first 96 bytes of the IDENTIFY block of an emulated SATA disk, as the drive sends it.
const std::uint8_t kIdentifyHead[96] = {
    0x40, 0x00, 0xc3, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x7e, 0x00, 0x02, 0x3f, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x41, 0x51, 0x41, 0x53, 0x41, 0x54, 0x30, 0x30, 0x31, 0x30, 0x20, 0x20,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x03, 0x00, 0x00, 0x02, 0x04, 0x00, 0x41, 0x51,
    0x2e, 0x31, 0x20, 0x30, 0x20, 0x20, 0x45, 0x51, 0x55, 0x4d, 0x41, 0x2d, 0x41, 0x54, 0x53, 0x20,
    0x54, 0x41, 0x20, 0x41, 0x45, 0x54, 0x54, 0x53, 0x44, 0x20, 0x53, 0x49, 0x20, 0x4b, 0x20, 0x20,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x10, 0x80,
};

TEST(IdentifyTexts, FromTheDrivesByteOrderAndFromTheKernelsCopy) {
    std::uint8_t block[512] = {};
    std::memcpy(block, kIdentifyHead, sizeof kIdentifyHead);
    const DeviceTexts t = TextsFromIdentify(block, true);
    EXPECT_EQ(t.vendor, "");
    EXPECT_EQ(t.product, "QEMU-ATA SATA TEST DISK");
    EXPECT_EQ(t.revision, "QA1.0");
    EXPECT_EQ(t.serial, "QASATA0001");

    // The kernel's copy has the same texts in reading order.
    for (int w = 10; w < 47; ++w) std::swap(block[2 * w], block[2 * w + 1]);
    const DeviceTexts k = TextsFromIdentify(block, false);
    EXPECT_EQ(k.product, t.product);
    EXPECT_EQ(k.revision, t.revision);
    EXPECT_EQ(k.serial, t.serial);

    // A full-width model of 40 characters has no blank to lose.
    std::uint8_t full[512] = {};
    const std::string model = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
    std::memcpy(full + 54, model.data(), 40);
    EXPECT_EQ(IdentifyText(full, 27, 20, false), model);
}

}  // namespace
}  // namespace orm::lnx
