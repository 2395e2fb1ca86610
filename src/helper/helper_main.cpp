// ormandel-helper: opens drives and sends them ATA commands for the program, as root. pkexec
// starts it with one end of the program's socketpair as its standard input; it serves that
// socket only, takes no arguments, reads no environment or configuration, and ends when the
// socket closes (closing every descriptor it holds; status 0) or after a malformed request (its
// own status, so that the program can say which). It confines itself before it says that it
// runs, and so before the first request.
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "helper/confinement.h"
#include "helper/helper_protocol.h"
#include "helper/request_handler.h"

namespace {

namespace hp = orm::helper;

constexpr int kSocket = 0;

// Standard input must be a socket of the kind the program makes: a Unix SOCK_SEQPACKET one.
bool IsProgramSocket(int fd) {
    int type = 0;
    int domain = 0;
    socklen_t len = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) != 0 || type != SOCK_SEQPACKET) return false;
    len = sizeof domain;
    return ::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &len) == 0 && domain == AF_UNIX;
}

bool Send(const std::vector<std::uint8_t>& bytes, int fd) {
    iovec iov{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (fd >= 0) {
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
    }
    for (;;) {
        const ssize_t n = ::sendmsg(kSocket, &msg, MSG_NOSIGNAL);
        if (n == static_cast<ssize_t>(bytes.size())) return true;
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
}

}  // namespace

int main(int argc, char** /*argv*/) {
    if (argc != 1) return hp::kExitNotStarted;
    if (!IsProgramSocket(kSocket)) return hp::kExitNotStarted;
    // The disks it may ever open are the ones listed now: a drive plugged in later is not its
    // business (the program probes once, at its start). A helper that cannot confine itself does
    // not serve: the program sees it end unready.
    if (hp::Confine(hp::ListedDiskNodes()) != 0) return hp::kExitUnconfined;

    // After the wipe's open only that drive can be opened.
    hp::RequestHandler handler({}, hp::NarrowFilesTo);
    hp::Answer ready;
    ready.opcode = hp::kReady;
    if (!Send(hp::EncodeAnswer(ready), -1)) return hp::kExitSocket;

    for (;;) {
        // One byte more than the longest request, so that a longer one shows as such.
        std::uint8_t buffer[hp::kMaxRequest + 1];
        const hp::Packet packet = hp::ReceivePacket(kSocket, buffer, sizeof buffer);
        if (packet.size == 0) return 0;  // the program closed its end
        if (packet.size < 0) return hp::kExitSocket;
        // The program never sends descriptors: any that came are closed, and the request refused.
        for (int fd : packet.fds) ::close(fd);
        const bool fds = !packet.fds.empty() || packet.oddControl;
        const std::size_t size = packet.truncated ? sizeof buffer : static_cast<std::size_t>(packet.size);
        const hp::Reply reply = handler.Handle(buffer, size, fds);
        if (!Send(reply.bytes, reply.fdToSend)) return hp::kExitSocket;
        if (reply.stop) return hp::kExitViolation;
    }
}
