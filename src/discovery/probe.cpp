#include "discovery/probe.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/error_text.h"
#include "platform/win_layouts.h"

namespace orm {

namespace {

using namespace orm::win;

using QueryBuffer = std::array<std::uint8_t, kQueryBufferLength>;

constexpr std::int64_t kMaxTransferSectorsCap = 250;
constexpr std::int64_t kMinSectorSize = 512;

// One control call of the identification. The call counts as done when it succeeds or when it
// fails but leaves last error 0; *error gets the code of a real failure.
bool ControlDone(KernelServices& ks, Handle h, std::uint32_t code, const void* in, std::uint32_t inSize,
                 QueryBuffer& out, std::uint32_t* returned, std::uint32_t* error) {
    *returned = 0;
    if (ks.Control(h, code, in, inSize, out.data(), kQueryBufferLength, returned)) return true;
    *error = ks.LastError();
    return *error == 0;
}

std::array<std::uint8_t, sizeof(STORAGE_PROPERTY_QUERY)> PropertyQuery(std::uint32_t propertyId) {
    std::array<std::uint8_t, sizeof(STORAGE_PROPERTY_QUERY)> q{};
    PutLe32(&q[offsetof(STORAGE_PROPERTY_QUERY, PropertyId)], propertyId);
    PutLe32(&q[offsetof(STORAGE_PROPERTY_QUERY, QueryType)], PropertyStandardQuery);
    return q;
}

IdentifyResult ReportFatal(KernelServices& ks, FatalSink& fatal, std::uint32_t error) {
    fatal.Fatal(kAccessErrorText + SystemErrorText(ks, error), kAccessErrorCaption);
    return IdentifyResult::Fatal;
}

// Takes the fatal report of an identification that must not end the program.
class QuietFatal : public FatalSink {
  public:
    void Fatal(const std::string&, const std::string&) override {}
};

template <std::size_t N>
void StoreText(const std::string& text, char (&field)[N], std::size_t width) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min({text.size(), width, N}));
}

}  // namespace

void StoreSerialNumber(const std::string& serial, char (&field)[20]) {
    StoreText(serial, field, 20);
}

IdentifyResult IdentifyDrive(KernelServices& ks, Handle h, TDeviceTable* info, FatalSink& fatal) {
    TDeviceTable result{};
    QueryBuffer buffer{};
    std::uint32_t returned = 0;
    std::uint32_t error = 0;

    if (!ControlDone(ks, h, IOCTL_DISK_GET_DRIVE_GEOMETRY, buffer.data(), kQueryBufferLength, buffer,
                     &returned, &error)) {
        return IdentifyResult::Skipped;
    }
    const std::int64_t reported = GetLe32(&buffer[offsetof(DISK_GEOMETRY, BytesPerSector)]);

    buffer.fill(0);
    if (!ControlDone(ks, h, IOCTL_DISK_GET_LENGTH_INFO, buffer.data(), kQueryBufferLength, buffer, &returned,
                     &error)) {
        return ReportFatal(ks, fatal, error);
    }
    const auto length = static_cast<std::int64_t>(GetLe64(&buffer[offsetof(GET_LENGTH_INFORMATION, Length)]));

    buffer.fill(0);
    auto query = PropertyQuery(StorageAdapterProperty);
    if (!ControlDone(ks, h, IOCTL_STORAGE_QUERY_PROPERTY, query.data(), sizeof(query), buffer, &returned,
                     &error)) {
        return ReportFatal(ks, fatal, error);
    }
    const std::uint32_t maxTransfer =
        GetLe32(&buffer[offsetof(STORAGE_ADAPTER_DESCRIPTOR, MaximumTransferLength)]);
    const std::uint8_t busType = buffer[offsetof(STORAGE_ADAPTER_DESCRIPTOR, BusType)];

    buffer.fill(0);
    query = PropertyQuery(StorageDeviceProperty);
    if (!ControlDone(ks, h, IOCTL_STORAGE_QUERY_PROPERTY, query.data(), sizeof(query), buffer, &returned,
                     &error)) {
        return ReportFatal(ks, fatal, error);
    }
    const std::uint8_t removable = buffer[offsetof(STORAGE_DEVICE_DESCRIPTOR, RemovableMedia)];
    auto text = [&](std::size_t offsetField) {
        return TrimText(DescriptorText(buffer, GetLe32(&buffer[offsetField]), returned));
    };
    const std::string vendor = text(offsetof(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset));
    const std::string product = text(offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset));
    const std::string revision = text(offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductRevisionOffset));
    const std::string serial = text(offsetof(STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset));

    // A negative length is no drive size; it must not become a negative wipe length.
    result.SectorCount = (reported >= kMinSectorSize && length > 0) ? length / reported : 0;
    result.BusType = busType;
    if (result.BusType == BusTypeAta) result.DriveNumber = QueryDriveNumber(ks, h);
    result.RemovableMedia = removable;
    const std::int64_t sector = std::max(reported, kMinSectorSize);
    result.BytesPerSector = sector;
    result.MaxTransferSectors = std::min<std::int64_t>(maxTransfer / sector, kMaxTransferSectorsCap);

    StoreText(ModelText(vendor, product), result.Model, 24);
    StoreText(FirmwareText(revision), result.Firmware, 8);
    StoreSerialNumber(DecodeSerial(serial), result.SerialNumber);

    *info = result;
    return IdentifyResult::Accepted;
}

DriveChanges CompareWithRecord(KernelServices& ks, Handle h, const TDeviceTable& record) {
    DriveChanges changes;
    QuietFatal quiet;
    TDeviceTable info;
    if (IdentifyDrive(ks, h, &info, quiet) != IdentifyResult::Accepted) {
        changes.identified = false;
        return changes;
    }
    changes.model = std::memcmp(info.Model, record.Model, sizeof record.Model) != 0;
    changes.serialNumber =
        std::memcmp(info.SerialNumber, record.SerialNumber, sizeof record.SerialNumber) != 0;
    changes.sectorSize = info.BytesPerSector != record.BytesPerSector;
    changes.sectorCount = info.SectorCount != record.SectorCount;
    return changes;
}

std::uint8_t QueryDriveNumber(KernelServices& ks, Handle h) {
    QueryBuffer buffer{};
    std::uint32_t returned = 0;
    if (!ks.Control(h, IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, buffer.data(), kQueryBufferLength,
                    &returned)) {
        return 0;
    }
    return static_cast<std::uint8_t>(buffer[13] & 1);
}

void StoreRecord(TDeviceTable& record, const std::string& path, const TDeviceTable& info) {
    record = info;
    record.DevicePath = path;
}

bool ProbeDrives(KernelServices& ks, RunState& state, FatalSink& fatal) {
    unsigned n = 0;
    while (state.DrivesFound < kMaxDrives) {
        const std::string path = ks.DrivePath(n);
        const Handle h = ks.Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
        if (h != kInvalidHandle) {
            TDeviceTable info;
            const IdentifyResult result = IdentifyDrive(ks, h, &info, fatal);
            if (result == IdentifyResult::Accepted) {
                ++state.DrivesFound;
                StoreRecord(state.Record(state.DrivesFound), path, info);
            }
            ks.Close(h);
            if (result == IdentifyResult::Fatal) return false;
        }
        // Drive numbers are one byte: 255 is the last name tried.
        if (++n > 255) break;
    }
    return true;
}

}  // namespace orm
