#include "helper/ata_pass_through.h"

#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/win_layouts.h"

namespace orm::helper {

namespace {

constexpr std::uint8_t kAtaPassThrough16 = 0x85;
constexpr std::uint8_t kProtocolNonData = 3;
constexpr std::uint8_t kProtocolPioDataIn = 4;
constexpr std::uint8_t kCkCond = 0x20;
constexpr std::uint8_t kDataInBlocks = 0x0E;  // T_DIR from device, BYTE_BLOCK, T_LENGTH in count

constexpr std::uint8_t kScsiGood = 0x00;
constexpr std::uint8_t kScsiCheckCondition = 0x02;
constexpr std::uint16_t kDriverSense = 0x08;
constexpr std::uint8_t kSenseNoSense = 0x0;
constexpr std::uint8_t kSenseRecovered = 0x1;
constexpr std::uint8_t kAtaStatusReturnDescriptor = 0x09;
constexpr std::uint8_t kAtaErr = 0x01;
constexpr std::uint8_t kAtaDrq = 0x08;

// The drive answers within seconds; a spun-down disk may need tens of them to come up.
constexpr unsigned kSgTimeoutMs = 60000;

bool IsSmart(const std::uint8_t* r, std::uint8_t features) {
    return r[0] == features && r[1] == 1 && r[2] == 1 && r[3] == win::SMART_CYL_LOW &&
           r[4] == win::SMART_CYL_HI && r[6] == win::ATA_SMART;
}

bool IsIdentify(const std::uint8_t* r) {
    return r[0] == 0 && r[1] == 1 && r[2] == 1 && r[3] == 0 && r[4] == 0 && r[6] == win::ATA_IDENTIFY_DEVICE;
}

// Features, count and the three LBA registers all zero.
bool NoArguments(const std::uint8_t* r) {
    return r[0] == 0 && r[1] == 0 && r[2] == 0 && r[3] == 0 && r[4] == 0;
}

std::optional<AtaCommand> AcceptPassThrough(const std::uint8_t* r) {
    AtaCommand c;
    c.command = r[6];
    const bool nativeMax =
        r[6] == win::ATA_READ_NATIVE_MAX_ADDRESS_EXT || r[6] == win::ATA_READ_NATIVE_MAX_ADDRESS;
    if (nativeMax && NoArguments(r) && (r[5] & 0x40) != 0) {
        c.extend = r[6] == win::ATA_READ_NATIVE_MAX_ADDRESS_EXT;
        c.lbaBit = 0x40;
        c.needsRegisters = true;
        return c;
    }
    if (r[6] == win::ATA_DEVICE_CONFIGURATION && r[0] == win::DCO_IDENTIFY && r[1] == 0 && r[2] == 0 &&
        r[3] == 0 && r[4] == 0 && (r[5] & 0x40) == 0) {
        c.features = win::DCO_IDENTIFY;
        c.dataIn = true;
        return c;
    }
    return std::nullopt;
}

AtaCommand FromRegisters(const std::uint8_t* r, bool dataIn) {
    AtaCommand c;
    c.features = r[0];
    c.count = r[1];
    c.lbaLow = r[2];
    c.lbaMid = r[3];
    c.lbaHigh = r[4];
    c.command = r[6];
    c.dataIn = dataIn;
    return c;
}

// SG_IO refusals after which the older drive-command ioctl is worth a try: the driver does not
// take SG_IO at all, or not this command block.
bool SgIoNotTaken(int err) {
    return err == EINVAL || err == ENOTTY || err == EOPNOTSUPP || err == EBADE;
}

}  // namespace

std::optional<AtaCommand> AcceptRegisters(const std::uint8_t* r, AtaCall call) {
    const std::uint8_t driveHead = r[5];
    if (call == AtaCall::PassThrough) {
        if ((driveHead & ~0x40) != 0xA0 && (driveHead & ~0x40) != 0xB0) return std::nullopt;
        return AcceptPassThrough(r);
    }
    if (driveHead != 0xA0 && driveHead != 0xB0) return std::nullopt;
    switch (call) {
        case AtaCall::SmartSend:
            if (IsSmart(r, win::SMART_ENABLE_OPERATIONS) || IsSmart(r, win::SMART_DISABLE_OPERATIONS)) {
                return FromRegisters(r, false);
            }
            return std::nullopt;
        case AtaCall::SmartReceive:
            if (IsSmart(r, win::SMART_READ_DATA) || IsIdentify(r)) return FromRegisters(r, true);
            return std::nullopt;
        case AtaCall::MiniportIdentify:
            if (IsIdentify(r)) return FromRegisters(r, true);
            return std::nullopt;
        case AtaCall::PassThrough:
            return std::nullopt;
    }
    return std::nullopt;
}

std::array<std::uint8_t, 16> BuildAta16Cdb(const AtaCommand& cmd) {
    std::array<std::uint8_t, 16> cdb{};
    cdb[0] = kAtaPassThrough16;
    if (cmd.dataIn) {
        cdb[1] = kProtocolPioDataIn << 1;
        cdb[2] = kDataInBlocks;
    } else {
        cdb[1] = kProtocolNonData << 1;
        cdb[2] = kCkCond;
    }
    if (cmd.extend) cdb[1] |= 1;
    cdb[4] = cmd.features;
    // Every data-in command moves one block, and the translation takes the transfer's length
    // from the count (DCO IDENTIFY comes with 0 there, which the drive ignores).
    cdb[6] = cmd.dataIn ? 1 : cmd.count;
    cdb[8] = cmd.lbaLow;
    cdb[10] = cmd.lbaMid;
    cdb[12] = cmd.lbaHigh;
    cdb[13] = cmd.lbaBit;
    cdb[14] = cmd.command;
    return cdb;
}

AtaOutcome EvaluateSgResult(const SgResult& r) {
    AtaOutcome out;
    if (r.hostStatus != 0 || r.residual != 0) return out;
    const std::uint16_t driver = r.driverStatus & 0x0F;
    if (driver != 0 && driver != kDriverSense) return out;
    if (r.scsiStatus != kScsiGood && r.scsiStatus != kScsiCheckCondition) return out;

    const bool senseExpected = r.scsiStatus == kScsiCheckCondition || driver == kDriverSense;
    if (r.sense == nullptr || r.senseLength == 0) {
        out.ok = !senseExpected;
        return out;
    }
    const std::uint8_t* s = r.sense;
    const std::size_t n = r.senseLength;
    const std::uint8_t response = s[0] & 0x7F;
    std::uint8_t key = 0;
    if (response == 0x72 || response == 0x73) {
        if (n < 8) return out;
        key = s[1] & 0x0F;
        const std::size_t end = std::min<std::size_t>(n, std::size_t{8} + s[7]);
        for (std::size_t at = 8; at + 2 <= end;) {
            const std::uint8_t code = s[at];
            const std::size_t length = std::size_t{2} + s[at + 1];
            if (code == kAtaStatusReturnDescriptor && s[at + 1] >= 12 && at + 14 <= end) {
                const std::uint8_t* d = s + at;
                out.haveStatus = true;
                out.error = d[3];
                out.status = d[13];
                out.haveRegisters = true;
                out.extended = (d[2] & 0x01) != 0;
                AtaRegistersBack& g = out.registers;
                g.hobCount = d[4];
                g.count = d[5];
                g.hobLbaLow = d[6];
                g.lbaLow = d[7];
                g.hobLbaMid = d[8];
                g.lbaMid = d[9];
                g.hobLbaHigh = d[10];
                g.lbaHigh = d[11];
                g.device = d[12];
            }
            at += length;
        }
    } else if (response == 0x70 || response == 0x71) {
        if (n < 3) return out;
        key = s[2] & 0x0F;
        // The registers are there only with ASC/ASCQ 00/1D: the information field holds error,
        // status, device and count, the command-specific field the EXTEND bit, two "high-order
        // bytes not zero" bits and LBA 7:0, 15:8, 23:16.
        if (n >= 14 && s[12] == 0x00 && s[13] == 0x1D) {
            out.haveStatus = true;
            out.error = s[3];
            out.status = s[4];
            out.extended = (s[8] & 0x80) != 0;
            out.haveRegisters = (s[8] & 0x60) == 0;
            AtaRegistersBack& g = out.registers;
            g.device = s[5];
            g.count = s[6];
            g.lbaLow = s[9];
            g.lbaMid = s[10];
            g.lbaHigh = s[11];
        }
    } else {
        return out;
    }
    if (key != kSenseNoSense && key != kSenseRecovered) return out;
    if (out.haveStatus && (out.status & (kAtaErr | kAtaDrq)) != 0) return out;
    out.ok = true;
    return out;
}

std::array<std::uint8_t, 4> BuildDriveCmdArgs(const AtaCommand& cmd) {
    return {cmd.command, cmd.lbaLow, cmd.features, static_cast<std::uint8_t>(cmd.dataIn ? 1 : 0)};
}

AtaCommand IdentifyCommand() {
    AtaCommand identify;
    identify.count = 1;
    identify.lbaLow = 1;
    identify.command = win::ATA_IDENTIFY_DEVICE;
    identify.dataIn = true;
    return identify;
}

AtaSendResult SendAtaCommand(int fd, const AtaCommand& cmd, std::uint8_t* data, DriveCmdFallback fallback) {
    AtaSendResult result;
    std::array<std::uint8_t, 16> cdb = BuildAta16Cdb(cmd);
    std::uint8_t block[win::kAtaBlock] = {};
    std::uint8_t sense[32] = {};
    sg_io_hdr_t io;
    std::memset(&io, 0, sizeof io);
    io.interface_id = 'S';
    io.cmd_len = static_cast<unsigned char>(cdb.size());
    io.cmdp = cdb.data();
    io.mx_sb_len = sizeof sense;
    io.sbp = sense;
    io.timeout = kSgTimeoutMs;
    io.dxfer_direction = cmd.dataIn ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
    io.dxfer_len = cmd.dataIn ? win::kAtaBlock : 0;
    io.dxferp = cmd.dataIn ? block : nullptr;

    if (ioctl(fd, SG_IO, &io) == 0) {
        SgResult r;
        r.scsiStatus = io.status;
        r.hostStatus = io.host_status;
        r.driverStatus = io.driver_status;
        r.sense = sense;
        r.senseLength = std::min<std::size_t>(io.sb_len_wr, sizeof sense);
        r.residual = io.resid;
        result.outcome = EvaluateSgResult(r);
        result.ok = result.outcome.ok;
        if (result.ok && cmd.dataIn) std::memcpy(data, block, win::kAtaBlock);
        return result;
    }
    const int sgErr = errno;
    if (!SgIoNotTaken(sgErr) || cmd.needsRegisters || fallback == DriveCmdFallback::No) {
        result.err = sgErr;
        return result;
    }

    // HDIO_DRIVE_CMD: 4 bytes of registers, then the data; on return the status and error
    // registers replace the first two bytes.
    std::uint8_t args[4 + win::kAtaBlock] = {};
    const std::array<std::uint8_t, 4> head = BuildDriveCmdArgs(cmd);
    std::memcpy(args, head.data(), head.size());
    if (ioctl(fd, HDIO_DRIVE_CMD, args) != 0) {
        result.err = errno;
        return result;
    }
    // The kernel fails the ioctl with EIO when the drive refuses a command. It writes the
    // status back only for non-data commands (those go with the check-condition bit); after a
    // data-in command the first bytes still hold the request.
    result.ok = true;
    if (!cmd.dataIn) {
        result.outcome.haveStatus = true;
        result.outcome.status = args[0];
        result.outcome.error = args[1];
        result.ok = (args[0] & (kAtaErr | kAtaDrq)) == 0;
    }
    result.outcome.ok = result.ok;
    if (result.ok && cmd.dataIn) std::memcpy(data, args + 4, win::kAtaBlock);
    return result;
}

}  // namespace orm::helper
