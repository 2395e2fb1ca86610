// The ATA commands of the SMART control calls and of IOCTL_ATA_PASS_THROUGH, sent to a Linux
// disk with SG_IO and the SCSI ATA PASS-THROUGH(16) command (or, for the program run as root
// where SG_IO is refused, the older HDIO_DRIVE_CMD).
// The register checks, the command block and the reading of the answer are pure functions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace orm::helper {

// The control call a register block came with; each takes only its own commands.
enum class AtaCall {
    SmartSend,         // SMART_SEND_DRIVE_COMMAND: SMART ENABLE / DISABLE OPERATIONS
    SmartReceive,      // SMART_RCV_DRIVE_DATA: SMART READ DATA (or IDENTIFY DEVICE)
    MiniportIdentify,  // IOCTL_SCSI_MINIPORT with IOCTL_SCSI_MINIPORT_IDENTIFY
    // IOCTL_ATA_PASS_THROUGH: only the read-only commands that find hidden sectors, READ NATIVE
    // MAX ADDRESS (EXT) and DEVICE CONFIGURATION IDENTIFY
    PassThrough,
};

struct AtaCommand {
    std::uint8_t features = 0;
    std::uint8_t count = 0;
    std::uint8_t lbaLow = 0;   // the sector number register
    std::uint8_t lbaMid = 0;   // cylinder low
    std::uint8_t lbaHigh = 0;  // cylinder high
    std::uint8_t command = 0;
    bool dataIn = false;      // true: the drive sends one 512-byte block
    bool extend = false;      // a 48-bit command
    std::uint8_t lbaBit = 0;  // 0x40 for a command that takes an LBA in the device register
    // The command answers in its registers (a native address): it goes only where they come back.
    bool needsRegisters = false;
};

// The command of an 8-byte IDEREGS block, only when it is exactly one of the commands the call
// carries (registers as the program sends them, drive/head 0xA0 or 0xB0, with the LBA bit 0x40
// for READ NATIVE MAX ADDRESS (EXT)); nullopt for anything else, which is then never sent to
// the drive.
std::optional<AtaCommand> AcceptRegisters(const std::uint8_t* ideRegs, AtaCall call);

// ATA PASS-THROUGH(16): PIO data-in of one 512-byte block counted in the sector count, or
// non-data with the check-condition bit, so that the drive's status comes back in the sense
// data. The check-condition bit is never set on data-in commands: some USB bridges then return
// no sense although the data are fine. The device byte is 0; the kernel sets the drive bit of
// the disk behind the block device, and the LBA bit where the command takes one.
std::array<std::uint8_t, 16> BuildAta16Cdb(const AtaCommand& cmd);

// What the transport said about one SG_IO request.
struct SgResult {
    std::uint8_t scsiStatus = 0;
    std::uint16_t hostStatus = 0;
    std::uint16_t driverStatus = 0;
    const std::uint8_t* sense = nullptr;
    std::size_t senseLength = 0;
    int residual = 0;  // bytes of the data-in transfer that did not arrive (sg_io_hdr resid)
};

// The registers a command answered with, apart from status and error. hob* are the previous
// ("high order") bytes of a 48-bit command: count 15:8 and LBA 31:24, 39:32, 47:40.
struct AtaRegistersBack {
    std::uint8_t count = 0, lbaLow = 0, lbaMid = 0, lbaHigh = 0, device = 0;
    std::uint8_t hobCount = 0, hobLbaLow = 0, hobLbaMid = 0, hobLbaHigh = 0;
};

struct AtaOutcome {
    bool ok = false;
    bool haveStatus = false;  // the ATA status and error registers came back
    std::uint8_t status = 0;
    std::uint8_t error = 0;
    // All the registers came back: the ATA Return descriptor (09h) of descriptor-format sense,
    // or fixed-format sense with ASC/ASCQ 00/1Dh where every high-order byte is zero (fixed
    // format only says that they are not). extended: the answer is a 48-bit command's.
    bool haveRegisters = false;
    bool extended = false;
    AtaRegistersBack registers;
};

// Success needs: no host (transport) error, no driver error other than "sense follows", the
// whole data-in transfer (a non-zero residual is a short answer), a SCSI status of GOOD or
// CHECK CONDITION, and where sense came back, a sense key of NO SENSE
// or RECOVERED ERROR (anything else means the command was refused) and, where the sense
// carries the ATA status (descriptor 09h of descriptor-format sense, or fixed-format sense with
// ASC/ASCQ 00/1Dh "ATA pass-through information available"), neither ERR nor DRQ set.
// CHECK CONDITION without readable sense counts as a failure.
AtaOutcome EvaluateSgResult(const SgResult& r);

// The 4-byte head of an HDIO_DRIVE_CMD request: command, sector number, features, and the
// number of 512-byte blocks to read (0 for a non-data command).
std::array<std::uint8_t, 4> BuildDriveCmdArgs(const AtaCommand& cmd);

// How sending went. err is the errno of a refused or failed request; 0 with ok false means the
// drive itself refused the command.
struct AtaSendResult {
    bool ok = false;
    int err = 0;
    AtaOutcome outcome;
};

// Whether a drive that takes no SG_IO gets the command through HDIO_DRIVE_CMD. The helper never
// does: that ioctl takes any non-data ATA command and needs CAP_SYS_ADMIN, which the helper
// gives up. The program run as root keeps it.
enum class DriveCmdFallback { No, Yes };

// Sends cmd to the disk open on fd; for a data-in command, data receives the 512 bytes (and
// is left untouched on failure). Needs CAP_SYS_RAWIO (root) for SG_IO and CAP_SYS_ADMIN for
// HDIO_DRIVE_CMD; without them the call fails with EPERM or EACCES. A command that needs its
// registers back is not tried through HDIO_DRIVE_CMD, which returns only status and error.
AtaSendResult SendAtaCommand(int fd, const AtaCommand& cmd, std::uint8_t* data, DriveCmdFallback fallback);

// IDENTIFY DEVICE as the program sends it (drive/head 0xA0): one 512-byte block in.
AtaCommand IdentifyCommand();

}  // namespace orm::helper
