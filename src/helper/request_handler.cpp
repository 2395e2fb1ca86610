#include "helper/request_handler.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "helper/ata_pass_through.h"
#include "helper/drive_list.h"
#include "helper/helper_protocol.h"

namespace orm::helper {

namespace {

Reply Refuse(std::uint8_t opcode, int err, bool stop = false) {
    Answer a;
    a.opcode = opcode;
    a.err = err;
    return Reply{EncodeAnswer(a), -1, stop};
}

}  // namespace

RequestHandler::RequestHandler(HelperPlaces places, Narrow narrow)
    : m_places(std::move(places)), m_narrow(std::move(narrow)) {}

RequestHandler::~RequestHandler() {
    for (auto& [id, fd] : m_open) ::close(fd);
}

Reply RequestHandler::Handle(const std::uint8_t* bytes, std::size_t size, bool fdsArrived) {
    const DecodedRequest decoded = DecodeRequest(bytes, size, fdsArrived);
    const Request& r = decoded.request;
    if (decoded.err != 0) return Refuse(r.opcode, decoded.err, decoded.stop);
    switch (r.opcode) {
        case kProbe:
            return Probe(r.name, r.identify);
        case kOpenForWipe:
            return OpenForWipe(r.name);
        case kAta:
            return SendAta(r.id, r.regs.data());
        case kClose:
            return Close(r.id);
        default:
            return Refuse(r.opcode, EPROTO, true);
    }
}

int RequestHandler::CheckName(const std::string& name) const {
    // Only the drives the program's drive list would show, by their kernel names.
    if (!IsKernelName(name)) return EINVAL;
    if (!IsDriveName(m_places.sysRoot, name)) return ENODEV;
    return 0;
}

Reply RequestHandler::Probe(const std::string& name, bool identify) {
    if (const int err = CheckName(name); err != 0) return Refuse(kProbe, err);
    int fd = -1;
    if (const int err = OpenWholeDisk(m_places, name, DiskOpenMode::Probe, &fd); err != 0) {
        return Refuse(kProbe, err);
    }
    Answer a;
    a.opcode = kProbe;
    int sectorSize = 0;
    if (::ioctl(fd, BLKGETSIZE64, &a.sizeBytes) != 0 || ::ioctl(fd, BLKSSZGET, &sectorSize) != 0) {
        a.err = errno;
    } else {
        a.sectorSize = static_cast<std::uint32_t>(sectorSize);
        // The drive's own answer, where it gives one; a drive without ATA simply has none.
        if (identify) a.ataOk = SendAtaCommand(fd, IdentifyCommand(), a.data.data(), DriveCmdFallback::No).ok;
    }
    ::close(fd);
    return Reply{EncodeAnswer(a), -1, false};
}

Reply RequestHandler::OpenForWipe(const std::string& name) {
    if (m_open.size() >= kMaxOpenDrives) return Refuse(kOpenForWipe, EMFILE);
    if (const int err = CheckName(name); err != 0) return Refuse(kOpenForWipe, err);
    int fd = -1;
    if (const int err = OpenWholeDisk(m_places, name, DiskOpenMode::Wipe, &fd); err != 0) {
        return Refuse(kOpenForWipe, err);
    }
    if (m_narrow) {
        if (const int err = m_narrow(fd); err != 0) {
            ::close(fd);
            return Refuse(kOpenForWipe, err);
        }
    }
    while (m_nextId == 0 || m_open.count(m_nextId) != 0) ++m_nextId;
    const std::uint32_t id = m_nextId++;
    m_open.emplace(id, fd);
    Answer a;
    a.opcode = kOpenForWipe;
    a.id = id;
    return Reply{EncodeAnswer(a), fd, false};
}

Reply RequestHandler::SendAta(std::uint32_t id, const std::uint8_t* regs) {
    // Only IDENTIFY DEVICE, SMART ENABLE / DISABLE OPERATIONS / READ DATA and the read-only
    // READ NATIVE MAX ADDRESS (EXT) and DEVICE CONFIGURATION IDENTIFY pass, with the registers
    // the program sends them with.
    std::optional<AtaCommand> cmd = AcceptRegisters(regs, AtaCall::SmartSend);
    if (!cmd) cmd = AcceptRegisters(regs, AtaCall::SmartReceive);
    if (!cmd) cmd = AcceptRegisters(regs, AtaCall::PassThrough);
    if (!cmd) return Refuse(kAta, EINVAL);
    auto it = m_open.find(id);
    if (it == m_open.end()) return Refuse(kAta, EBADF);
    Answer a;
    a.opcode = kAta;
    a.id = id;
    const AtaSendResult sent = SendAtaCommand(it->second, *cmd, a.data.data(), DriveCmdFallback::No);
    a.err = sent.err;
    a.ataOk = sent.ok;
    a.haveStatus = sent.outcome.haveStatus;
    a.status = sent.outcome.status;
    a.error = sent.outcome.error;
    a.haveRegisters = sent.outcome.haveRegisters;
    a.extended = sent.outcome.extended;
    const AtaRegistersBack& g = sent.outcome.registers;
    a.registers = {g.count,    g.lbaLow,    g.lbaMid,    g.lbaHigh,   g.device,
                   g.hobCount, g.hobLbaLow, g.hobLbaMid, g.hobLbaHigh};
    return Reply{EncodeAnswer(a), -1, false};
}

Reply RequestHandler::Close(std::uint32_t id) {
    auto it = m_open.find(id);
    if (it == m_open.end()) return Refuse(kClose, EBADF);
    const int fd = it->second;
    m_open.erase(it);
    Answer a;
    a.opcode = kClose;
    a.id = id;
    if (::close(fd) != 0) a.err = errno;
    return Reply{EncodeAnswer(a), -1, false};
}

}  // namespace orm::helper
