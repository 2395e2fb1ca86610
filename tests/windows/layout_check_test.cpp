// The portable layouts against the Windows SDK's own structures and control codes, checked by the
// compiler (the first test only records that this file was built); and the resources laid into
// the executables.
#include "platform/win_layouts.h"

// The layouts header declares constants under the SDK's macro names: take their values before
// any SDK header turns those names into numbers.
namespace portable {
namespace w = orm::win;
constexpr std::uint32_t kGeometry = w::IOCTL_DISK_GET_DRIVE_GEOMETRY;
constexpr std::uint32_t kLengthInfo = w::IOCTL_DISK_GET_LENGTH_INFO;
constexpr std::uint32_t kQueryProperty = w::IOCTL_STORAGE_QUERY_PROPERTY;
constexpr std::uint32_t kInquiryData = w::IOCTL_SCSI_GET_INQUIRY_DATA;
constexpr std::uint32_t kSmartSend = w::SMART_SEND_DRIVE_COMMAND;
constexpr std::uint32_t kSmartReceive = w::SMART_RCV_DRIVE_DATA;
constexpr std::uint32_t kMiniport = w::IOCTL_SCSI_MINIPORT;
constexpr std::uint32_t kMiniportIdentify = w::IOCTL_SCSI_MINIPORT_IDENTIFY;
constexpr std::uint32_t kAtaPassThrough = w::IOCTL_ATA_PASS_THROUGH;
constexpr std::uint16_t kAtaDrdy = w::ATA_FLAGS_DRDY_REQUIRED;
constexpr std::uint16_t kAtaDataIn = w::ATA_FLAGS_DATA_IN;
constexpr std::uint16_t kAta48 = w::ATA_FLAGS_48BIT_COMMAND;
constexpr std::uint32_t kGenericRead = w::GENERIC_READ;
constexpr std::uint32_t kGenericWrite = w::GENERIC_WRITE;
constexpr std::uint32_t kShareRead = w::FILE_SHARE_READ;
constexpr std::uint32_t kShareWrite = w::FILE_SHARE_WRITE;
constexpr std::uint32_t kOpenExisting = w::OPEN_EXISTING;
constexpr std::uint32_t kFileBegin = w::FILE_BEGIN;
constexpr int kPlatformNt = w::VER_PLATFORM_WIN32_NT;
constexpr std::uint32_t kErrorNotSupported = w::ERROR_NOT_SUPPORTED;
constexpr std::uint32_t kErrorFileNotFound = w::ERROR_FILE_NOT_FOUND;
constexpr std::uint32_t kErrorAccessDenied = w::ERROR_ACCESS_DENIED;
constexpr std::uint32_t kErrorDeviceNotConnected = w::ERROR_DEVICE_NOT_CONNECTED;
constexpr std::uint32_t kErrorDevNotExist = w::ERROR_DEV_NOT_EXIST;
constexpr std::uint32_t kErrorNegativeSeek = w::ERROR_NEGATIVE_SEEK;
}  // namespace portable

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "common/product.h"
#include "platform/windows/windows_sdk.h"
#include "win32ui/resource_ids.h"

namespace {

namespace w = orm::win;

#define SAME_LAYOUT(type) static_assert(sizeof(w::type) == sizeof(::type), #type " size")
#define SAME_OFFSET(type, field) \
    static_assert(offsetof(w::type, field) == offsetof(::type, field), #type "." #field " offset")

SAME_LAYOUT(STORAGE_PROPERTY_QUERY);
SAME_OFFSET(STORAGE_PROPERTY_QUERY, PropertyId);
SAME_OFFSET(STORAGE_PROPERTY_QUERY, QueryType);
SAME_OFFSET(STORAGE_PROPERTY_QUERY, AdditionalParameters);

SAME_LAYOUT(STORAGE_ADAPTER_DESCRIPTOR);
SAME_OFFSET(STORAGE_ADAPTER_DESCRIPTOR, Version);
SAME_OFFSET(STORAGE_ADAPTER_DESCRIPTOR, Size);
SAME_OFFSET(STORAGE_ADAPTER_DESCRIPTOR, MaximumTransferLength);
SAME_OFFSET(STORAGE_ADAPTER_DESCRIPTOR, MaximumPhysicalPages);
SAME_OFFSET(STORAGE_ADAPTER_DESCRIPTOR, AlignmentMask);
SAME_OFFSET(STORAGE_ADAPTER_DESCRIPTOR, AdapterUsesPio);
SAME_OFFSET(STORAGE_ADAPTER_DESCRIPTOR, AdapterScansDown);
SAME_OFFSET(STORAGE_ADAPTER_DESCRIPTOR, CommandQueueing);
SAME_OFFSET(STORAGE_ADAPTER_DESCRIPTOR, AcceleratedTransfer);
SAME_OFFSET(STORAGE_ADAPTER_DESCRIPTOR, BusType);
SAME_OFFSET(STORAGE_ADAPTER_DESCRIPTOR, BusMajorVersion);
SAME_OFFSET(STORAGE_ADAPTER_DESCRIPTOR, BusMinorVersion);
static_assert(sizeof(::STORAGE_ADAPTER_DESCRIPTOR::BusType) == 1, "the adapter's bus type is one byte");

SAME_LAYOUT(STORAGE_DEVICE_DESCRIPTOR);
SAME_OFFSET(STORAGE_DEVICE_DESCRIPTOR, Version);
SAME_OFFSET(STORAGE_DEVICE_DESCRIPTOR, Size);
SAME_OFFSET(STORAGE_DEVICE_DESCRIPTOR, DeviceType);
SAME_OFFSET(STORAGE_DEVICE_DESCRIPTOR, DeviceTypeModifier);
SAME_OFFSET(STORAGE_DEVICE_DESCRIPTOR, RemovableMedia);
SAME_OFFSET(STORAGE_DEVICE_DESCRIPTOR, CommandQueueing);
SAME_OFFSET(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset);
SAME_OFFSET(STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset);
SAME_OFFSET(STORAGE_DEVICE_DESCRIPTOR, ProductRevisionOffset);
SAME_OFFSET(STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset);
SAME_OFFSET(STORAGE_DEVICE_DESCRIPTOR, BusType);
SAME_OFFSET(STORAGE_DEVICE_DESCRIPTOR, RawPropertiesLength);
SAME_OFFSET(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties);
static_assert(sizeof(::STORAGE_DEVICE_DESCRIPTOR::BusType) == 4, "the device's bus type is a 4-byte enum");

SAME_LAYOUT(DISK_GEOMETRY);
SAME_OFFSET(DISK_GEOMETRY, Cylinders);
SAME_OFFSET(DISK_GEOMETRY, MediaType);
SAME_OFFSET(DISK_GEOMETRY, TracksPerCylinder);
SAME_OFFSET(DISK_GEOMETRY, SectorsPerTrack);
SAME_OFFSET(DISK_GEOMETRY, BytesPerSector);

SAME_LAYOUT(GET_LENGTH_INFORMATION);
SAME_OFFSET(GET_LENGTH_INFORMATION, Length);

SAME_LAYOUT(IDEREGS);
SAME_OFFSET(IDEREGS, bFeaturesReg);
SAME_OFFSET(IDEREGS, bSectorCountReg);
SAME_OFFSET(IDEREGS, bSectorNumberReg);
SAME_OFFSET(IDEREGS, bCylLowReg);
SAME_OFFSET(IDEREGS, bCylHighReg);
SAME_OFFSET(IDEREGS, bDriveHeadReg);
SAME_OFFSET(IDEREGS, bCommandReg);
SAME_OFFSET(IDEREGS, bReserved);

SAME_LAYOUT(SENDCMDINPARAMS);
SAME_OFFSET(SENDCMDINPARAMS, cBufferSize);
SAME_OFFSET(SENDCMDINPARAMS, irDriveRegs);
SAME_OFFSET(SENDCMDINPARAMS, bDriveNumber);
SAME_OFFSET(SENDCMDINPARAMS, bReserved);
SAME_OFFSET(SENDCMDINPARAMS, dwReserved);
SAME_OFFSET(SENDCMDINPARAMS, bBuffer);

SAME_LAYOUT(DRIVERSTATUS);
SAME_OFFSET(DRIVERSTATUS, bDriverError);
SAME_OFFSET(DRIVERSTATUS, bIDEError);

SAME_LAYOUT(SENDCMDOUTPARAMS);
SAME_OFFSET(SENDCMDOUTPARAMS, cBufferSize);
SAME_OFFSET(SENDCMDOUTPARAMS, DriverStatus);
SAME_OFFSET(SENDCMDOUTPARAMS, bBuffer);

SAME_LAYOUT(SRB_IO_CONTROL);
SAME_OFFSET(SRB_IO_CONTROL, HeaderLength);
SAME_OFFSET(SRB_IO_CONTROL, Signature);
SAME_OFFSET(SRB_IO_CONTROL, Timeout);
SAME_OFFSET(SRB_IO_CONTROL, ControlCode);
SAME_OFFSET(SRB_IO_CONTROL, ReturnCode);
SAME_OFFSET(SRB_IO_CONTROL, Length);

// Sizes the program passes to the calls.
static_assert(w::kSendCmdInLength == sizeof(::SENDCMDINPARAMS) - 1);
SAME_LAYOUT(ATA_PASS_THROUGH_EX);
SAME_OFFSET(ATA_PASS_THROUGH_EX, AtaFlags);
SAME_OFFSET(ATA_PASS_THROUGH_EX, DataTransferLength);
SAME_OFFSET(ATA_PASS_THROUGH_EX, TimeOutValue);
SAME_OFFSET(ATA_PASS_THROUGH_EX, DataBufferOffset);
SAME_OFFSET(ATA_PASS_THROUGH_EX, PreviousTaskFile);
SAME_OFFSET(ATA_PASS_THROUGH_EX, CurrentTaskFile);
static_assert(w::kAtaPassThroughHeader == sizeof(::ATA_PASS_THROUGH_EX));
static_assert(w::kSendCmdOutHeader == offsetof(::SENDCMDOUTPARAMS, bBuffer));
static_assert(w::kMiniportDataOffset == sizeof(::SRB_IO_CONTROL) + offsetof(::SENDCMDOUTPARAMS, bBuffer));
static_assert(w::kMiniportLength == sizeof(::SENDCMDINPARAMS) - 1 + 512);
static_assert(w::kMiniportBufferLength == sizeof(::SRB_IO_CONTROL) + w::kMiniportLength);

// Control codes, flags and error codes.
static_assert(portable::kGeometry == IOCTL_DISK_GET_DRIVE_GEOMETRY);
static_assert(portable::kLengthInfo == IOCTL_DISK_GET_LENGTH_INFO);
static_assert(portable::kQueryProperty == IOCTL_STORAGE_QUERY_PROPERTY);
static_assert(portable::kInquiryData == IOCTL_SCSI_GET_INQUIRY_DATA);
static_assert(portable::kSmartSend == SMART_SEND_DRIVE_COMMAND);
static_assert(portable::kSmartReceive == SMART_RCV_DRIVE_DATA);
static_assert(portable::kMiniport == IOCTL_SCSI_MINIPORT);
// The miniport function codes live in the driver kit's scsi.h: FILE_DEVICE_SCSI (0x1B) in the high word.
static_assert(portable::kMiniportIdentify == ((0x1Bu << 16) + 0x0501u));
static_assert(portable::kAtaPassThrough == IOCTL_ATA_PASS_THROUGH);
static_assert(portable::kAtaDrdy == ATA_FLAGS_DRDY_REQUIRED);
static_assert(portable::kAtaDataIn == ATA_FLAGS_DATA_IN);
static_assert(portable::kAta48 == ATA_FLAGS_48BIT_COMMAND);
static_assert(portable::kGenericRead == GENERIC_READ);
static_assert(portable::kGenericWrite == GENERIC_WRITE);
static_assert(portable::kShareRead == FILE_SHARE_READ);
static_assert(portable::kShareWrite == FILE_SHARE_WRITE);
static_assert(portable::kOpenExisting == OPEN_EXISTING);
static_assert(portable::kFileBegin == FILE_BEGIN);
static_assert(portable::kPlatformNt == VER_PLATFORM_WIN32_NT);
static_assert(portable::kErrorNotSupported == ERROR_NOT_SUPPORTED);
static_assert(portable::kErrorFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(portable::kErrorAccessDenied == ERROR_ACCESS_DENIED);
static_assert(portable::kErrorDeviceNotConnected == ERROR_DEVICE_NOT_CONNECTED);
// ERROR_NO_SUCH_DEVICE (433 in the Windows SDK's winerror.h) is missing from MinGW-w64's headers.
static_assert(portable::kErrorDevNotExist == ERROR_DEV_NOT_EXIST);
static_assert(portable::kErrorNegativeSeek == ERROR_NEGATIVE_SEEK);
static_assert(w::StorageDeviceProperty == StorageDeviceProperty);
static_assert(w::StorageAdapterProperty == StorageAdapterProperty);
static_assert(w::PropertyStandardQuery == PropertyStandardQuery);
static_assert(w::BusTypeAta == BusTypeAta);
static_assert(w::BusTypeSata == BusTypeSata);
static_assert(w::BusTypeUsb == BusTypeUsb);
static_assert(w::BusTypeNvme == BusTypeNvme);

#undef SAME_LAYOUT
#undef SAME_OFFSET

TEST(LayoutsAgainstSdk, CheckedWhenThisFileCompiled) {
    SUCCEED();
}

// The running executable's version resource and logo, as Explorer and the windows read them
// (test_resources.rc includes the resource script of ormandel.exe).
TEST(ProgramResources, VersionAndLogo) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::vector<char> data(GetFileVersionInfoSizeA(path, nullptr));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(data.size()), data.data()));
    const auto value = [&](const std::string& name) {
        void* at = nullptr;
        UINT length = 0;
        return VerQueryValueA(data.data(), name.c_str(), &at, &length) ? at : nullptr;
    };
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value("\\"));
    ASSERT_NE(fixed, nullptr);
    EXPECT_TRUE(fixed->dwFileVersionMS == MAKELONG(20, 2) && fixed->dwFileVersionLS == MAKELONG(0, 1098));
    const auto text = [&](const char* name) {
        const void* at = value(std::string("\\StringFileInfo\\040904B0\\") + name);
        return at != nullptr ? std::string(static_cast<const char*>(at)) : std::string();
    };
    EXPECT_EQ(text("ProductName"), orm::kProductTitle);
    EXPECT_EQ(text("FileVersion"), "2.20.1098");
    EXPECT_EQ(text("LegalCopyright"), orm::kCopyrightLine);
    for (int size : {16, 32}) {
        auto* icon = static_cast<HICON>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ORMANDEL), IMAGE_ICON, size, size, 0));
        ICONINFO info{};
        BITMAP picture{};
        ASSERT_TRUE(icon != nullptr && GetIconInfo(icon, &info)) << size;
        GetObjectA(info.hbmColor, sizeof(picture), &picture);
        EXPECT_EQ(picture.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

}  // namespace
