#include "platform/linux/storage_answers.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/bytes_text.h"
#include "platform/win_layouts.h"

namespace orm::lnx {

namespace {

constexpr std::uint32_t kFixedMedia = 12;      // MEDIA_TYPE FixedMedia
constexpr std::uint32_t kRemovableMedia = 11;  // MEDIA_TYPE RemovableMedia
constexpr std::uint32_t kHeads = 255;
constexpr std::uint32_t kSectorsPerTrack = 63;
constexpr std::uint32_t kDescriptorHeader = 8;  // Version and Size

void PutPadded(std::uint8_t* p, std::size_t width, const std::string& text) {
    std::memset(p, ' ', width);
    std::memcpy(p, text.data(), std::min(width, text.size()));
}

}  // namespace

std::uint32_t PutDiskGeometry(std::uint8_t* out, std::uint32_t outSize, std::uint32_t bytesPerSector,
                              std::uint64_t lengthBytes, bool removable) {
    constexpr std::uint32_t kSize = sizeof(win::DISK_GEOMETRY);
    if (outSize < kSize) return 0;
    std::memset(out, 0, kSize);
    const std::uint64_t cylinderBytes =
        std::uint64_t{kHeads} * kSectorsPerTrack * std::max(bytesPerSector, 1u);
    win::PutLe64(out + offsetof(win::DISK_GEOMETRY, Cylinders), lengthBytes / cylinderBytes);
    win::PutLe32(out + offsetof(win::DISK_GEOMETRY, MediaType), removable ? kRemovableMedia : kFixedMedia);
    win::PutLe32(out + offsetof(win::DISK_GEOMETRY, TracksPerCylinder), kHeads);
    win::PutLe32(out + offsetof(win::DISK_GEOMETRY, SectorsPerTrack), kSectorsPerTrack);
    win::PutLe32(out + offsetof(win::DISK_GEOMETRY, BytesPerSector), bytesPerSector);
    return kSize;
}

std::uint32_t PutLengthInfo(std::uint8_t* out, std::uint32_t outSize, std::uint64_t lengthBytes) {
    constexpr std::uint32_t kSize = sizeof(win::GET_LENGTH_INFORMATION);
    if (outSize < kSize) return 0;
    win::PutLe64(out, lengthBytes);
    return kSize;
}

std::uint32_t PutAdapterDescriptor(std::uint8_t* out, std::uint32_t outSize, std::uint32_t maxTransferBytes,
                                   std::uint32_t alignmentMask, std::uint8_t busType) {
    constexpr std::uint32_t kSize = sizeof(win::STORAGE_ADAPTER_DESCRIPTOR);
    if (outSize < kDescriptorHeader) return 0;
    std::uint8_t d[kSize] = {};
    win::PutLe32(d + offsetof(win::STORAGE_ADAPTER_DESCRIPTOR, Version), kSize);
    win::PutLe32(d + offsetof(win::STORAGE_ADAPTER_DESCRIPTOR, Size), kSize);
    win::PutLe32(d + offsetof(win::STORAGE_ADAPTER_DESCRIPTOR, MaximumTransferLength), maxTransferBytes);
    win::PutLe32(d + offsetof(win::STORAGE_ADAPTER_DESCRIPTOR, MaximumPhysicalPages),
                 maxTransferBytes / 4096 + 1);
    win::PutLe32(d + offsetof(win::STORAGE_ADAPTER_DESCRIPTOR, AlignmentMask), alignmentMask);
    d[offsetof(win::STORAGE_ADAPTER_DESCRIPTOR, AcceleratedTransfer)] = 1;
    d[offsetof(win::STORAGE_ADAPTER_DESCRIPTOR, BusType)] = busType;
    const std::uint32_t n = std::min(kSize, outSize);
    std::memcpy(out, d, n);
    return n;
}

std::uint32_t PutDeviceDescriptor(std::uint8_t* out, std::uint32_t outSize, const DeviceTexts& texts,
                                  bool removable, std::uint8_t busType) {
    if (outSize < kDescriptorHeader) return 0;
    constexpr std::uint32_t kHeader = sizeof(win::STORAGE_DEVICE_DESCRIPTOR);
    std::vector<std::uint8_t> d(kHeader, 0);
    auto addText = [&d](std::size_t offsetField, const std::string& text) {
        if (text.empty()) return;
        win::PutLe32(d.data() + offsetField, static_cast<std::uint32_t>(d.size()));
        d.insert(d.end(), text.begin(), text.end());
        d.push_back(0);
    };
    addText(offsetof(win::STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset), texts.vendor);
    addText(offsetof(win::STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset), texts.product);
    addText(offsetof(win::STORAGE_DEVICE_DESCRIPTOR, ProductRevisionOffset), texts.revision);
    addText(offsetof(win::STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset), texts.serial);
    const auto total = static_cast<std::uint32_t>(d.size());
    win::PutLe32(d.data() + offsetof(win::STORAGE_DEVICE_DESCRIPTOR, Version), kHeader);
    win::PutLe32(d.data() + offsetof(win::STORAGE_DEVICE_DESCRIPTOR, Size), total);
    d[offsetof(win::STORAGE_DEVICE_DESCRIPTOR, RemovableMedia)] = removable ? 1 : 0;
    win::PutLe32(d.data() + offsetof(win::STORAGE_DEVICE_DESCRIPTOR, BusType), busType);
    const std::uint32_t n = std::min(total, outSize);
    std::memcpy(out, d.data(), n);
    return n;
}

std::uint32_t PutInquiryData(std::uint8_t* out, std::uint32_t outSize, const std::optional<ScsiAddress>& scsi,
                             const DeviceTexts& texts, bool removable) {
    if (outSize < kInquiryAnswerLength) return 0;
    std::uint8_t* a = out;
    std::memset(a, 0, kInquiryAnswerLength);
    a[0] = 1;                 // NumberOfBuses
    a[4] = 1;                 // BusData[0].NumberOfLogicalUnits
    a[5] = 7;                 // BusData[0].InitiatorBusId
    win::PutLe32(a + 8, 12);  // BusData[0].InquiryDataOffset
    if (scsi) {
        a[12] = static_cast<std::uint8_t>(scsi->channel);
        a[13] = static_cast<std::uint8_t>(scsi->target);
        a[14] = static_cast<std::uint8_t>(scsi->lun);
    }
    a[15] = 1;                   // DeviceClaimed: the disk driver owns it
    win::PutLe32(a + 16, 36);    // InquiryDataLength
    win::PutLe32(a + 20, 0);     // NextInquiryDataOffset: the only unit
    std::uint8_t* inq = a + 24;  // standard INQUIRY data
    inq[0] = 0x00;               // direct-access block device
    inq[1] = removable ? 0x80 : 0x00;
    inq[2] = 0x05;  // SPC-3
    inq[3] = 0x02;  // response data format 2
    inq[4] = 31;    // additional length
    PutPadded(inq + 8, 8, texts.vendor);
    PutPadded(inq + 16, 16, texts.product);
    PutPadded(inq + 32, 4, texts.revision);
    return kInquiryAnswerLength;
}

std::string IdentifyText(const std::uint8_t* block, int firstWord, int wordCount, bool swapped) {
    std::string text;
    for (int w = firstWord; w < firstWord + wordCount; ++w) {
        const std::uint8_t first = block[2 * w];
        const std::uint8_t second = block[2 * w + 1];
        text.push_back(static_cast<char>(swapped ? second : first));
        text.push_back(static_cast<char>(swapped ? first : second));
    }
    if (const std::size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    return TrimText(text);
}

DeviceTexts TextsFromIdentify(const std::uint8_t* block, bool swapped) {
    DeviceTexts t;
    t.product = IdentifyText(block, 27, 20, swapped);
    t.revision = IdentifyText(block, 23, 4, swapped);
    t.serial = IdentifyText(block, 10, 10, swapped);
    return t;
}

}  // namespace orm::lnx
