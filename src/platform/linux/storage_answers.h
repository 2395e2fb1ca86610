// The Windows answer layouts of the storage control codes, filled from what Linux knows about
// a disk. Pure byte work, so each layout is tested without a device. Each function writes at
// most outSize bytes and returns the count of bytes returned, 0 when the output is too small
// for the answer to make sense (the call then fails with ERROR_INSUFFICIENT_BUFFER).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/linux/block_device_info.h"

namespace orm::lnx {

// DISK_GEOMETRY, 24 bytes: BytesPerSector is the logical sector size; cylinders, heads and
// sectors per track are the conventional 255 x 63 translation of the length.
std::uint32_t PutDiskGeometry(std::uint8_t* out, std::uint32_t outSize, std::uint32_t bytesPerSector,
                              std::uint64_t lengthBytes, bool removable);

// GET_LENGTH_INFORMATION, 8 bytes.
std::uint32_t PutLengthInfo(std::uint8_t* out, std::uint32_t outSize, std::uint64_t lengthBytes);

// STORAGE_ADAPTER_DESCRIPTOR, 32 bytes (cut to outSize when it holds at least the 8-byte
// Version and Size header, as Windows does).
std::uint32_t PutAdapterDescriptor(std::uint8_t* out, std::uint32_t outSize, std::uint32_t maxTransferBytes,
                                   std::uint32_t alignmentMask, std::uint8_t busType);

// STORAGE_DEVICE_DESCRIPTOR: the 40-byte header, then the non-empty texts, each ending in a
// zero byte, their offsets counted from the start of the answer (0 for an empty text, as
// Windows marks an absent one). Returns the whole answer's size cut to outSize.
std::uint32_t PutDeviceDescriptor(std::uint8_t* out, std::uint32_t outSize, const DeviceTexts& texts,
                                  bool removable, std::uint8_t busType);

// The answer of IOCTL_SCSI_GET_INQUIRY_DATA, 60 bytes, in the Windows SCSI_ADAPTER_BUS_INFO
// layout with one bus and one unit: NumberOfBuses at 0; the bus at 4 (units 1, initiator 7,
// inquiry offset 12); the unit's SCSI_INQUIRY_DATA at 12 (PathId = channel at 12, TargetId at
// 13, Lun at 14, claimed 1 at 15, InquiryDataLength 36 at 16, next offset 0 at 20); its 36-byte
// standard INQUIRY data at 24 (direct-access device, removable bit, vendor, product, revision
// blank-padded). For a parallel-ATA disk TargetId is its number on the channel (0 master, 1
// slave); without a SCSI address it is 0.
inline constexpr std::uint32_t kInquiryAnswerLength = 60;
std::uint32_t PutInquiryData(std::uint8_t* out, std::uint32_t outSize, const std::optional<ScsiAddress>& scsi,
                             const DeviceTexts& texts, bool removable);

// A text field of a 512-byte IDENTIFY block: wordCount words from firstWord. The drive sends
// each word's two characters high byte first, so swapped = true undoes that; the kernel's own
// copy (HDIO_GET_IDENTITY) has them in reading order already (swapped = false). Trimmed.
std::string IdentifyText(const std::uint8_t* block, int firstWord, int wordCount, bool swapped);

// The device texts of an ATA disk from its IDENTIFY block: no vendor, the 40-character model
// (words 27-46) as product, the 8-character firmware (words 23-26) as revision, the
// 20-character serial (words 10-19).
DeviceTexts TextsFromIdentify(const std::uint8_t* block, bool swapped);

}  // namespace orm::lnx
