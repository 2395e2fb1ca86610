// IDENTIFY DEVICE for drives whose driver does not answer the SCSI miniport call.
//
// Storage drivers since Vista (storahci, stornvme, most vendor AHCI drivers) reject
// IOCTL_SCSI_MINIPORT with IOCTL_SCSI_MINIPORT_IDENTIFY, which only the old IDE and SCSI-port
// miniports implemented. The program builds that request on every platform, so the Windows layer
// gets the same 512 bytes another way and answers in the miniport layout: first
// IOCTL_ATA_PASS_THROUGH, then SMART_RCV_DRIVE_DATA with the IDENTIFY command (0xEC), which the disk
// class driver translates itself.
//
// Both fall-backs send the request's task file to the drive as it stands, so they take only the
// IDENTIFY DEVICE command (0xEC): a request with any other command is refused without a call.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "platform/windows/win32_calls.h"

namespace orm::windows {

using IdentifyBlock = std::array<std::uint8_t, 512>;

// How one way of fetching the IDENTIFY data ended.
enum class IdentifyAnswer {
    Data,          // the 512 bytes are in `data`
    DriveRefused,  // the drive or its driver reported the command as failed: no data
    NoAnswer,      // the call failed or answered short: another way may work
};

// True for the miniport request the program builds for IDENTIFY: IOCTL_SCSI_MINIPORT with an
// SRB_IO_CONTROL whose ControlCode is IOCTL_SCSI_MINIPORT_IDENTIFY and a command input behind it.
bool IsMiniportIdentify(std::uint32_t controlCode, const void* in, std::uint32_t inSize);

// True when the miniport request's command register holds IDENTIFY DEVICE (0xEC).
bool CarriesIdentifyDevice(std::span<const std::uint8_t> request);

// IOCTL_ATA_PASS_THROUGH with the task file of the miniport request (features, count, sector number,
// cylinder low/high, drive/head, command 0xEC), 512 bytes in. DriveRefused when the returned status
// register has ERR set.
IdentifyAnswer IdentifyThroughAtaPassThrough(Win32Calls& calls, HANDLE handle,
                                             std::span<const std::uint8_t> request, IdentifyBlock& data);

// SMART_RCV_DRIVE_DATA with the register block and drive number of the miniport request; the data
// are the 512 bytes that end where the returned bytes end (some drivers answer without the header).
// DriveRefused when the header is there and its DRIVERSTATUS holds a driver or IDE error.
IdentifyAnswer IdentifyThroughSmartReceive(Win32Calls& calls, HANDLE handle,
                                           std::span<const std::uint8_t> request, IdentifyBlock& data);

// The miniport answer: the request's SRB_IO_CONTROL with ReturnCode 0, a SENDCMDOUTPARAMS header
// (cBufferSize 512, no driver error) and the data at offset 44; the rest of `out` zero. Returns the
// byte count an IDE miniport reports for it (556). `out` holds at least 556 bytes.
std::uint32_t WriteMiniportAnswer(std::span<const std::uint8_t> request, const IdentifyBlock& data,
                                  std::uint8_t* out, std::uint32_t outSize);

}  // namespace orm::windows
