// The four ATA commands the program ever sends to the chosen drive: SMART ENABLE OPERATIONS,
// SMART DISABLE OPERATIONS, SMART READ DATA and IDENTIFY DEVICE. Each builds its request in the
// Windows layouts, makes one synchronous device control call and answers with a success flag.
// SMART READ THRESHOLDS is never built: the program does not read the drive's threshold table.
//
// Every command runs on the window thread and keeps no state. A command that reads data writes
// the caller's 512-byte block only on success. A command is a success only when the call
// succeeds and the answer carries no refusal in the DRIVERSTATUS of its SENDCMDOUTPARAMS header:
// a non-zero bDriverError or bIDEError for the SMART calls, a non-zero bDriverError or miniport
// ReturnCode for IDENTIFY.
#pragma once

#include <array>
#include <cstdint>

#include "platform/kernel_services.h"

namespace orm {

// One IDENTIFY DEVICE or SMART READ DATA block.
using AtaBlock = std::array<std::uint8_t, 512>;

// The seven registers of an IDEREGS block the program sets; the eighth (reserved) is always 0.
struct AtaRegisters {
    std::uint8_t features = 0;
    std::uint8_t sectorCount = 0;
    std::uint8_t sectorNumber = 0;
    std::uint8_t cylinderLow = 0;
    std::uint8_t cylinderHigh = 0;
    std::uint8_t driveHead = 0;
    std::uint8_t command = 0;
};

// The drive/head register of a drive on its ATA channel: 0xA0 for drive 0, 0xB0 for drive 1.
std::uint8_t DriveHeadFor(std::uint8_t driveNumber);

// The two carriers. bDriveNumber is the `driveNumber` argument, the drive/head register comes
// from `regs`; every caller builds `regs` for the same drive number it passes, so the two
// always name the same drive.

// SMART_SEND_DRIVE_COMMAND for a command that returns no data (input 32 bytes, output 16).
// True when the call succeeds with a clean DRIVERSTATUS.
bool SendSmartCommand(KernelServices& ks, Handle handle, const AtaRegisters& regs, std::uint8_t driveNumber);

// SMART_RCV_DRIVE_DATA for a command that returns 512 bytes (input 32 bytes, output 528).
// True when the call succeeds and returns at least 512 bytes, with a clean DRIVERSTATUS where
// the answer has a header; `data` then receives the 512 bytes that end where the returned bytes
// end (behind the 16-byte header for a full answer, from offset 0 for a driver that answers
// with the bare 512 bytes).
bool ReceiveSmartData(KernelServices& ks, Handle handle, const AtaRegisters& regs, std::uint8_t driveNumber,
                      AtaBlock& data);

bool SmartEnable(KernelServices& ks, Handle handle, std::uint8_t driveNumber);
bool SmartDisable(KernelServices& ks, Handle handle, std::uint8_t driveNumber);
bool SmartReadData(KernelServices& ks, Handle handle, std::uint8_t driveNumber, AtaBlock& data);

// IDENTIFY DEVICE through IOCTL_SCSI_MINIPORT / IOCTL_SCSI_MINIPORT_IDENTIFY with one 572-byte
// buffer for both directions. True when the call succeeds, returns at least 556 bytes and its
// ReturnCode and bDriverError are 0; the data are then buffer bytes 44 to 555.
bool AtaIdentify(KernelServices& ks, Handle handle, std::uint8_t driveNumber, AtaBlock& data);

}  // namespace orm
