#include "platform/windows/identify_fallback.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace orm::windows {
namespace {

using win::GetLe32;
using win::kAtaBlock;
using win::kMiniportDataOffset;
using win::kMiniportMinReturned;
using win::kSendCmdInLength;
using win::kSmartReadOutLength;
using win::PutLe16;
using win::PutLe32;
using win::PutLe64;

// Offsets inside the miniport request: SRB_IO_CONTROL (28 bytes), then SENDCMDINPARAMS.
constexpr std::size_t kSrbTimeout = offsetof(win::SRB_IO_CONTROL, Timeout);
constexpr std::size_t kSrbControlCode = offsetof(win::SRB_IO_CONTROL, ControlCode);
constexpr std::size_t kSrbReturnCode = offsetof(win::SRB_IO_CONTROL, ReturnCode);
constexpr std::size_t kCmdIn = sizeof(win::SRB_IO_CONTROL);
constexpr std::size_t kCmdInRegs = kCmdIn + offsetof(win::SENDCMDINPARAMS, irDriveRegs);
constexpr std::size_t kCmdInDrive = kCmdIn + offsetof(win::SENDCMDINPARAMS, bDriveNumber);
constexpr std::size_t kRequestMin = kCmdIn + kSendCmdInLength;
constexpr std::size_t kTaskFileBytes = 7;  // features .. command; the eighth byte is reserved
constexpr std::size_t kCommandInTaskFile = 6;
constexpr std::size_t kStatusInTaskFile = 6;  // the answer's status register takes the command's place
constexpr std::uint8_t kAtaStatusErr = 0x01;

// ATA_PASS_THROUGH_EX as the SDK of this build lays it out (48 bytes on x64, 40 on x86).
constexpr std::size_t kAptLength = offsetof(ATA_PASS_THROUGH_EX, Length);
constexpr std::size_t kAptFlags = offsetof(ATA_PASS_THROUGH_EX, AtaFlags);
constexpr std::size_t kAptTransfer = offsetof(ATA_PASS_THROUGH_EX, DataTransferLength);
constexpr std::size_t kAptTimeout = offsetof(ATA_PASS_THROUGH_EX, TimeOutValue);
constexpr std::size_t kAptDataOffset = offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset);
constexpr std::size_t kAptTaskFile = offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile);
constexpr std::size_t kAptHeader = sizeof(ATA_PASS_THROUGH_EX);

// DRIVERSTATUS inside a SMART_RCV_DRIVE_DATA answer.
constexpr std::size_t kDriverError =
    offsetof(win::SENDCMDOUTPARAMS, DriverStatus) + offsetof(win::DRIVERSTATUS, bDriverError);
constexpr std::size_t kIdeError =
    offsetof(win::SENDCMDOUTPARAMS, DriverStatus) + offsetof(win::DRIVERSTATUS, bIDEError);

void PutPointerSized(std::uint8_t* p, std::uint64_t value) {
    if constexpr (sizeof(ULONG_PTR) == 8) {
        PutLe64(p, value);
    } else {
        PutLe32(p, static_cast<std::uint32_t>(value));
    }
}

}  // namespace

bool IsMiniportIdentify(std::uint32_t controlCode, const void* in, std::uint32_t inSize) {
    if (controlCode != IOCTL_SCSI_MINIPORT || in == nullptr || inSize < kRequestMin) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(in);
    return GetLe32(bytes + kSrbControlCode) == win::IOCTL_SCSI_MINIPORT_IDENTIFY;
}

bool CarriesIdentifyDevice(std::span<const std::uint8_t> request) {
    return request.size() >= kRequestMin &&
           request[kCmdInRegs + kCommandInTaskFile] == win::ATA_IDENTIFY_DEVICE;
}

IdentifyAnswer IdentifyThroughAtaPassThrough(Win32Calls& calls, HANDLE handle,
                                             std::span<const std::uint8_t> request, IdentifyBlock& data) {
    if (!CarriesIdentifyDevice(request)) return IdentifyAnswer::NoAnswer;
    std::vector<std::uint8_t> buffer(kAptHeader + kAtaBlock, 0);
    PutLe16(buffer.data() + kAptLength, static_cast<std::uint16_t>(kAptHeader));
    PutLe16(buffer.data() + kAptFlags, ATA_FLAGS_DRDY_REQUIRED | ATA_FLAGS_DATA_IN);
    PutLe32(buffer.data() + kAptTransfer, kAtaBlock);
    PutLe32(buffer.data() + kAptTimeout, GetLe32(request.data() + kSrbTimeout));
    PutPointerSized(buffer.data() + kAptDataOffset, kAptHeader);
    std::copy_n(request.data() + kCmdInRegs, kTaskFileBytes, buffer.data() + kAptTaskFile);

    const auto size = static_cast<DWORD>(buffer.size());
    DWORD returned = 0;
    const BOOL ok = calls.DeviceIoControl(handle, IOCTL_ATA_PASS_THROUGH, buffer.data(), size, buffer.data(),
                                          size, &returned);
    if (!ok || returned < size) return IdentifyAnswer::NoAnswer;
    // The drive ran the command and refused it: whatever the buffer holds is not its answer.
    if ((buffer[kAptTaskFile + kStatusInTaskFile] & kAtaStatusErr) != 0) return IdentifyAnswer::DriveRefused;
    std::copy_n(buffer.data() + kAptHeader, kAtaBlock, data.begin());
    return IdentifyAnswer::Data;
}

IdentifyAnswer IdentifyThroughSmartReceive(Win32Calls& calls, HANDLE handle,
                                           std::span<const std::uint8_t> request, IdentifyBlock& data) {
    if (!CarriesIdentifyDevice(request)) return IdentifyAnswer::NoAnswer;
    std::array<std::uint8_t, kSendCmdInLength> in{};
    PutLe32(in.data() + offsetof(win::SENDCMDINPARAMS, cBufferSize), kAtaBlock);
    std::copy_n(request.data() + kCmdInRegs, kTaskFileBytes,
                in.data() + offsetof(win::SENDCMDINPARAMS, irDriveRegs));
    in[offsetof(win::SENDCMDINPARAMS, bDriveNumber)] = request[kCmdInDrive];

    std::array<std::uint8_t, kSmartReadOutLength> out{};
    DWORD returned = 0;
    const BOOL ok = calls.DeviceIoControl(handle, SMART_RCV_DRIVE_DATA, in.data(), kSendCmdInLength,
                                          out.data(), kSmartReadOutLength, &returned);
    if (!ok || returned < kAtaBlock || returned > kSmartReadOutLength) return IdentifyAnswer::NoAnswer;
    if (returned == kSmartReadOutLength && (out[kDriverError] != 0 || out[kIdeError] != 0))
        return IdentifyAnswer::DriveRefused;
    std::copy_n(out.data() + (returned - kAtaBlock), kAtaBlock, data.begin());
    return IdentifyAnswer::Data;
}

std::uint32_t WriteMiniportAnswer(std::span<const std::uint8_t> request, const IdentifyBlock& data,
                                  std::uint8_t* out, std::uint32_t outSize) {
    std::fill_n(out, outSize, std::uint8_t{0});
    std::copy_n(request.data(), kCmdIn, out);
    PutLe32(out + kSrbReturnCode, 0);
    PutLe32(out + kCmdIn + offsetof(win::SENDCMDOUTPARAMS, cBufferSize), kAtaBlock);
    std::copy(data.begin(), data.end(), out + kMiniportDataOffset);
    return kMiniportMinReturned;
}

}  // namespace orm::windows
