// The control calls of LinuxKernelServices: each Windows control code the program sends,
// answered in its Windows layout from block-device ioctls, sysfs and the drive itself.
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "helper/ata_pass_through.h"
#include "platform/linux/block_device_info.h"
#include "platform/linux/linux_kernel_services.h"
#include "platform/linux/storage_answers.h"
#include "platform/win_layouts.h"

namespace orm::lnx {

namespace {

constexpr std::uint32_t kPropertyExistsQuery = 1;
constexpr std::uint8_t kSmartIdeError = 1;  // DRIVERSTATUS.bDriverError: the drive refused
constexpr char kMiniportSignature[8] = {'S', 'C', 'S', 'I', 'D', 'I', 'S', 'K'};

// The drive's cached IDENTIFY block through HDIO_GET_IDENTITY (libata keeps it from the
// drive's start-up, so this reaches no drive and needs no privilege); its text fields are
// already in reading order.
bool CachedIdentify(int fd, std::uint8_t* block) {
    std::uint16_t words[256] = {};
    if (::ioctl(fd, HDIO_GET_IDENTITY, words) != 0) return false;
    for (int w = 0; w < 256; ++w) win::PutLe16(block + 2 * w, words[w]);
    return true;
}

}  // namespace

bool LinuxKernelServices::Control(Handle handle, std::uint32_t controlCode, const void* in,
                                  std::uint32_t inSize, void* out, std::uint32_t outSize,
                                  std::uint32_t* bytesReturned) {
    std::uint32_t returned = 0;
    if (bytesReturned != nullptr) *bytesReturned = 0;
    OpenDrive* d = Find(handle);
    if (d == nullptr) return Fail(win::ERROR_INVALID_HANDLE);
    if (in == nullptr) inSize = 0;
    if (out == nullptr) outSize = 0;
    const auto* inBytes = static_cast<const std::uint8_t*>(in);
    auto* outBytes = static_cast<std::uint8_t*>(out);
    bool ok = false;
    switch (controlCode) {
        case win::IOCTL_DISK_GET_DRIVE_GEOMETRY:
            ok = AnswerGeometry(*d, outBytes, outSize, &returned);
            break;
        case win::IOCTL_DISK_GET_LENGTH_INFO:
            ok = AnswerLength(*d, outBytes, outSize, &returned);
            break;
        case win::IOCTL_STORAGE_QUERY_PROPERTY:
            ok = AnswerProperty(*d, inBytes, inSize, outBytes, outSize, &returned);
            break;
        case win::IOCTL_SCSI_GET_INQUIRY_DATA:
            ok = AnswerInquiry(*d, outBytes, outSize, &returned);
            break;
        case win::SMART_SEND_DRIVE_COMMAND:
        case win::SMART_RCV_DRIVE_DATA:
            ok = AnswerSmart(*d, controlCode, inBytes, inSize, outBytes, outSize, &returned);
            break;
        case win::IOCTL_SCSI_MINIPORT:
            ok = AnswerMiniport(*d, inBytes, inSize, outBytes, outSize, &returned);
            break;
        case win::IOCTL_ATA_PASS_THROUGH:
            ok = AnswerAtaPassThrough(*d, inBytes, inSize, outBytes, outSize, &returned);
            break;
        default:
            return Fail(win::ERROR_INVALID_FUNCTION);
    }
    if (bytesReturned != nullptr) *bytesReturned = ok ? returned : 0;
    return ok ? Succeed() : false;
}

bool LinuxKernelServices::LengthOf(const OpenDrive& d, std::uint64_t* length) {
    if (d.probe) {
        *length = d.probe->sizeBytes;
        return true;
    }
    return ::ioctl(d.fd, BLKGETSIZE64, length) == 0 || FailErrno(errno, ErrnoSource::Control);
}

bool LinuxKernelServices::SectorSizeOf(const OpenDrive& d, std::uint32_t* sectorSize) {
    if (d.probe) {
        *sectorSize = d.probe->sectorSize;
        return true;
    }
    int size = 0;
    if (::ioctl(d.fd, BLKSSZGET, &size) != 0) return FailErrno(errno, ErrnoSource::Control);
    *sectorSize = static_cast<std::uint32_t>(size);
    return true;
}

bool LinuxKernelServices::AnswerGeometry(const OpenDrive& d, std::uint8_t* out, std::uint32_t outSize,
                                         std::uint32_t* returned) {
    std::uint32_t sectorSize = 0;
    std::uint64_t length = 0;
    if (!SectorSizeOf(d, &sectorSize) || !LengthOf(d, &length)) return false;
    const BlockDeviceInfo info = ReadBlockDeviceInfo(m_sysRoot, d.name);
    *returned = PutDiskGeometry(out, outSize, sectorSize, length, info.removable);
    return *returned != 0 ? true : Fail(win::ERROR_INSUFFICIENT_BUFFER);
}

bool LinuxKernelServices::AnswerLength(const OpenDrive& d, std::uint8_t* out, std::uint32_t outSize,
                                       std::uint32_t* returned) {
    std::uint64_t length = 0;
    if (!LengthOf(d, &length)) return false;
    *returned = PutLengthInfo(out, outSize, length);
    return *returned != 0 ? true : Fail(win::ERROR_INSUFFICIENT_BUFFER);
}

bool LinuxKernelServices::AnswerProperty(const OpenDrive& d, const std::uint8_t* in, std::uint32_t inSize,
                                         std::uint8_t* out, std::uint32_t outSize, std::uint32_t* returned) {
    if (inSize < 8) return Fail(win::ERROR_INVALID_PARAMETER);
    const std::uint32_t propertyId = win::GetLe32(in + offsetof(win::STORAGE_PROPERTY_QUERY, PropertyId));
    const std::uint32_t queryType = win::GetLe32(in + offsetof(win::STORAGE_PROPERTY_QUERY, QueryType));
    if (propertyId != win::StorageDeviceProperty && propertyId != win::StorageAdapterProperty) {
        return Fail(win::ERROR_NOT_SUPPORTED);
    }
    if (queryType == kPropertyExistsQuery) return true;
    if (queryType != win::PropertyStandardQuery) return Fail(win::ERROR_INVALID_PARAMETER);

    const BlockDeviceInfo info = ReadBlockDeviceInfo(m_sysRoot, d.name);
    if (propertyId == win::StorageAdapterProperty) {
        std::uint32_t sectorSize = 512;
        if (!SectorSizeOf(d, &sectorSize) || sectorSize == 0) sectorSize = 512;
        *returned = PutAdapterDescriptor(out, outSize, info.maxTransferBytes, sectorSize - 1, info.busType);
        return *returned != 0 ? true : Fail(win::ERROR_INSUFFICIENT_BUFFER);
    }

    DeviceTexts texts = info.texts;
    if (info.busType == win::BusTypeAta) {
        // sysfs has libata's SCSI view of the drive: vendor "ATA", the model cut to 16 and the
        // firmware to its last 4 characters, and often no serial. The drive's own IDENTIFY
        // block has them whole: the kernel's copy, else the drive asked (root only).
        std::uint8_t block[win::kAtaBlock] = {};
        if (!d.probe && CachedIdentify(d.fd, block)) {
            texts = TextsFromIdentify(block, false);
        } else {
            if (SendAta(d, helper::IdentifyCommand(), block).ok) {
                texts = TextsFromIdentify(block, true);
            } else {
                texts.vendor.clear();
            }
        }
    }
    *returned = PutDeviceDescriptor(out, outSize, texts, info.removable, info.busType);
    return *returned != 0 ? true : Fail(win::ERROR_INSUFFICIENT_BUFFER);
}

bool LinuxKernelServices::AnswerInquiry(const OpenDrive& d, std::uint8_t* out, std::uint32_t outSize,
                                        std::uint32_t* returned) {
    const BlockDeviceInfo info = ReadBlockDeviceInfo(m_sysRoot, d.name);
    *returned = PutInquiryData(out, outSize, info.scsi, info.texts, info.removable);
    return *returned != 0 ? true : Fail(win::ERROR_INSUFFICIENT_BUFFER);
}

bool LinuxKernelServices::AnswerSmart(const OpenDrive& d, std::uint32_t controlCode, const std::uint8_t* in,
                                      std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize,
                                      std::uint32_t* returned) {
    const bool receive = controlCode == win::SMART_RCV_DRIVE_DATA;
    if (inSize < win::kSendCmdInLength) return Fail(win::ERROR_INVALID_PARAMETER);
    const std::optional<helper::AtaCommand> cmd =
        helper::AcceptRegisters(in + offsetof(win::SENDCMDINPARAMS, irDriveRegs),
                                receive ? helper::AtaCall::SmartReceive : helper::AtaCall::SmartSend);
    if (!cmd) return Fail(win::ERROR_INVALID_PARAMETER);
    const std::uint32_t answer = receive ? win::kSmartReadOutLength : win::kSendCmdOutHeader;
    if (outSize < answer) return Fail(win::ERROR_INSUFFICIENT_BUFFER);

    std::uint8_t data[win::kAtaBlock] = {};
    const helper::AtaSendResult sent = SendAta(d, *cmd, data);
    std::memset(out, 0, answer);
    if (!sent.ok) {
        if (sent.err != 0) return FailErrno(sent.err, ErrnoSource::Control);
        out[offsetof(win::SENDCMDOUTPARAMS, DriverStatus) + offsetof(win::DRIVERSTATUS, bDriverError)] =
            kSmartIdeError;
        out[offsetof(win::SENDCMDOUTPARAMS, DriverStatus) + offsetof(win::DRIVERSTATUS, bIDEError)] =
            sent.outcome.error;
        return FailErrno(EIO, ErrnoSource::Control);
    }
    if (receive) {
        win::PutLe32(out + offsetof(win::SENDCMDOUTPARAMS, cBufferSize), win::kAtaBlock);
        std::memcpy(out + win::kSendCmdOutHeader, data, win::kAtaBlock);
    }
    *returned = answer;
    return true;
}

bool LinuxKernelServices::AnswerMiniport(const OpenDrive& d, const std::uint8_t* in, std::uint32_t inSize,
                                         std::uint8_t* out, std::uint32_t outSize, std::uint32_t* returned) {
    constexpr std::uint32_t kSrb = sizeof(win::SRB_IO_CONTROL);
    if (inSize < kSrb + win::kSendCmdInLength) return Fail(win::ERROR_INVALID_PARAMETER);
    // The program passes one buffer as input and output: keep what is needed before writing.
    std::uint8_t srb[kSrb];
    std::memcpy(srb, in, kSrb);
    std::uint8_t regs[sizeof(win::IDEREGS)];
    std::memcpy(regs, in + kSrb + offsetof(win::SENDCMDINPARAMS, irDriveRegs), sizeof regs);
    if (win::GetLe32(srb + offsetof(win::SRB_IO_CONTROL, HeaderLength)) != kSrb ||
        std::memcmp(srb + offsetof(win::SRB_IO_CONTROL, Signature), kMiniportSignature, 8) != 0 ||
        win::GetLe32(srb + offsetof(win::SRB_IO_CONTROL, ControlCode)) != win::IOCTL_SCSI_MINIPORT_IDENTIFY ||
        win::GetLe32(srb + offsetof(win::SRB_IO_CONTROL, Length)) < win::kMiniportLength) {
        return Fail(win::ERROR_INVALID_PARAMETER);
    }
    const std::optional<helper::AtaCommand> cmd =
        helper::AcceptRegisters(regs, helper::AtaCall::MiniportIdentify);
    if (!cmd) return Fail(win::ERROR_INVALID_PARAMETER);
    if (outSize < win::kMiniportBufferLength) return Fail(win::ERROR_INSUFFICIENT_BUFFER);

    std::uint8_t data[win::kAtaBlock] = {};
    const helper::AtaSendResult sent = SendAta(d, *cmd, data);
    if (!sent.ok) return FailErrno(sent.err != 0 ? sent.err : EIO, ErrnoSource::Control);
    std::memset(out, 0, win::kMiniportBufferLength);
    win::PutLe32(srb + offsetof(win::SRB_IO_CONTROL, ReturnCode), 0);
    std::memcpy(out, srb, kSrb);
    win::PutLe32(out + kSrb + offsetof(win::SENDCMDOUTPARAMS, cBufferSize), win::kAtaBlock);
    std::memcpy(out + win::kMiniportDataOffset, data, win::kAtaBlock);
    *returned = win::kMiniportBufferLength;
    return true;
}

// IOCTL_ATA_PASS_THROUGH takes only the read-only commands that find hidden sectors. The answer
// is the request's header with the task files the drive returned, as Windows gives it: a drive
// that refuses the command completes the call with ERR in its status register.
bool LinuxKernelServices::AnswerAtaPassThrough(const OpenDrive& d, const std::uint8_t* in,
                                               std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize,
                                               std::uint32_t* returned) {
    using Apt = win::ATA_PASS_THROUGH_EX;
    constexpr std::uint32_t kHeader = win::kAtaPassThroughHeader;
    if (inSize < kHeader || win::GetLe16(in + offsetof(Apt, Length)) != kHeader) {
        return Fail(win::ERROR_INVALID_PARAMETER);
    }
    std::uint8_t header[kHeader];
    std::memcpy(header, in, kHeader);
    std::uint8_t* task = header + offsetof(Apt, CurrentTaskFile);
    std::uint8_t* previous = header + offsetof(Apt, PreviousTaskFile);
    const std::uint16_t flags = win::GetLe16(header + offsetof(Apt, AtaFlags));
    const std::optional<helper::AtaCommand> cmd = helper::AcceptRegisters(task, helper::AtaCall::PassThrough);
    if (!cmd || task[7] != 0) return Fail(win::ERROR_INVALID_PARAMETER);
    for (int i = 0; i < 8; ++i) {
        if (previous[i] != 0) return Fail(win::ERROR_INVALID_PARAMETER);
    }
    const std::uint32_t size = cmd->dataIn ? kHeader + win::kAtaBlock : kHeader;
    const std::uint32_t transfer = cmd->dataIn ? win::kAtaBlock : 0;
    const bool flagsFit = ((flags & win::ATA_FLAGS_48BIT_COMMAND) != 0) == cmd->extend &&
                          ((flags & win::ATA_FLAGS_DATA_IN) != 0) == cmd->dataIn;
    if (!flagsFit || inSize != size || win::GetLe32(header + offsetof(Apt, DataTransferLength)) != transfer ||
        win::GetLe64(header + offsetof(Apt, DataBufferOffset)) != (cmd->dataIn ? kHeader : 0)) {
        return Fail(win::ERROR_INVALID_PARAMETER);
    }
    if (outSize < size) return Fail(win::ERROR_INSUFFICIENT_BUFFER);

    std::uint8_t data[win::kAtaBlock] = {};
    const helper::AtaSendResult sent = SendAta(d, *cmd, data);
    if (!sent.ok && sent.err != 0) return FailErrno(sent.err, ErrnoSource::Control);
    const helper::AtaOutcome& o = sent.outcome;
    // A native address that did not come back whole cannot be given.
    if (sent.ok && cmd->needsRegisters && (!o.haveRegisters || o.extended != cmd->extend)) {
        return Fail(win::ERROR_NOT_SUPPORTED);
    }
    std::memset(task, 0, 8);
    if (sent.ok) {
        const helper::AtaRegistersBack& g = o.registers;
        task[0] = o.error;
        task[1] = g.count;
        task[2] = g.lbaLow;
        task[3] = g.lbaMid;
        task[4] = g.lbaHigh;
        task[5] = g.device;
        // A data-in command that went well comes back without sense: the drive was ready.
        task[6] = o.haveStatus ? o.status : std::uint8_t{0x50};
        previous[1] = g.hobCount;
        previous[2] = g.hobLbaLow;
        previous[3] = g.hobLbaMid;
        previous[4] = g.hobLbaHigh;
    } else {
        constexpr std::uint8_t kErr = 0x01, kAbrt = 0x04;
        task[0] = o.haveStatus ? o.error : kAbrt;
        task[6] = static_cast<std::uint8_t>((o.haveStatus ? o.status : 0x50) | kErr);
    }
    std::memset(out, 0, size);
    std::memcpy(out, header, kHeader);
    if (sent.ok && cmd->dataIn) std::memcpy(out + kHeader, data, win::kAtaBlock);
    *returned = size;
    return true;
}

}  // namespace orm::lnx
