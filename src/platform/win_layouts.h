// The Windows control codes, constants and byte layouts the program builds and reads.
//
// The program speaks these layouts on every platform: the core builds requests and parses
// answers byte by byte, and each platform layer answers in the same bytes. The structs below
// exist to pin sizes and offsets (they match the Windows SDK with its packing); code never casts
// a byte block to them, it reads and writes fields through the little-endian helpers at the
// bottom and the offset constants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "platform/bytes_text.h"

namespace orm::win {

// ---- CreateFileA --------------------------------------------------------------------------
inline constexpr std::uint32_t GENERIC_READ = 0x80000000u;
inline constexpr std::uint32_t GENERIC_WRITE = 0x40000000u;
inline constexpr std::uint32_t FILE_SHARE_READ = 0x1u;
inline constexpr std::uint32_t FILE_SHARE_WRITE = 0x2u;
inline constexpr std::uint32_t OPEN_EXISTING = 3u;
inline constexpr std::uint32_t FILE_BEGIN = 0u;
inline constexpr int VER_PLATFORM_WIN32_NT = 2;

// ---- Error codes the program reads or the platform layers produce --------------------------
inline constexpr std::uint32_t ERROR_SUCCESS = 0;
inline constexpr std::uint32_t ERROR_INVALID_FUNCTION = 1;
inline constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
inline constexpr std::uint32_t ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr std::uint32_t ERROR_WRITE_PROTECT = 19;
inline constexpr std::uint32_t ERROR_NOT_READY = 21;
inline constexpr std::uint32_t ERROR_CRC = 23;
inline constexpr std::uint32_t ERROR_SEEK = 25;
inline constexpr std::uint32_t ERROR_WRITE_FAULT = 29;
inline constexpr std::uint32_t ERROR_GEN_FAILURE = 31;
inline constexpr std::uint32_t ERROR_SHARING_VIOLATION = 32;
inline constexpr std::uint32_t ERROR_HANDLE_EOF = 38;
inline constexpr std::uint32_t ERROR_NOT_SUPPORTED = 50;
inline constexpr std::uint32_t ERROR_DEV_NOT_EXIST = 55;
inline constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::uint32_t ERROR_DISK_FULL = 112;
inline constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr std::uint32_t ERROR_NEGATIVE_SEEK = 131;
inline constexpr std::uint32_t ERROR_BUSY = 170;
inline constexpr std::uint32_t ERROR_NO_SUCH_DEVICE = 433;
inline constexpr std::uint32_t ERROR_IO_DEVICE = 1117;
inline constexpr std::uint32_t ERROR_DEVICE_NOT_CONNECTED = 1167;

// ---- Control codes -------------------------------------------------------------------------
inline constexpr std::uint32_t IOCTL_DISK_GET_DRIVE_GEOMETRY = 0x00070000u;
inline constexpr std::uint32_t IOCTL_DISK_GET_LENGTH_INFO = 0x0007405Cu;
inline constexpr std::uint32_t IOCTL_STORAGE_QUERY_PROPERTY = 0x002D1400u;
inline constexpr std::uint32_t IOCTL_SCSI_GET_INQUIRY_DATA = 0x0004100Cu;
inline constexpr std::uint32_t SMART_SEND_DRIVE_COMMAND = 0x0007C084u;
inline constexpr std::uint32_t SMART_RCV_DRIVE_DATA = 0x0007C088u;
inline constexpr std::uint32_t IOCTL_SCSI_MINIPORT = 0x0004D008u;
inline constexpr std::uint32_t IOCTL_SCSI_MINIPORT_IDENTIFY = 0x001B0501u;
inline constexpr std::uint32_t IOCTL_ATA_PASS_THROUGH = 0x0004D02Cu;

// STORAGE_PROPERTY_QUERY.PropertyId / QueryType
inline constexpr std::uint32_t StorageDeviceProperty = 0;
inline constexpr std::uint32_t StorageAdapterProperty = 1;
inline constexpr std::uint32_t PropertyStandardQuery = 0;

// STORAGE_BUS_TYPE values the platform layers report.
inline constexpr std::uint8_t BusTypeUnknown = 0;
inline constexpr std::uint8_t BusTypeScsi = 1;
inline constexpr std::uint8_t BusTypeAtapi = 2;
inline constexpr std::uint8_t BusTypeAta = 3;
inline constexpr std::uint8_t BusType1394 = 4;
inline constexpr std::uint8_t BusTypeSsa = 5;
inline constexpr std::uint8_t BusTypeFibre = 6;
inline constexpr std::uint8_t BusTypeUsb = 7;
inline constexpr std::uint8_t BusTypeRAID = 8;
inline constexpr std::uint8_t BusTypeiScsi = 9;
inline constexpr std::uint8_t BusTypeSas = 10;
inline constexpr std::uint8_t BusTypeSata = 11;
inline constexpr std::uint8_t BusTypeSd = 12;
inline constexpr std::uint8_t BusTypeMmc = 13;
inline constexpr std::uint8_t BusTypeVirtual = 14;
inline constexpr std::uint8_t BusTypeFileBackedVirtual = 15;
inline constexpr std::uint8_t BusTypeNvme = 17;

// ATA register values of the four commands the program sends.
inline constexpr std::uint8_t ATA_IDENTIFY_DEVICE = 0xEC;
inline constexpr std::uint8_t ATA_SMART = 0xB0;
inline constexpr std::uint8_t SMART_READ_DATA = 0xD0;
inline constexpr std::uint8_t SMART_ENABLE_OPERATIONS = 0xD8;
inline constexpr std::uint8_t SMART_DISABLE_OPERATIONS = 0xD9;
inline constexpr std::uint8_t SMART_CYL_LOW = 0x4F;
inline constexpr std::uint8_t SMART_CYL_HI = 0xC2;

// The read-only commands that find sectors hidden behind the drive's reported end, sent through
// IOCTL_ATA_PASS_THROUGH. None of them changes the drive.
inline constexpr std::uint8_t ATA_READ_NATIVE_MAX_ADDRESS = 0xF8;
inline constexpr std::uint8_t ATA_READ_NATIVE_MAX_ADDRESS_EXT = 0x27;
inline constexpr std::uint8_t ATA_DEVICE_CONFIGURATION = 0xB1;
inline constexpr std::uint8_t DCO_IDENTIFY = 0xC2;  // the features register of DEVICE CONFIGURATION

// ATA_PASS_THROUGH_EX.AtaFlags
inline constexpr std::uint16_t ATA_FLAGS_DRDY_REQUIRED = 0x01;
inline constexpr std::uint16_t ATA_FLAGS_DATA_IN = 0x02;
inline constexpr std::uint16_t ATA_FLAGS_48BIT_COMMAND = 0x08;

// ---- Layouts (Windows packing) -------------------------------------------------------------
#pragma pack(push, 1)
struct STORAGE_PROPERTY_QUERY {
    std::uint32_t PropertyId;
    std::uint32_t QueryType;
    std::uint8_t AdditionalParameters[1];
    std::uint8_t pad_[3];
};
#pragma pack(pop)

struct STORAGE_ADAPTER_DESCRIPTOR {
    std::uint32_t Version;
    std::uint32_t Size;
    std::uint32_t MaximumTransferLength;
    std::uint32_t MaximumPhysicalPages;
    std::uint32_t AlignmentMask;
    std::uint8_t AdapterUsesPio;
    std::uint8_t AdapterScansDown;
    std::uint8_t CommandQueueing;
    std::uint8_t AcceleratedTransfer;
    std::uint8_t BusType;
    std::uint8_t pad_;
    std::uint16_t BusMajorVersion;
    std::uint16_t BusMinorVersion;
    std::uint8_t SrbType;
    std::uint8_t AddressType;
};

struct STORAGE_DEVICE_DESCRIPTOR {
    std::uint32_t Version;
    std::uint32_t Size;
    std::uint8_t DeviceType;
    std::uint8_t DeviceTypeModifier;
    std::uint8_t RemovableMedia;
    std::uint8_t CommandQueueing;
    std::uint32_t VendorIdOffset;
    std::uint32_t ProductIdOffset;
    std::uint32_t ProductRevisionOffset;
    std::uint32_t SerialNumberOffset;
    std::uint32_t BusType;  // a 4-byte enum here, unlike the adapter descriptor
    std::uint32_t RawPropertiesLength;
    std::uint8_t RawDeviceProperties[1];
    std::uint8_t pad_[3];
};

struct DISK_GEOMETRY {
    std::int64_t Cylinders;
    std::uint32_t MediaType;
    std::uint32_t TracksPerCylinder;
    std::uint32_t SectorsPerTrack;
    std::uint32_t BytesPerSector;
};

struct GET_LENGTH_INFORMATION {
    std::int64_t Length;
};

struct IDEREGS {
    std::uint8_t bFeaturesReg;
    std::uint8_t bSectorCountReg;
    std::uint8_t bSectorNumberReg;
    std::uint8_t bCylLowReg;
    std::uint8_t bCylHighReg;
    std::uint8_t bDriveHeadReg;
    std::uint8_t bCommandReg;
    std::uint8_t bReserved;
};

#pragma pack(push, 1)
struct SENDCMDINPARAMS {
    std::uint32_t cBufferSize;
    IDEREGS irDriveRegs;
    std::uint8_t bDriveNumber;
    std::uint8_t bReserved[3];
    std::uint32_t dwReserved[4];
    std::uint8_t bBuffer[1];
};

struct DRIVERSTATUS {
    std::uint8_t bDriverError;
    std::uint8_t bIDEError;
    std::uint8_t bReserved[2];
    std::uint32_t dwReserved[2];
};

struct SENDCMDOUTPARAMS {
    std::uint32_t cBufferSize;
    DRIVERSTATUS DriverStatus;
    std::uint8_t bBuffer[1];
};
#pragma pack(pop)

// The 64-bit Windows layout (the program is built for x64 only): DataBufferOffset is pointer
// sized and aligned, so the structure has 4 bytes of padding before it. The task files are
// IDEREGS-ordered (features/error, count, LBA low, mid, high, device, command/status, reserved);
// PreviousTaskFile holds the high-order bytes of a 48-bit command, both ways.
struct ATA_PASS_THROUGH_EX {
    std::uint16_t Length;
    std::uint16_t AtaFlags;
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
    std::uint8_t ReservedAsUchar;
    std::uint32_t DataTransferLength;
    std::uint32_t TimeOutValue;
    std::uint32_t ReservedAsUlong;
    std::uint64_t DataBufferOffset;
    std::uint8_t PreviousTaskFile[8];
    std::uint8_t CurrentTaskFile[8];
};

struct SRB_IO_CONTROL {
    std::uint32_t HeaderLength;
    std::uint8_t Signature[8];
    std::uint32_t Timeout;
    std::uint32_t ControlCode;
    std::uint32_t ReturnCode;
    std::uint32_t Length;
};

static_assert(sizeof(STORAGE_PROPERTY_QUERY) == 12);
static_assert(offsetof(STORAGE_PROPERTY_QUERY, QueryType) == 4);

static_assert(sizeof(STORAGE_ADAPTER_DESCRIPTOR) == 32);
static_assert(offsetof(STORAGE_ADAPTER_DESCRIPTOR, MaximumTransferLength) == 8);
static_assert(offsetof(STORAGE_ADAPTER_DESCRIPTOR, AlignmentMask) == 16);
static_assert(offsetof(STORAGE_ADAPTER_DESCRIPTOR, BusType) == 24);
static_assert(offsetof(STORAGE_ADAPTER_DESCRIPTOR, BusMajorVersion) == 26);

static_assert(sizeof(STORAGE_DEVICE_DESCRIPTOR) == 40);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, RemovableMedia) == 10);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset) == 12);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset) == 16);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductRevisionOffset) == 20);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset) == 24);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) == 28);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties) == 36);

static_assert(sizeof(DISK_GEOMETRY) == 24);
static_assert(offsetof(DISK_GEOMETRY, BytesPerSector) == 20);
static_assert(sizeof(GET_LENGTH_INFORMATION) == 8);

static_assert(sizeof(IDEREGS) == 8);
static_assert(offsetof(IDEREGS, bDriveHeadReg) == 5);
static_assert(offsetof(IDEREGS, bCommandReg) == 6);
static_assert(sizeof(SENDCMDINPARAMS) == 33);
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) == 4);
static_assert(offsetof(SENDCMDINPARAMS, bDriveNumber) == 12);
static_assert(offsetof(SENDCMDINPARAMS, bBuffer) == 32);
static_assert(sizeof(DRIVERSTATUS) == 12);
static_assert(sizeof(SENDCMDOUTPARAMS) == 17);
static_assert(offsetof(SENDCMDOUTPARAMS, DriverStatus) == 4);
static_assert(offsetof(SENDCMDOUTPARAMS, bBuffer) == 16);
static_assert(sizeof(ATA_PASS_THROUGH_EX) == 48);
static_assert(offsetof(ATA_PASS_THROUGH_EX, AtaFlags) == 2);
static_assert(offsetof(ATA_PASS_THROUGH_EX, DataTransferLength) == 8);
static_assert(offsetof(ATA_PASS_THROUGH_EX, TimeOutValue) == 12);
static_assert(offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset) == 24);
static_assert(offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile) == 32);
static_assert(offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile) == 40);
static_assert(sizeof(SRB_IO_CONTROL) == 28);
static_assert(offsetof(SRB_IO_CONTROL, Signature) == 4);
static_assert(offsetof(SRB_IO_CONTROL, Timeout) == 12);
static_assert(offsetof(SRB_IO_CONTROL, ControlCode) == 16);
static_assert(offsetof(SRB_IO_CONTROL, ReturnCode) == 20);
static_assert(offsetof(SRB_IO_CONTROL, Length) == 24);

// Sizes the program passes to the calls.
inline constexpr std::uint32_t kSendCmdInLength = 32;        // SENDCMDINPARAMS without its data byte
inline constexpr std::uint32_t kSendCmdOutHeader = 16;       // SENDCMDOUTPARAMS without its data
inline constexpr std::uint32_t kAtaBlock = 512;              // one IDENTIFY or SMART data block
inline constexpr std::uint32_t kSmartReadOutLength = 528;    // header + 512 data bytes
inline constexpr std::uint32_t kMiniportBufferLength = 572;  // SRB_IO_CONTROL + 544
inline constexpr std::uint32_t kMiniportLength = 544;        // SENDCMDINPARAMS (32) + 512
inline constexpr std::uint32_t kMiniportDataOffset = 44;     // 28 + 16
inline constexpr std::uint32_t kMiniportMinReturned = 556;   // 44 + 512
inline constexpr std::uint32_t kMiniportTimeout = 120;       // seconds
inline constexpr std::uint32_t kQueryBufferLength = 512;
inline constexpr std::uint32_t kAtaPassThroughHeader = 48;   // ATA_PASS_THROUGH_EX; its data follow it
inline constexpr std::uint32_t kAtaPassThroughTimeout = 10;  // seconds

// ---- Little-endian helpers (see bytes_text.h) -----------------------------------------------
using orm::GetLe16;
using orm::GetLe32;
using orm::GetLe64;
using orm::PutLe16;
using orm::PutLe32;
using orm::PutLe64;

}  // namespace orm::win
