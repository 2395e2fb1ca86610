#include "platform/linux/block_device_info.h"

#include <gtest/gtest.h>

#include "fake_sysfs.h"
#include "platform/win_layouts.h"

namespace orm::lnx {
namespace {

struct BusCase {
    const char* name;
    const char* path;
    std::uint8_t bus;
};

TEST(BusType, FromTheSysfsPathOfTheDisk) {
    const BusCase cases[] = {
        {"sda", "/sys/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda",
         win::BusTypeAta},
        {"sdb", "/sys/devices/pci0000:00/0000:00:01.1/ata2/host1/target1:0:1/1:0:1:0/block/sdb",
         win::BusTypeAta},
        {"sdc", "/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdc",
         win::BusTypeUsb},
        {"sdd",
         "/sys/devices/pci0000:00/0000:00:03.0/0000:02:00.0/host0/port-0:0/end_device-0:0/target0:0:0/"
         "0:0:0:0/"
         "block/sdd",
         win::BusTypeSas},
        {"sde", "/sys/devices/pci0000:00/0000:00:05.0/virtio2/host0/target0:0:0/0:0:0:0/block/sde",
         win::BusTypeScsi},
        {"sdf", "/sys/devices/pci0000:00/0000:00:10.0/host2/target2:0:3/2:0:3:0/block/sdf", win::BusTypeScsi},
        {"nvme0n1", "/sys/devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1", win::BusTypeNvme},
        {"vda", "/sys/devices/pci0000:00/0000:00:02.0/virtio1/block/vda", win::BusTypeVirtual},
        {"mmcblk0", "/sys/devices/pci0000:00/0000:00:14.5/mmc_host/mmc0/mmc0:aaaa/block/mmcblk0",
         win::BusTypeMmc},
        {"loop0", "/sys/devices/virtual/block/loop0", win::BusTypeFileBackedVirtual},
        {"nbd0", "/sys/devices/virtual/block/nbd0", win::BusTypeUnknown},
        {"sdg", "/sys/devices/platform/data/host3/block/sdg", win::BusTypeUnknown},
    };
    for (const BusCase& c : cases) EXPECT_EQ(BusTypeFromSysfs(c.name, c.path), c.bus) << c.path;
}

TEST(ScsiAddressText, ParsesHostChannelTargetLun) {
    const std::optional<ScsiAddress> a = ParseScsiAddress("1:0:1:0");
    ASSERT_TRUE(a);
    EXPECT_EQ((std::vector<int>{a->host, a->channel, a->target, a->lun}), (std::vector<int>{1, 0, 1, 0}));
    EXPECT_FALSE(ParseScsiAddress("nvme0"));
    EXPECT_FALSE(ParseScsiAddress("1:0:1"));
    EXPECT_FALSE(ParseScsiAddress("1:0:1:0x"));
    EXPECT_FALSE(ParseScsiAddress("1:-1:1:0"));
}

TEST(Vpd80Serial, TakesTheBytesThePageAnnounces) {
    const std::uint8_t page[] = {0x00, 0x80, 0x00, 0x0A, ' ', ' ', 'W', 'D', '-', 'W', 'X', '1', ' ', ' '};
    EXPECT_EQ(SerialFromVpd80(page, sizeof page), "WD-WX1");
    const std::uint8_t longer[] = {0x00, 0x80, 0x00, 0xFF, 'A', 'B', 'C'};  // claims more than there is
    EXPECT_EQ(SerialFromVpd80(longer, sizeof longer), "ABC");
    const std::uint8_t withZero[] = {0x00, 0x80, 0x00, 0x05, 'A', 'B', 0, 'C', 'D'};
    EXPECT_EQ(SerialFromVpd80(withZero, sizeof withZero), "AB");
    const std::uint8_t otherPage[] = {0x00, 0x83, 0x00, 0x02, 'A', 'B'};
    EXPECT_EQ(SerialFromVpd80(otherPage, sizeof otherPage), "");
    EXPECT_EQ(SerialFromVpd80(page, 3), "");
    EXPECT_EQ(SerialFromVpd80(nullptr, 0), "");
}

TEST(DeviceInfo, UsbDiskTakesTheBridgeSerialAndTheScsiTexts) {
    test::FakeSysfs sys;
    const std::string usbDevice = "pci0000:00/0000:00:14.0/usb2/2-1";
    sys.Write("devices/" + usbDevice + "/idVendor", "152d\n");
    sys.Write("devices/" + usbDevice + "/serial", "DD5641988389F\n");
    const std::string scsi = usbDevice + "/2-1:1.0/host6/target6:0:0/6:0:0:0";
    sys.Write("devices/" + scsi + "/scsi_device/6:0:0:0/dev", "21:2\n");
    sys.AddDisk("sdc",
                {{"ro", "0\n"},
                 {"removable", "0\n"},
                 {"queue/max_hw_sectors_kb", "240\n"},
                 {"device/vendor", "JMicron \n"},
                 {"device/model", "Tech            \n"},
                 {"device/rev", "0204\n"}},
                scsi);
    const BlockDeviceInfo info = ReadBlockDeviceInfo(sys.Root(), "sdc");
    EXPECT_EQ(info.busType, win::BusTypeUsb);
    EXPECT_EQ(info.maxTransferBytes, 240u * 1024);
    EXPECT_FALSE(info.removable);
    ASSERT_TRUE(info.scsi);
    EXPECT_EQ(info.scsi->host, 6);
    EXPECT_EQ((std::vector<std::string>{info.texts.vendor, info.texts.product, info.texts.revision,
                                        info.texts.serial}),
              (std::vector<std::string>{"JMicron", "Tech", "0204", "DD5641988389F"}));
}

TEST(DeviceInfo, ParallelAtaSlaveKeepsItsTargetVirtioItsSerialAndSdCardsTheirName) {
    test::FakeSysfs sys;
    const std::string scsi = "pci0000:00/0000:00:01.1/ata2/host1/target1:0:1/1:0:1:0";
    sys.Write("devices/" + scsi + "/scsi_device/1:0:1:0/dev", "21:1\n");
    sys.AddDisk("sdb", {{"ro", "0\n"}, {"removable", "0\n"}, {"device/vendor", "ATA\n"}}, scsi);
    const BlockDeviceInfo ata = ReadBlockDeviceInfo(sys.Root(), "sdb");
    EXPECT_EQ(ata.busType, win::BusTypeAta);
    ASSERT_TRUE(ata.scsi);
    EXPECT_EQ(ata.scsi->target, 1);

    sys.AddDisk("vda", {{"ro", "0\n"}, {"serial", "vm-disk-7\n"}, {"removable", "0\n"}},
                "pci0000:00/0000:00:02.0/virtio1");
    const BlockDeviceInfo vd = ReadBlockDeviceInfo(sys.Root(), "vda");
    EXPECT_EQ(vd.busType, win::BusTypeVirtual);
    EXPECT_EQ(vd.texts.serial, "vm-disk-7");
    EXPECT_EQ(vd.texts.product, "VirtIO Block Device");  // no model in sysfs
    EXPECT_FALSE(vd.scsi);

    // An SD card in an MMC slot, by its type; named by its card name.
    sys.AddDisk("mmcblk0", {{"device/type", "SD\n"}, {"device/name", "SL16G\n"}}, "mmc_host/mmc0/mmc0:aaaa");
    EXPECT_EQ(ReadBlockDeviceInfo(sys.Root(), "mmcblk0").busType, win::BusTypeSd);
    EXPECT_EQ(ReadBlockDeviceInfo(sys.Root(), "mmcblk0").texts.product, "SL16G");
}

TEST(DeviceInfo, LoopDeviceNamesItsImageAndMissingAttributesStayEmpty) {
    test::FakeSysfs sys;
    sys.AddDisk("loop3", {{"ro", "0\n"}, {"loop/backing_file", "/var/tmp/images/disk512.img\n"}});
    const BlockDeviceInfo loop = ReadBlockDeviceInfo(sys.Root(), "loop3");
    EXPECT_EQ(loop.busType, win::BusTypeFileBackedVirtual);
    EXPECT_EQ(loop.texts.vendor, "Loop");
    EXPECT_EQ(loop.texts.product, "disk512.img");
    EXPECT_EQ(loop.maxTransferBytes, 0u);

    const BlockDeviceInfo gone = ReadBlockDeviceInfo(sys.Root(), "sdz");
    EXPECT_EQ(gone.busType, win::BusTypeUnknown);
    EXPECT_TRUE(gone.texts.product.empty());
}

}  // namespace
}  // namespace orm::lnx
