// Simulated drives: answers to the control codes, in the Windows layouts.
#include <algorithm>
#include <cstring>

#include "platform/sim/sim_state.h"
#include "platform/win_layouts.h"

namespace orm::sim {

namespace {

using namespace orm::win;

constexpr std::uint32_t kFixedMedia = 12;
constexpr std::uint32_t kRemovableMedia = 11;
// IOCTL_SCSI_GET_INQUIRY_DATA answers with a bus-information block; the program reads only
// byte 13. 64 bytes is long enough for that and shorter than any buffer the program passes.
constexpr std::uint32_t kInquiryAnswerLength = 64;
constexpr std::size_t kIdentifyWord85 = 85 * 2;

// The standard device descriptor with its texts behind the 40-byte header, each ended by a zero
// byte; an empty text gets offset 0 as Windows gives it.
std::vector<std::uint8_t> DeviceDescriptor(const DriveSpec& params) {
    std::vector<std::uint8_t> bytes(sizeof(STORAGE_DEVICE_DESCRIPTOR), 0);
    std::uint32_t offsets[4] = {};
    const std::string* texts[4] = {&params.vendor, &params.product, &params.revision, &params.serial};
    for (int i = 0; i < 4; ++i) {
        if (texts[i]->empty()) continue;
        offsets[i] = static_cast<std::uint32_t>(bytes.size());
        bytes.insert(bytes.end(), texts[i]->begin(), texts[i]->end());
        bytes.push_back(0);
    }
    PutLe32(&bytes[offsetof(STORAGE_DEVICE_DESCRIPTOR, Version)], sizeof(STORAGE_DEVICE_DESCRIPTOR));
    PutLe32(&bytes[offsetof(STORAGE_DEVICE_DESCRIPTOR, Size)], static_cast<std::uint32_t>(bytes.size()));
    bytes[offsetof(STORAGE_DEVICE_DESCRIPTOR, RemovableMedia)] = params.removable ? 1 : 0;
    PutLe32(&bytes[offsetof(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset)], offsets[0]);
    PutLe32(&bytes[offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset)], offsets[1]);
    PutLe32(&bytes[offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductRevisionOffset)], offsets[2]);
    PutLe32(&bytes[offsetof(STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset)], offsets[3]);
    PutLe32(&bytes[offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType)], params.busType);
    return bytes;
}

std::vector<std::uint8_t> AdapterDescriptor(const DriveSpec& params) {
    std::vector<std::uint8_t> bytes(sizeof(STORAGE_ADAPTER_DESCRIPTOR), 0);
    PutLe32(&bytes[offsetof(STORAGE_ADAPTER_DESCRIPTOR, Version)], sizeof(STORAGE_ADAPTER_DESCRIPTOR));
    PutLe32(&bytes[offsetof(STORAGE_ADAPTER_DESCRIPTOR, Size)], sizeof(STORAGE_ADAPTER_DESCRIPTOR));
    PutLe32(&bytes[offsetof(STORAGE_ADAPTER_DESCRIPTOR, MaximumTransferLength)], params.maxTransferLength);
    PutLe32(&bytes[offsetof(STORAGE_ADAPTER_DESCRIPTOR, MaximumPhysicalPages)],
            params.maxTransferLength / 4096 + 1);
    PutLe32(&bytes[offsetof(STORAGE_ADAPTER_DESCRIPTOR, AlignmentMask)], 1);
    bytes[offsetof(STORAGE_ADAPTER_DESCRIPTOR, BusType)] = params.busType;
    return bytes;
}

constexpr std::size_t kAptCurrent = offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile);
constexpr std::size_t kAptPrevious = offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile);
constexpr std::uint8_t kStatusReady = 0x50;    // DRDY and DSC
constexpr std::uint8_t kStatusAborted = 0x51;  // DRDY, DSC and ERR
constexpr std::uint8_t kErrorAbrt = 0x04;

// The sector count an IDENTIFY block reports: words 100-103 when the 48-bit feature set is
// there and they hold a count, else words 60-61.
std::uint64_t ReportedSectors(const std::array<std::uint8_t, 512>& identify) {
    const bool lba48 = (GetLe16(&identify[83 * 2]) & 0x0400) != 0;
    const std::uint64_t count48 = GetLe64(&identify[100 * 2]);
    return lba48 && count48 != 0 ? count48 : GetLe32(&identify[60 * 2]);
}

// The overlay block: revision 2, the maximum address in words 3-6 and a valid integrity word.
std::vector<std::uint8_t> DcoBlock(std::uint64_t maxAddress) {
    std::vector<std::uint8_t> b(kAtaBlock, 0);
    PutLe16(&b[0], 0x0002);
    PutLe64(&b[6], maxAddress);
    b[510] = 0xA5;
    unsigned sum = 0;
    for (std::uint8_t byte : b) sum += byte;
    b[511] = static_cast<std::uint8_t>(0x100u - (sum & 0xFFu));
    return b;
}

// Writes the SENDCMDOUTPARAMS header at `p` for an answer of `dataSize` bytes.
void PutOutHeader(std::uint8_t* p, std::uint32_t dataSize, const DriveFaults& f) {
    PutLe32(p, dataSize);
    p[offsetof(SENDCMDOUTPARAMS, DriverStatus)] = f.driverError.value_or(0);
}

}  // namespace

bool SimPlatform::Impl::Control(OpenHandle& oh, JournalEntry& e, std::uint32_t code, const std::uint8_t* in,
                                std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize,
                                std::uint32_t* bytesReturned) {
    SimDrive& drive = *oh.drive;
    DriveSpec& params = drive.params;
    const DriveFaults& f = params.faults;

    // What the journal and the fault keys need from the input, read only within inSize.
    std::optional<std::uint32_t> propertyId;
    if (code == IOCTL_STORAGE_QUERY_PROPERTY && inSize >= 4) propertyId = GetLe32(in);
    std::size_t cmdAt = 0;
    bool hasCmd = false;
    if ((code == SMART_SEND_DRIVE_COMMAND || code == SMART_RCV_DRIVE_DATA) && inSize >= kSendCmdInLength) {
        cmdAt = 0;
        hasCmd = true;
    } else if (code == IOCTL_SCSI_MINIPORT && inSize >= sizeof(SRB_IO_CONTROL) + kSendCmdInLength) {
        cmdAt = sizeof(SRB_IO_CONTROL);
        hasCmd = true;
    }
    const bool passThrough = code == IOCTL_ATA_PASS_THROUGH && inSize >= kAtaPassThroughHeader;
    if (passThrough) {
        e.ataFeatures = in[kAptCurrent + offsetof(IDEREGS, bFeaturesReg)];
        e.ataDriveHead = in[kAptCurrent + offsetof(IDEREGS, bDriveHeadReg)];
        e.ataCommand = in[kAptCurrent + offsetof(IDEREGS, bCommandReg)];
    }
    if (propertyId) e.propertyId = *propertyId;
    if (hasCmd) {
        const std::uint8_t* regs = in + cmdAt + offsetof(SENDCMDINPARAMS, irDriveRegs);
        e.ataFeatures = regs[offsetof(IDEREGS, bFeaturesReg)];
        e.ataDriveHead = regs[offsetof(IDEREGS, bDriveHeadReg)];
        e.ataCommand = regs[offsetof(IDEREGS, bCommandReg)];
        e.ataDriveNumber = in[cmdAt + offsetof(SENDCMDINPARAMS, bDriveNumber)];
    }

    auto fail = [&](std::uint32_t error) {
        e.error = error;
        *bytesReturned = 0;
        return false;
    };

    if (drive.gone || f.vanishAfterOpen) return fail(f.vanishError);
    for (const ControlKey& key : {ControlKey{code, propertyId}, ControlKey{code, std::nullopt}}) {
        if (auto it = f.controlFails.find(key); it != f.controlFails.end()) return fail(it->second);
    }

    // Copies an answer into the caller's buffer, cut to its length.
    auto answer = [&](const std::vector<std::uint8_t>& bytes) {
        const std::uint32_t n = std::min(static_cast<std::uint32_t>(bytes.size()), outSize);
        if (n > 0) std::memcpy(out, bytes.data(), n);
        *bytesReturned = n;
        return true;
    };

    bool ok = false;
    switch (code) {
        case IOCTL_DISK_GET_DRIVE_GEOMETRY: {
            if (outSize < sizeof(DISK_GEOMETRY)) return fail(ERROR_INSUFFICIENT_BUFFER);
            std::vector<std::uint8_t> g(sizeof(DISK_GEOMETRY), 0);
            const std::int64_t perCylinder =
                255LL * 63 * std::max<std::int64_t>(params.reportedSectorSize, 1);
            PutLe64(&g[offsetof(DISK_GEOMETRY, Cylinders)],
                    static_cast<std::uint64_t>(params.length / perCylinder));
            PutLe32(&g[offsetof(DISK_GEOMETRY, MediaType)], params.removable ? kRemovableMedia : kFixedMedia);
            PutLe32(&g[offsetof(DISK_GEOMETRY, TracksPerCylinder)], 255);
            PutLe32(&g[offsetof(DISK_GEOMETRY, SectorsPerTrack)], 63);
            PutLe32(&g[offsetof(DISK_GEOMETRY, BytesPerSector)], params.reportedSectorSize);
            ok = answer(g);
            break;
        }
        case IOCTL_DISK_GET_LENGTH_INFO: {
            if (outSize < sizeof(GET_LENGTH_INFORMATION)) return fail(ERROR_INSUFFICIENT_BUFFER);
            std::vector<std::uint8_t> l(8, 0);
            PutLe64(l.data(), static_cast<std::uint64_t>(params.length));
            ok = answer(l);
            break;
        }
        case IOCTL_STORAGE_QUERY_PROPERTY: {
            if (inSize < 8) return fail(ERROR_INVALID_PARAMETER);
            const std::uint32_t queryType = GetLe32(in + 4);
            if (queryType != PropertyStandardQuery) {
                *bytesReturned = 0;
                ok = true;  // an "exists" query: the property is there
                break;
            }
            if (outSize < 8) return fail(ERROR_INSUFFICIENT_BUFFER);
            if (*propertyId == StorageAdapterProperty) {
                ok = answer(AdapterDescriptor(params));
            } else if (*propertyId == StorageDeviceProperty) {
                ok = answer(params.rawDeviceDescriptor ? *params.rawDeviceDescriptor
                                                       : DeviceDescriptor(params));
            } else {
                return fail(ERROR_NOT_SUPPORTED);
            }
            break;
        }
        case IOCTL_SCSI_GET_INQUIRY_DATA: {
            if (outSize < 14) return fail(ERROR_INSUFFICIENT_BUFFER);
            std::vector<std::uint8_t> q(kInquiryAnswerLength, 0);
            q[0] = 1;  // one bus
            q[13] = params.inquiryByte13;
            ok = answer(q);
            break;
        }
        case SMART_SEND_DRIVE_COMMAND: {
            if (!hasCmd) return fail(ERROR_INVALID_PARAMETER);
            if (!params.identify) return fail(ERROR_INVALID_FUNCTION);
            if (outSize < kSendCmdOutHeader) return fail(ERROR_INSUFFICIENT_BUFFER);
            if (e.ataCommand != ATA_SMART) return fail(ERROR_INVALID_PARAMETER);
            if (e.ataFeatures == SMART_ENABLE_OPERATIONS) {
                if (f.refuseSmartEnable) return fail(ERROR_INVALID_FUNCTION);
                params.smartEnabled = true;
            } else if (e.ataFeatures == SMART_DISABLE_OPERATIONS) {
                params.smartEnabled = false;
            } else {
                return fail(ERROR_INVALID_PARAMETER);
            }
            std::memset(out, 0, kSendCmdOutHeader);
            PutOutHeader(out, 0, f);
            *bytesReturned = kSendCmdOutHeader;
            ok = true;
            break;
        }
        case SMART_RCV_DRIVE_DATA: {
            if (!hasCmd) return fail(ERROR_INVALID_PARAMETER);
            if (!params.identify) return fail(ERROR_INVALID_FUNCTION);
            if (e.ataCommand != ATA_SMART || e.ataFeatures != SMART_READ_DATA)
                return fail(ERROR_INVALID_PARAMETER);
            if (!params.smart || !params.smartEnabled) return fail(ERROR_INVALID_FUNCTION);
            std::vector<std::uint8_t> a;
            if (f.smartReadNoHeader) {
                a.assign(params.smart->begin(), params.smart->end());
            } else {
                a.assign(kSendCmdOutHeader, 0);
                PutOutHeader(a.data(), kAtaBlock, f);
                a.insert(a.end(), params.smart->begin(), params.smart->end());
            }
            if (outSize < a.size()) return fail(ERROR_INSUFFICIENT_BUFFER);
            ok = answer(a);
            break;
        }
        case IOCTL_SCSI_MINIPORT: {
            if (inSize < sizeof(SRB_IO_CONTROL)) return fail(ERROR_INVALID_PARAMETER);
            const std::uint32_t miniportCode = GetLe32(in + offsetof(SRB_IO_CONTROL, ControlCode));
            if (miniportCode != IOCTL_SCSI_MINIPORT_IDENTIFY) return fail(ERROR_INVALID_FUNCTION);
            if (!hasCmd) return fail(ERROR_INVALID_PARAMETER);
            if (!params.identify) return fail(ERROR_INVALID_FUNCTION);
            if (e.ataCommand != ATA_IDENTIFY_DEVICE) return fail(ERROR_INVALID_PARAMETER);
            if (outSize < kMiniportMinReturned) return fail(ERROR_INSUFFICIENT_BUFFER);
            // The answer keeps the request's SRB header (the buffer is both input and output).
            std::vector<std::uint8_t> a(in, in + sizeof(SRB_IO_CONTROL));
            a.resize(kMiniportDataOffset, 0);
            PutOutHeader(a.data() + sizeof(SRB_IO_CONTROL), kAtaBlock, f);
            a.insert(a.end(), params.identify->begin(), params.identify->end());
            // Word 85 bit 0: SMART feature set enabled, as the drive stands now.
            std::uint16_t w85 = GetLe16(&a[kMiniportDataOffset + kIdentifyWord85]);
            w85 = static_cast<std::uint16_t>(params.smartEnabled ? (w85 | 1u) : (w85 & ~1u));
            PutLe16(&a[kMiniportDataOffset + kIdentifyWord85], w85);
            // Word 87 bits 15:14 = 01: words 85 to 87 hold valid values, as a drive answers.
            const std::size_t w87At = kMiniportDataOffset + 87 * 2;
            PutLe16(&a[w87At], static_cast<std::uint16_t>((GetLe16(&a[w87At]) & 0x3FFFu) | 0x4000u));
            a.resize(std::min<std::uint32_t>(outSize, kMiniportBufferLength), 0);
            ok = answer(a);
            break;
        }
        case IOCTL_ATA_PASS_THROUGH: {
            if (!passThrough || outSize < inSize) return fail(ERROR_INVALID_PARAMETER);
            if (!params.identify) return fail(ERROR_INVALID_FUNCTION);
            const std::uint16_t flags = GetLe16(in + offsetof(ATA_PASS_THROUGH_EX, AtaFlags));
            const bool dataIn = (flags & ATA_FLAGS_DATA_IN) != 0;
            const bool ext = (flags & ATA_FLAGS_48BIT_COMMAND) != 0;
            const bool nativeMax = (e.ataCommand == ATA_READ_NATIVE_MAX_ADDRESS_EXT && ext) ||
                                   (e.ataCommand == ATA_READ_NATIVE_MAX_ADDRESS && !ext);
            const bool dcoIdentify =
                e.ataCommand == ATA_DEVICE_CONFIGURATION && e.ataFeatures == DCO_IDENTIFY;
            if (!(nativeMax && !dataIn) &&
                !(dcoIdentify && dataIn && inSize >= kAtaPassThroughHeader + kAtaBlock))
                return fail(ERROR_INVALID_PARAMETER);
            std::vector<std::uint8_t> a(in, in + inSize);
            std::uint8_t* current = &a[kAptCurrent];
            std::uint8_t* previous = &a[kAptPrevious];
            const auto& aborted = f.abortedCommands;
            if (std::find(aborted.begin(), aborted.end(), e.ataCommand) != aborted.end() ||
                (dcoIdentify && !params.dcoMaxAddress)) {
                current[offsetof(IDEREGS, bFeaturesReg)] = kErrorAbrt;
                current[offsetof(IDEREGS, bCommandReg)] = kStatusAborted;
                ok = answer(a);
                break;
            }
            current[offsetof(IDEREGS, bFeaturesReg)] = 0;
            current[offsetof(IDEREGS, bCommandReg)] = kStatusReady;
            if (nativeMax) {
                std::uint64_t address =
                    params.nativeMaxAddress.value_or(ReportedSectors(*params.identify) - 1);
                // The 28-bit command cannot say more than its 28 bits.
                if (!ext) address = std::min<std::uint64_t>(address, 0x0FFFFFFF);
                for (int i = 0; i < 3; ++i) {
                    current[offsetof(IDEREGS, bSectorNumberReg) + i] =
                        static_cast<std::uint8_t>(address >> (8 * i));
                    previous[offsetof(IDEREGS, bSectorNumberReg) + i] =
                        ext ? static_cast<std::uint8_t>(address >> (24 + 8 * i)) : 0;
                }
                if (!ext) {
                    std::uint8_t& device = current[offsetof(IDEREGS, bDriveHeadReg)];
                    device = static_cast<std::uint8_t>((device & 0xF0) | ((address >> 24) & 0x0F));
                }
            } else {
                const std::vector<std::uint8_t> block = DcoBlock(*params.dcoMaxAddress);
                std::copy(block.begin(), block.end(), a.begin() + kAtaPassThroughHeader);
            }
            ok = answer(a);
            break;
        }
        default:
            return fail(ERROR_INVALID_FUNCTION);
    }
    if (!ok) return false;

    // A forced count of bytes returned (short or odd answers of some drivers).
    std::optional<std::uint32_t> forced;
    for (const ControlKey& key : {ControlKey{code, propertyId}, ControlKey{code, std::nullopt}}) {
        if (auto it = f.controlReturns.find(key); it != f.controlReturns.end()) {
            forced = it->second;
            break;
        }
    }
    if (code == SMART_RCV_DRIVE_DATA && f.smartReadReturns) forced = f.smartReadReturns;
    if (code == IOCTL_SCSI_MINIPORT && f.identifyReturns) forced = f.identifyReturns;
    if (forced) *bytesReturned = *forced;
    e.error = 0;
    return true;
}

}  // namespace orm::sim
