#include "ata/hidden_sectors.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "ata/ide_passport.h"
#include "platform/win_layouts.h"

namespace orm {

namespace {

constexpr std::size_t kLength = offsetof(win::ATA_PASS_THROUGH_EX, Length);
constexpr std::size_t kFlags = offsetof(win::ATA_PASS_THROUGH_EX, AtaFlags);
constexpr std::size_t kTransfer = offsetof(win::ATA_PASS_THROUGH_EX, DataTransferLength);
constexpr std::size_t kTimeout = offsetof(win::ATA_PASS_THROUGH_EX, TimeOutValue);
constexpr std::size_t kDataOffset = offsetof(win::ATA_PASS_THROUGH_EX, DataBufferOffset);
constexpr std::size_t kPrevious = offsetof(win::ATA_PASS_THROUGH_EX, PreviousTaskFile);
constexpr std::size_t kCurrent = offsetof(win::ATA_PASS_THROUGH_EX, CurrentTaskFile);
constexpr std::size_t kHeader = win::kAtaPassThroughHeader;
static_assert(sizeof(win::ATA_PASS_THROUGH_EX) == kHeader);

// Task file positions (IDEREGS order).
constexpr std::size_t kTfFeatures = 0;
constexpr std::size_t kTfLbaLow = 2;
constexpr std::size_t kTfLbaMid = 3;
constexpr std::size_t kTfLbaHigh = 4;
constexpr std::size_t kTfDevice = 5;
constexpr std::size_t kTfCommand = 6;
constexpr std::uint8_t kStatusErr = 0x01;
constexpr std::uint8_t kStatusDrq = 0x08;
constexpr std::uint8_t kDeviceLba = 0x40;

constexpr std::uint64_t kLimit48 = std::uint64_t{1} << 48;

// An address the drive answered, checked: within 48-bit addressing and not below the size it
// reports. A 48-bit count is at most 2^48 - 1 sectors, so the last address is at most 2^48 - 2;
// all ones is what comes back from a bridge that passed no registers.
std::optional<std::int64_t> Sectors(std::optional<std::uint64_t> maxAddress, std::int64_t atLeast) {
    if (!maxAddress || *maxAddress >= kLimit48 - 1) return std::nullopt;
    const auto sectors = static_cast<std::int64_t>(*maxAddress + 1);
    if (sectors < atLeast) return std::nullopt;
    return sectors;
}

}  // namespace

bool AtaPassThrough(KernelServices& ks, Handle handle, const AtaTaskFiles& sent, bool command48,
                    AtaBlock* data, AtaTaskFiles* answer) {
    const std::uint32_t size = kHeader + (data != nullptr ? win::kAtaBlock : 0);
    std::vector<std::uint8_t> buffer(size, 0);
    std::uint8_t* p = buffer.data();
    win::PutLe16(p + kLength, static_cast<std::uint16_t>(kHeader));
    std::uint16_t flags = win::ATA_FLAGS_DRDY_REQUIRED;
    if (data != nullptr) flags |= win::ATA_FLAGS_DATA_IN;
    if (command48) flags |= win::ATA_FLAGS_48BIT_COMMAND;
    win::PutLe16(p + kFlags, flags);
    win::PutLe32(p + kTransfer, data != nullptr ? win::kAtaBlock : 0);
    win::PutLe32(p + kTimeout, win::kAtaPassThroughTimeout);
    win::PutLe64(p + kDataOffset, data != nullptr ? kHeader : 0);
    std::copy(sent.previous.begin(), sent.previous.end(), p + kPrevious);
    std::copy(sent.current.begin(), sent.current.end(), p + kCurrent);

    std::uint32_t returned = 0;
    if (!ks.Control(handle, win::IOCTL_ATA_PASS_THROUGH, p, size, p, size, &returned)) return false;
    if (returned < size) return false;
    // The status register comes back where the command went. A driver that writes nothing
    // back leaves the command there, and every command sent here has ERR or DRQ set in its
    // code, so that reads as a failure too.
    if ((p[kCurrent + kTfCommand] & (kStatusErr | kStatusDrq)) != 0) return false;
    std::copy_n(p + kCurrent, 8, answer->current.begin());
    std::copy_n(p + kPrevious, 8, answer->previous.begin());
    if (data != nullptr) std::copy_n(p + kHeader, win::kAtaBlock, data->begin());
    return true;
}

std::optional<std::uint64_t> ReadNativeMaxAddress(KernelServices& ks, Handle handle, std::uint8_t driveNumber,
                                                  bool command48) {
    AtaTaskFiles sent;
    sent.current[kTfDevice] = static_cast<std::uint8_t>(DriveHeadFor(driveNumber) | kDeviceLba);
    sent.current[kTfCommand] =
        command48 ? win::ATA_READ_NATIVE_MAX_ADDRESS_EXT : win::ATA_READ_NATIVE_MAX_ADDRESS;
    AtaTaskFiles back;
    if (!AtaPassThrough(ks, handle, sent, command48, nullptr, &back)) return std::nullopt;
    const auto& c = back.current;
    std::uint64_t address =
        c[kTfLbaLow] | std::uint64_t{c[kTfLbaMid]} << 8 | std::uint64_t{c[kTfLbaHigh]} << 16;
    if (command48) {
        const auto& h = back.previous;
        address |= std::uint64_t{h[kTfLbaLow]} << 24 | std::uint64_t{h[kTfLbaMid]} << 32 |
                   std::uint64_t{h[kTfLbaHigh]} << 40;
    } else {
        address |= std::uint64_t{c[kTfDevice] & 0x0Fu} << 24;
    }
    return address;
}

bool DeviceConfigurationIdentify(KernelServices& ks, Handle handle, std::uint8_t driveNumber,
                                 AtaBlock& data) {
    AtaTaskFiles sent;
    sent.current[kTfFeatures] = win::DCO_IDENTIFY;
    sent.current[kTfDevice] = DriveHeadFor(driveNumber);
    sent.current[kTfCommand] = win::ATA_DEVICE_CONFIGURATION;
    AtaTaskFiles back;
    AtaBlock block{};
    if (!AtaPassThrough(ks, handle, sent, false, &block, &back)) return false;
    if (block[510] == 0xA5) {
        unsigned sum = 0;
        for (std::uint8_t b : block) sum += b;
        if ((sum & 0xFFu) != 0) return false;
    }
    data = block;
    return true;
}

std::uint64_t DcoMaximumAddress(const AtaBlock& dco) {
    std::uint64_t value = 0;
    for (int w = 6; w >= 3; --w) value = value << 16 | IdentifyWord(dco, w);
    return value;
}

HiddenSectors HiddenFromAnswers(std::int64_t reportedSectors, bool hpaFeature,
                                std::optional<std::uint64_t> nativeMax, std::optional<std::uint64_t> dcoMax) {
    HiddenSectors h;
    if (hpaFeature) {
        h.nativeSectors = Sectors(nativeMax, reportedSectors);
        if (h.nativeSectors) h.hpa = *h.nativeSectors - reportedSectors;
    } else {
        h.nativeSectors = reportedSectors;
    }
    if (h.nativeSectors) {
        h.dcoSectors = Sectors(dcoMax, *h.nativeSectors);
        if (h.dcoSectors) h.dco = *h.dcoSectors - *h.nativeSectors;
    }
    return h;
}

HiddenSectors DetectHiddenSectors(KernelServices& ks, Handle handle, std::uint8_t driveNumber,
                                  const AtaBlock& identify) {
    const T_IDE_PASSPORT r = DecodeIdentifyData(identify);
    if (!r.LbaSupported) return {};
    const std::uint16_t w83 = IdentifyWord(identify, 83);
    // Word 83 speaks only when its bits 15:14 are 01.
    const bool w83Valid = (w83 & 0xC000) == 0x4000;
    const bool dcoFeature = w83Valid && (w83 & 0x0800) != 0;

    std::optional<std::uint64_t> nativeMax;
    if (r.HpaSupported) nativeMax = ReadNativeMaxAddress(ks, handle, driveNumber, (w83 & 0x0400) != 0);
    std::optional<std::uint64_t> dcoMax;
    AtaBlock dco{};
    if (dcoFeature && DeviceConfigurationIdentify(ks, handle, driveNumber, dco))
        dcoMax = DcoMaximumAddress(dco);
    return HiddenFromAnswers(r.TotalSectors, r.HpaSupported, nativeMax, dcoMax);
}

}  // namespace orm
