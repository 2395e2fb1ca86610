#include "helper/request_handler.h"

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

RequestHandler::RequestHandler(HelperPlaces places) : m_places(std::move(places)) {}

RequestHandler::~RequestHandler() {
    for (auto& [id, fd] : m_open) ::close(fd);
}

Reply RequestHandler::Handle(const std::uint8_t* bytes, std::size_t size, bool fdsArrived) {
    const DecodedRequest decoded = DecodeRequest(bytes, size, fdsArrived);
    const Request& r = decoded.request;
    if (decoded.err != 0) return Refuse(r.opcode, decoded.err, decoded.stop);
    switch (r.opcode) {
        case kOpenForProbe:
        case kOpenForWipe:
            return Open(r.name, r.opcode);
        case kAta:
            return SendAta(r.id, r.regs.data());
        case kClose:
            return Close(r.id);
        default:
            return Refuse(r.opcode, EPROTO, true);
    }
}

Reply RequestHandler::Open(const std::string& name, std::uint8_t opcode) {
    // Only the drives the program's drive list would show, by their kernel names.
    if (m_open.size() >= kMaxOpenDrives) return Refuse(opcode, EMFILE);
    if (!IsKernelName(name)) return Refuse(opcode, EINVAL);
    if (!IsDriveName(m_places.sysRoot, name)) return Refuse(opcode, ENODEV);
    const DiskOpenMode mode = opcode == kOpenForWipe ? DiskOpenMode::Wipe : DiskOpenMode::Probe;
    int fd = -1;
    const int err = OpenWholeDisk(m_places, name, mode, &fd);
    if (err != 0) return Refuse(opcode, err);
    while (m_nextId == 0 || m_open.count(m_nextId) != 0) ++m_nextId;
    const std::uint32_t id = m_nextId++;
    m_open.emplace(id, fd);
    Answer a;
    a.opcode = opcode;
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
    const AtaSendResult sent = SendAtaCommand(it->second, *cmd, a.data.data());
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
