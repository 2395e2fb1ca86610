#include "helper/request_handler.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/linux/ata_pass_through.h"
#include "platform/linux/drive_list.h"
#include "platform/linux/helper_protocol.h"
#include "platform/linux/sysfs_attr.h"

namespace orm::helper {

namespace {

namespace hp = lnx::helper;

Reply Refuse(std::uint8_t opcode, int err, bool stop = false) {
    hp::Answer a;
    a.opcode = opcode;
    a.err = err;
    return Reply{hp::EncodeAnswer(a), -1, stop};
}

// The device number sysfs gives for a disk ("8:0").
std::optional<dev_t> SysfsDev(const std::string& sysRoot, const std::string& name) {
    const std::optional<std::string> text = lnx::ReadAttr(sysRoot + "/block/" + name + "/dev");
    if (!text) return std::nullopt;
    unsigned maj = 0, mnr = 0;
    char extra = 0;
    if (std::sscanf(text->c_str(), "%u:%u%c", &maj, &mnr, &extra) != 2) return std::nullopt;
    return makedev(maj, mnr);
}

bool IsNode(int fd, dev_t expected) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == expected;
}

}  // namespace

RequestHandler::RequestHandler(HelperPlaces places) : m_places(std::move(places)) {}

RequestHandler::~RequestHandler() {
    for (auto& [id, fd] : m_open) ::close(fd);
}

int RequestHandler::OpenDrive(const std::string& name, bool forWipe, int* fd) {
    if (!hp::IsKernelName(name)) return EINVAL;
    if (!lnx::IsDriveName(m_places.sysRoot, name)) return ENODEV;
    const std::optional<dev_t> dev = SysfsDev(m_places.sysRoot, name);
    if (!dev) return ENODEV;
    // A look at the node itself that opens no driver, then the real open through that very
    // node, so that nothing can change between the check and the open; the last check counts.
    std::string path = m_places.devDir + "/" + name;
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(m_places.devDir.size()), path.end(), '!', '/');
    const int node = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (node < 0) return errno;
    if (!IsNode(node, *dev)) {
        ::close(node);
        return ENOTBLK;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(node);
    int opened = -1;
    if (forWipe) {
        opened = ::open(self.c_str(), O_RDWR | O_EXCL | O_DIRECT | O_CLOEXEC | O_NOCTTY);
        // Some block drivers take no direct I/O; ordinary writes plus the final flush remain.
        if (opened < 0 && errno == EINVAL)
            opened = ::open(self.c_str(), O_RDWR | O_EXCL | O_CLOEXEC | O_NOCTTY);
    } else {
        opened = ::open(self.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    }
    const int openErr = errno;
    ::close(node);
    if (opened < 0) return openErr;
    if (!IsNode(opened, *dev)) {
        ::close(opened);
        return ENOTBLK;
    }
    *fd = opened;
    return 0;
}

Reply RequestHandler::Handle(const std::uint8_t* bytes, std::size_t size, bool fdsArrived) {
    if (size < hp::kHeaderSize || std::memcmp(bytes, hp::kMagic, sizeof hp::kMagic) != 0 ||
        bytes[4] != hp::kVersion) {
        return Refuse(0, EPROTO, true);
    }
    const std::uint8_t opcode = bytes[5];
    const std::size_t length = static_cast<std::size_t>(bytes[6] | bytes[7] << 8);
    const std::size_t expected = hp::PayloadLength(opcode);
    if (expected == 0 || length != expected || size != hp::kHeaderSize + expected || fdsArrived) {
        return Refuse(opcode, EPROTO, true);
    }
    const std::uint8_t* payload = bytes + hp::kHeaderSize;

    switch (opcode) {
        case hp::kOpenForProbe:
        case hp::kOpenForWipe: {
            // The name, then only zeros: a NUL inside it or bytes after it are refused.
            std::size_t n = 0;
            while (n < hp::kNameField && payload[n] != 0) ++n;
            for (std::size_t i = n; i < hp::kNameField; ++i) {
                if (payload[i] != 0) return Refuse(opcode, EINVAL);
            }
            const std::string name(reinterpret_cast<const char*>(payload), n);
            if (m_open.size() >= kMaxOpenDrives) return Refuse(opcode, EMFILE);
            int fd = -1;
            const int err = OpenDrive(name, opcode == hp::kOpenForWipe, &fd);
            if (err != 0) return Refuse(opcode, err);
            while (m_nextId == 0 || m_open.count(m_nextId) != 0) ++m_nextId;
            const std::uint32_t id = m_nextId++;
            m_open.emplace(id, fd);
            hp::Answer a;
            a.opcode = opcode;
            a.id = id;
            return Reply{hp::EncodeAnswer(a), fd, false};
        }
        case hp::kAta: {
            const std::uint32_t id = hp::GetLe32(payload);
            const std::uint8_t* regs = payload + hp::kIdSize;
            // Only IDENTIFY DEVICE and SMART ENABLE / DISABLE OPERATIONS / READ DATA pass.
            std::optional<lnx::AtaCommand> cmd;
            if (regs[7] == 0) {
                cmd = lnx::AcceptRegisters(regs, lnx::AtaCall::SmartSend);
                if (!cmd) cmd = lnx::AcceptRegisters(regs, lnx::AtaCall::SmartReceive);
            }
            if (!cmd) return Refuse(opcode, EINVAL);
            auto it = m_open.find(id);
            if (it == m_open.end()) return Refuse(opcode, EBADF);
            hp::Answer a;
            a.opcode = opcode;
            a.id = id;
            const lnx::AtaSendResult sent = lnx::SendAtaCommand(it->second, *cmd, a.data.data());
            a.err = sent.err;
            a.ataOk = sent.ok;
            a.haveStatus = sent.outcome.haveStatus;
            a.status = sent.outcome.status;
            a.error = sent.outcome.error;
            return Reply{hp::EncodeAnswer(a), -1, false};
        }
        case hp::kClose: {
            const std::uint32_t id = hp::GetLe32(payload);
            auto it = m_open.find(id);
            if (it == m_open.end()) return Refuse(opcode, EBADF);
            const int fd = it->second;
            m_open.erase(it);
            hp::Answer a;
            a.opcode = opcode;
            a.id = id;
            if (::close(fd) != 0) a.err = errno;
            return Reply{hp::EncodeAnswer(a), -1, false};
        }
        default:
            return Refuse(opcode, EPROTO, true);
    }
}

}  // namespace orm::helper
