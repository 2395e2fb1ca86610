#include "helper/helper_protocol.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "platform/bytes_text.h"

namespace orm::helper {

namespace {

std::vector<std::uint8_t> Frame(std::uint8_t opcode, std::size_t payload) {
    std::vector<std::uint8_t> f(kHeaderSize + payload, 0);
    std::memcpy(f.data(), kMagic, sizeof kMagic);
    f[4] = kVersion;
    f[5] = opcode;
    f[6] = static_cast<std::uint8_t>(payload & 0xFF);
    f[7] = static_cast<std::uint8_t>(payload >> 8);
    return f;
}

}  // namespace

std::size_t PayloadLength(std::uint8_t opcode) {
    switch (opcode) {
        case kProbe:
            return kNameField + 1;
        case kOpenForWipe:
            return kNameField;
        case kAta:
            return kIdSize + kRegsSize;
        case kClose:
            return kIdSize;
        default:
            return 0;
    }
}

bool IsKernelName(std::string_view name) {
    if (name.empty() || name.size() >= kNameField) return false;
    char previous = '!';
    for (char c : name) {
        if (c == '!') {
            if (previous == '!') return false;
        } else if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) {
            return false;
        }
        previous = c;
    }
    return previous != '!';
}

std::vector<std::uint8_t> ProbeRequest(const std::string& name, bool identify) {
    std::vector<std::uint8_t> f = Frame(kProbe, kNameField + 1);
    std::memcpy(f.data() + kHeaderSize, name.data(), name.size() < kNameField ? name.size() : kNameField);
    f[kHeaderSize + kNameField] = identify ? 1 : 0;
    return f;
}

std::vector<std::uint8_t> OpenRequest(const std::string& name) {
    std::vector<std::uint8_t> f = Frame(kOpenForWipe, kNameField);
    std::memcpy(f.data() + kHeaderSize, name.data(), name.size() < kNameField ? name.size() : kNameField);
    return f;
}

std::vector<std::uint8_t> AtaRequest(std::uint32_t id, const std::uint8_t* ideRegs) {
    std::vector<std::uint8_t> f = Frame(kAta, kIdSize + kRegsSize);
    PutLe32(f.data() + kHeaderSize, id);
    std::memcpy(f.data() + kHeaderSize + kIdSize, ideRegs, kRegsSize);
    return f;
}

std::vector<std::uint8_t> CloseRequest(std::uint32_t id) {
    std::vector<std::uint8_t> f = Frame(kClose, kIdSize);
    PutLe32(f.data() + kHeaderSize, id);
    return f;
}

DecodedRequest DecodeRequest(const std::uint8_t* bytes, std::size_t size, bool fdsArrived) {
    DecodedRequest d;
    if (size < kHeaderSize || std::memcmp(bytes, kMagic, sizeof kMagic) != 0 || bytes[4] != kVersion) {
        d.err = EPROTO;
        d.stop = true;
        return d;
    }
    Request& r = d.request;
    r.opcode = bytes[5];
    const std::size_t length = GetLe16(bytes + 6);
    const std::size_t expected = PayloadLength(r.opcode);
    if (expected == 0 || length != expected || size != kHeaderSize + expected || fdsArrived) {
        d.err = EPROTO;
        d.stop = true;
        return d;
    }
    const std::uint8_t* payload = bytes + kHeaderSize;
    switch (r.opcode) {
        case kProbe:
        case kOpenForWipe: {
            // The name, then only zeros: a NUL inside it or bytes after it are refused.
            std::size_t n = 0;
            while (n < kNameField && payload[n] != 0) ++n;
            for (std::size_t i = n; i < kNameField; ++i) {
                if (payload[i] != 0) {
                    d.err = EINVAL;
                    return d;
                }
            }
            r.name.assign(reinterpret_cast<const char*>(payload), n);
            if (r.opcode == kProbe) {
                const std::uint8_t flag = payload[kNameField];
                if (flag > 1) d.err = EINVAL;
                r.identify = flag == 1;
            }
            break;
        }
        case kAta:
            r.id = GetLe32(payload);
            std::memcpy(r.regs.data(), payload + kIdSize, kRegsSize);
            // The IDEREGS block's last byte is reserved: the program always sends 0 there.
            if (r.regs[kRegsSize - 1] != 0) d.err = EINVAL;
            break;
        case kClose:
            r.id = GetLe32(payload);
            break;
        default:
            break;
    }
    return d;
}

std::vector<std::uint8_t> EncodeAnswer(const Answer& a) {
    std::vector<std::uint8_t> f = Frame(a.opcode, kAnswerPayload);
    PutLe32(f.data() + kAnswerErrno, static_cast<std::uint32_t>(a.err));
    PutLe32(f.data() + kAnswerId, a.id);
    f[kAnswerAta] = a.ataOk ? 1 : 0;
    f[kAnswerAta + 1] = a.haveStatus ? 1 : 0;
    f[kAnswerAta + 2] = a.status;
    f[kAnswerAta + 3] = a.error;
    f[kAnswerRegs] = a.haveRegisters ? 1 : 0;
    f[kAnswerRegs + 1] = a.extended ? 1 : 0;
    std::memcpy(f.data() + kAnswerRegs + 2, a.registers.data(), a.registers.size());
    PutLe64(f.data() + kAnswerProbe, a.sizeBytes);
    PutLe32(f.data() + kAnswerProbe + 8, a.sectorSize);
    std::memcpy(f.data() + kAnswerData, a.data.data(), kDataSize);
    return f;
}

bool DecodeAnswer(const std::uint8_t* bytes, std::size_t size, Answer* a) {
    if (size != kAnswerSize || std::memcmp(bytes, kMagic, sizeof kMagic) != 0 || bytes[4] != kVersion) {
        return false;
    }
    if (GetLe16(bytes + 6) != kAnswerPayload) return false;
    a->opcode = bytes[5];
    a->err = static_cast<int>(GetLe32(bytes + kAnswerErrno));
    a->id = GetLe32(bytes + kAnswerId);
    a->ataOk = bytes[kAnswerAta] != 0;
    a->haveStatus = bytes[kAnswerAta + 1] != 0;
    a->status = bytes[kAnswerAta + 2];
    a->error = bytes[kAnswerAta + 3];
    a->haveRegisters = bytes[kAnswerRegs] != 0;
    a->extended = bytes[kAnswerRegs + 1] != 0;
    std::memcpy(a->registers.data(), bytes + kAnswerRegs + 2, a->registers.size());
    a->sizeBytes = GetLe64(bytes + kAnswerProbe);
    a->sectorSize = GetLe32(bytes + kAnswerProbe + 8);
    std::memcpy(a->data.data(), bytes + kAnswerData, kDataSize);
    return true;
}

Packet ReceivePacket(int socket, std::uint8_t* buffer, std::size_t capacity) {
    Packet p;
    // Room for a few descriptors, so that a client sending more is seen, not cut off unseen.
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
    iovec iov{buffer, capacity};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t n = -1;
    do {
        n = ::recvmsg(socket, &msg, MSG_CMSG_CLOEXEC);
    } while (n < 0 && errno == EINTR);
    p.size = static_cast<long>(n);
    if (n < 0) return p;
    p.truncated = (msg.msg_flags & MSG_TRUNC) != 0;
    p.oddControl = (msg.msg_flags & MSG_CTRUNC) != 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) {
            p.oddControl = true;
            continue;
        }
        const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd = -1;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            if (fd >= 0) p.fds.push_back(fd);
        }
    }
    return p;
}

}  // namespace orm::helper
