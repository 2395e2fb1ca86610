#include "helper/request_handler.h"

#include <unistd.h>

#include <cerrno>
#include <optional>

#include "helper/helper_protocol.h"
#include "platform/linux/ata_pass_through.h"
#include "platform/linux/drive_list.h"

namespace orm::helper {

namespace {

namespace hp = lnx::helper;

Reply Refuse(std::uint8_t opcode, int err, bool stop = false) {
    hp::Answer a;
    a.opcode = opcode;
    a.err = err;
    return Reply{hp::EncodeAnswer(a), -1, stop};
}

}  // namespace

RequestHandler::RequestHandler(HelperPlaces places) : m_places(std::move(places)) {}

RequestHandler::~RequestHandler() {
    for (auto& [id, fd] : m_open) ::close(fd);
}

Reply RequestHandler::Handle(const std::uint8_t* bytes, std::size_t size, bool fdsArrived) {
    const hp::DecodedRequest decoded = hp::DecodeRequest(bytes, size, fdsArrived);
    const hp::Request& r = decoded.request;
    if (decoded.err != 0) return Refuse(r.opcode, decoded.err, decoded.stop);
    switch (r.opcode) {
        case hp::kOpenForProbe:
        case hp::kOpenForWipe:
            return Open(r.name, r.opcode);
        case hp::kAta:
            return SendAta(r.id, r.regs.data());
        case hp::kClose:
            return Close(r.id);
        default:
            return Refuse(r.opcode, EPROTO, true);
    }
}

Reply RequestHandler::Open(const std::string& name, std::uint8_t opcode) {
    // Only the drives the program's drive list would show, by their kernel names.
    if (m_open.size() >= kMaxOpenDrives) return Refuse(opcode, EMFILE);
    if (!hp::IsKernelName(name)) return Refuse(opcode, EINVAL);
    if (!lnx::IsDriveName(m_places.sysRoot, name)) return Refuse(opcode, ENODEV);
    const lnx::DiskOpenMode mode =
        opcode == hp::kOpenForWipe ? lnx::DiskOpenMode::Wipe : lnx::DiskOpenMode::Probe;
    int fd = -1;
    const int err = lnx::OpenWholeDisk(m_places, name, mode, &fd);
    if (err != 0) return Refuse(opcode, err);
    while (m_nextId == 0 || m_open.count(m_nextId) != 0) ++m_nextId;
    const std::uint32_t id = m_nextId++;
    m_open.emplace(id, fd);
    hp::Answer a;
    a.opcode = opcode;
    a.id = id;
    return Reply{hp::EncodeAnswer(a), fd, false};
}

Reply RequestHandler::SendAta(std::uint32_t id, const std::uint8_t* regs) {
    // Only IDENTIFY DEVICE, SMART ENABLE / DISABLE OPERATIONS / READ DATA and the read-only
    // READ NATIVE MAX ADDRESS (EXT) and DEVICE CONFIGURATION IDENTIFY pass, with the registers
    // the program sends them with.
    std::optional<lnx::AtaCommand> cmd = lnx::AcceptRegisters(regs, lnx::AtaCall::SmartSend);
    if (!cmd) cmd = lnx::AcceptRegisters(regs, lnx::AtaCall::SmartReceive);
    if (!cmd) cmd = lnx::AcceptRegisters(regs, lnx::AtaCall::PassThrough);
    if (!cmd) return Refuse(hp::kAta, EINVAL);
    auto it = m_open.find(id);
    if (it == m_open.end()) return Refuse(hp::kAta, EBADF);
    hp::Answer a;
    a.opcode = hp::kAta;
    a.id = id;
    const lnx::AtaSendResult sent = lnx::SendAtaCommand(it->second, *cmd, a.data.data());
    a.err = sent.err;
    a.ataOk = sent.ok;
    a.haveStatus = sent.outcome.haveStatus;
    a.status = sent.outcome.status;
    a.error = sent.outcome.error;
    a.haveRegisters = sent.outcome.haveRegisters;
    a.extended = sent.outcome.extended;
    const lnx::AtaRegistersBack& g = sent.outcome.registers;
    a.registers = {g.count,    g.lbaLow,    g.lbaMid,    g.lbaHigh,   g.device,
                   g.hobCount, g.hobLbaLow, g.hobLbaMid, g.hobLbaHigh};
    return Reply{hp::EncodeAnswer(a), -1, false};
}

Reply RequestHandler::Close(std::uint32_t id) {
    auto it = m_open.find(id);
    if (it == m_open.end()) return Refuse(hp::kClose, EBADF);
    const int fd = it->second;
    m_open.erase(it);
    hp::Answer a;
    a.opcode = hp::kClose;
    a.id = id;
    if (::close(fd) != 0) a.err = errno;
    return Reply{hp::EncodeAnswer(a), -1, false};
}

}  // namespace orm::helper
