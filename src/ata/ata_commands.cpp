#include "ata/ata_commands.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/win_layouts.h"

namespace orm {

namespace {

// Offsets inside SENDCMDINPARAMS and SRB_IO_CONTROL, pinned by the layouts in win_layouts.h.
constexpr std::size_t kInBufferSize = offsetof(win::SENDCMDINPARAMS, cBufferSize);
constexpr std::size_t kInRegisters = offsetof(win::SENDCMDINPARAMS, irDriveRegs);
constexpr std::size_t kInDriveNumber = offsetof(win::SENDCMDINPARAMS, bDriveNumber);
constexpr std::size_t kSrbHeaderLength = offsetof(win::SRB_IO_CONTROL, HeaderLength);
constexpr std::size_t kSrbSignature = offsetof(win::SRB_IO_CONTROL, Signature);
constexpr std::size_t kSrbTimeout = offsetof(win::SRB_IO_CONTROL, Timeout);
constexpr std::size_t kSrbControlCode = offsetof(win::SRB_IO_CONTROL, ControlCode);
constexpr std::size_t kSrbLength = offsetof(win::SRB_IO_CONTROL, Length);
constexpr std::size_t kSrbSize = sizeof(win::SRB_IO_CONTROL);

constexpr std::size_t kSrbReturnCode = offsetof(win::SRB_IO_CONTROL, ReturnCode);
constexpr std::size_t kOutDriverError =
    offsetof(win::SENDCMDOUTPARAMS, DriverStatus) + offsetof(win::DRIVERSTATUS, bDriverError);
constexpr std::size_t kOutIdeError =
    offsetof(win::SENDCMDOUTPARAMS, DriverStatus) + offsetof(win::DRIVERSTATUS, bIDEError);

constexpr char kMiniportSignature[8] = {'S', 'C', 'S', 'I', 'D', 'I', 'S', 'K'};

static_assert(win::kSendCmdInLength + win::kAtaBlock == win::kMiniportLength);
static_assert(kSrbSize + win::kMiniportLength == win::kMiniportBufferLength);
static_assert(kSrbSize + win::kSendCmdOutHeader == win::kMiniportDataOffset);
static_assert(win::kMiniportDataOffset + win::kAtaBlock == win::kMiniportMinReturned);

// Writes a SENDCMDINPARAMS (without its data byte) at `p`, which the caller zero-filled.
void PutCommandInput(std::uint8_t* p, std::uint32_t bufferSize, const AtaRegisters& regs,
                     std::uint8_t driveNumber) {
    win::PutLe32(p + kInBufferSize, bufferSize);
    std::uint8_t* r = p + kInRegisters;
    r[offsetof(win::IDEREGS, bFeaturesReg)] = regs.features;
    r[offsetof(win::IDEREGS, bSectorCountReg)] = regs.sectorCount;
    r[offsetof(win::IDEREGS, bSectorNumberReg)] = regs.sectorNumber;
    r[offsetof(win::IDEREGS, bCylLowReg)] = regs.cylinderLow;
    r[offsetof(win::IDEREGS, bCylHighReg)] = regs.cylinderHigh;
    r[offsetof(win::IDEREGS, bDriveHeadReg)] = regs.driveHead;
    r[offsetof(win::IDEREGS, bCommandReg)] = regs.command;
    p[kInDriveNumber] = driveNumber;
}

// A completed call can still carry a refusal in the SENDCMDOUTPARAMS header at `p`: bDriverError
// is the driver's verdict (SMART_IDE_ERROR when the drive refused, other codes when the driver
// did), bIDEError the drive's error register (ABRT and the like). Either one non-zero in the
// zero-filled output of a SMART call is a failure; the header has no room for the status
// register itself.
bool DriverStatusClean(const std::uint8_t* p) {
    return p[kOutDriverError] == 0 && p[kOutIdeError] == 0;
}

AtaRegisters SmartRegisters(std::uint8_t feature, std::uint8_t driveNumber) {
    AtaRegisters regs;
    regs.features = feature;
    regs.sectorCount = 1;
    regs.sectorNumber = 1;
    regs.cylinderLow = win::SMART_CYL_LOW;
    regs.cylinderHigh = win::SMART_CYL_HI;
    regs.driveHead = DriveHeadFor(driveNumber);
    regs.command = win::ATA_SMART;
    return regs;
}

}  // namespace

std::uint8_t DriveHeadFor(std::uint8_t driveNumber) {
    return static_cast<std::uint8_t>(0xA0u | (static_cast<unsigned>(driveNumber) << 4));
}

bool SendSmartCommand(KernelServices& ks, Handle handle, const AtaRegisters& regs, std::uint8_t driveNumber) {
    std::array<std::uint8_t, win::kSendCmdInLength> in{};
    std::array<std::uint8_t, win::kSendCmdOutHeader> out{};
    PutCommandInput(in.data(), 0, regs, driveNumber);
    std::uint32_t returned = 0;
    return ks.Control(handle, win::SMART_SEND_DRIVE_COMMAND, in.data(), win::kSendCmdInLength, out.data(),
                      win::kSendCmdOutHeader, &returned) &&
           DriverStatusClean(out.data());
}

bool ReceiveSmartData(KernelServices& ks, Handle handle, const AtaRegisters& regs, std::uint8_t driveNumber,
                      AtaBlock& data) {
    std::array<std::uint8_t, win::kSendCmdInLength> in{};
    std::array<std::uint8_t, win::kSmartReadOutLength> out{};
    PutCommandInput(in.data(), win::kAtaBlock, regs, driveNumber);
    std::uint32_t returned = 0;
    const bool ok = ks.Control(handle, win::SMART_RCV_DRIVE_DATA, in.data(), win::kSendCmdInLength,
                               out.data(), win::kSmartReadOutLength, &returned);
    // A count beyond the buffer we handed over cannot describe bytes in it; the answer is
    // refused rather than read from outside the buffer.
    if (!ok || returned < win::kAtaBlock || returned > out.size()) return false;
    const std::size_t start = returned - win::kAtaBlock;
    // Only an answer with room for the header in front of the data has one; a driver that
    // answers with the bare 512 bytes has data where the header would be.
    if (start >= win::kSendCmdOutHeader && !DriverStatusClean(out.data())) return false;
    std::copy_n(out.begin() + static_cast<std::ptrdiff_t>(start), win::kAtaBlock, data.begin());
    return true;
}

bool SmartEnable(KernelServices& ks, Handle handle, std::uint8_t driveNumber) {
    return SendSmartCommand(ks, handle, SmartRegisters(win::SMART_ENABLE_OPERATIONS, driveNumber),
                            driveNumber);
}

bool SmartDisable(KernelServices& ks, Handle handle, std::uint8_t driveNumber) {
    return SendSmartCommand(ks, handle, SmartRegisters(win::SMART_DISABLE_OPERATIONS, driveNumber),
                            driveNumber);
}

bool SmartReadData(KernelServices& ks, Handle handle, std::uint8_t driveNumber, AtaBlock& data) {
    return ReceiveSmartData(ks, handle, SmartRegisters(win::SMART_READ_DATA, driveNumber), driveNumber, data);
}

bool AtaIdentify(KernelServices& ks, Handle handle, std::uint8_t driveNumber, AtaBlock& data) {
    std::array<std::uint8_t, win::kMiniportBufferLength> buffer{};
    win::PutLe32(buffer.data() + kSrbHeaderLength, static_cast<std::uint32_t>(kSrbSize));
    std::memcpy(buffer.data() + kSrbSignature, kMiniportSignature, sizeof kMiniportSignature);
    win::PutLe32(buffer.data() + kSrbTimeout, win::kMiniportTimeout);
    win::PutLe32(buffer.data() + kSrbControlCode, win::IOCTL_SCSI_MINIPORT_IDENTIFY);
    win::PutLe32(buffer.data() + kSrbLength, win::kMiniportLength);

    AtaRegisters regs;
    regs.sectorCount = 1;
    regs.sectorNumber = 1;
    regs.driveHead = DriveHeadFor(driveNumber);
    regs.command = win::ATA_IDENTIFY_DEVICE;
    PutCommandInput(buffer.data() + kSrbSize, win::kAtaBlock, regs, driveNumber);

    std::uint32_t returned = 0;
    const bool ok = ks.Control(handle, win::IOCTL_SCSI_MINIPORT, buffer.data(), win::kMiniportBufferLength,
                               buffer.data(), win::kMiniportBufferLength, &returned);
    if (!ok || returned < win::kMiniportMinReturned) return false;
    // The miniport's ReturnCode and the driver's bDriverError. The answer lies over the request,
    // whose bytes there are 0 (ReturnCode, the features register), so a driver that writes only
    // the data still reads as clean. bIDEError lies over the sector count register (1) and only
    // means something with bDriverError set, so it is not read here.
    if (win::GetLe32(buffer.data() + kSrbReturnCode) != 0 || buffer[kSrbSize + kOutDriverError] != 0) {
        return false;
    }
    std::copy_n(buffer.begin() + win::kMiniportDataOffset, win::kAtaBlock, data.begin());
    return true;
}

}  // namespace orm
