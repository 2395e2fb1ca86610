// The start-up probe of the physical drives and the identification of one drive through the
// storage control calls.
#pragma once

#include <cstdint>
#include <string>

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "discovery/device_text.h"
#include "platform/kernel_services.h"

namespace orm {

// What IdentifyDrive made of a drive.
enum class IdentifyResult {
    Accepted,
    Skipped,  // not a drive to record
    Fatal,    // the fatal sink was told; the caller stops at once
};

// The caption and the head of the text of the probe's fatal error box.
inline constexpr const char* kAccessErrorText = "Error accessing device: ";
inline constexpr const char* kAccessErrorCaption = "Error";

// Tries drive numbers 0 to 255 in ascending order, opened for reading, and records each drive
// that IdentifyDrive accepts in `state` (DevicePath and the identified fields), until 16 are
// recorded. Expects state.DrivesFound to be 0. Every handle is closed in the pass that opened
// it. Returns false when a fatal condition was reported to `fatal`: then nothing more is
// probed (the handle of that pass is closed first).
bool ProbeDrives(KernelServices& ks, RunState& state, FatalSink& fatal);

// Writes a whole record: the device name and the nine identified fields.
void StoreRecord(TDeviceTable& record, const std::string& path, const TDeviceTable& info);

// Identifies the drive open on `h` into the nine fields of *info (all but DevicePath, which it
// leaves empty). Gives Accepted with *info complete, Skipped when the geometry query fails (the
// drive is not recorded), or Fatal after reporting "Error accessing device: " and the system's
// text for the error of a failing length or property query. A call that fails with last error 0
// counts as done.
IdentifyResult IdentifyDrive(KernelServices& ks, Handle h, TDeviceTable* info, FatalSink& fatal);

// What differs between the drive open on `h`, identified again as the probe identifies, and the
// record the probe made of the drive under the same name. Drive names are handed out again when
// drives are plugged, so the name alone does not say that it is still the same drive.
struct DriveChanges {
    bool identified = true;  // false: the drive failed a query of the identification
    bool model = false;
    bool serialNumber = false;
    bool sectorSize = false;
    bool sectorCount = false;

    bool Any() const { return !identified || model || serialNumber || sectorSize || sectorCount; }
};

// Never ends the program: a query that fails, which would be fatal during the probe, only makes
// the drive an unidentified one.
DriveChanges CompareWithRecord(KernelServices& ks, Handle h, const TDeviceTable& record);

// The drive's number on its ATA channel (0 or 1) from bit 0 of byte 13 of the inquiry data;
// 0 when the call fails.
std::uint8_t QueryDriveNumber(KernelServices& ks, Handle h);

// Fits the serial number text into the 20-character field: a longer text keeps its first 20
// characters; the characters behind a shorter one stay zero.
void StoreSerialNumber(const std::string& serial, char (&field)[20]);

}  // namespace orm
