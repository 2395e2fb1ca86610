#include "platform/linux/helper_client.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace orm::lnx {

namespace {

// pkexec's own exit statuses.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorized = 127;

// The wait status of the child, or -1.
int WaitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

// How pkexec ended without starting the helper. At its terminal prompt, end-of-file stops it
// with SIGTRAP (its text agent ends on a GLib error) and Ctrl-C with SIGINT: both are the
// user's "no", like a dismissed dialog.
HelperStart PkexecEnd(int status) {
    if (status != -1 && WIFSIGNALED(status)) {
        switch (WTERMSIG(status)) {
            case SIGTRAP:
            case SIGINT:
            case SIGQUIT:
            case SIGHUP:
            case SIGTERM:
                return HelperStart::Cancelled;
            default:
                return HelperStart::HelperFailed;
        }
    }
    const int code = status == -1 ? -1 : WEXITSTATUS(status);
    return code == kPkexecDismissed       ? HelperStart::Cancelled
           : code == kPkexecNotAuthorized ? HelperStart::NotAuthorized
                                          : HelperStart::HelperFailed;
}

}  // namespace

const char* PkexecPath() {
    return ORMANDEL_PKEXEC_PATH;
}

std::string HelperPathFor([[maybe_unused]] const std::string& exePath) {
#ifdef ORMANDEL_BUILD_DIR
    // A program run from its build tree takes the helper built with it, even where a package
    // is installed too: the two speak the same version of the frames. Packaged programs are
    // built without this, so that they name no folder of the machine that built them.
    if (exePath.starts_with(std::string(ORMANDEL_BUILD_DIR) + "/")) return ORMANDEL_HELPER_BUILD_PATH;
#endif
    return ORMANDEL_HELPER_INSTALLED_PATH;
}

std::string DefaultHelperPath() {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self);
    return HelperPathFor(n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string());
}

HelperClient::~HelperClient() {
    Shut();
}

void HelperClient::Shut() {
    if (m_socket >= 0) ::close(m_socket);
    m_socket = -1;
    if (m_pid > 0) WaitFor(m_pid);
    m_pid = -1;
    m_running = false;
}

HelperStartResult HelperClient::Start(const std::string& pkexec, const std::string& helperPath) {
    Shut();
    HelperStartResult result;
    result.helperPath = helperPath;
    struct stat st {};
    const int found = ::stat(helperPath.c_str(), &st) != 0 ? errno : (S_ISREG(st.st_mode) ? 0 : ENOEXEC);
    if (found != 0) {
        result.status = HelperStart::HelperMissing;
        result.detail = found;
        return result;
    }
    if (!pkexec.starts_with('/')) {
        result.status = HelperStart::NoPkexec;
        result.detail = EINVAL;
        return result;
    }
    // Before the socket exists, so that no other process of the user can take it (and with it
    // the helper) out of this one while the password prompt is up.
    if (::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) {
        result.status = HelperStart::HelperFailed;
        result.detail = errno;
        return result;
    }
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        result.status = HelperStart::HelperFailed;
        result.detail = errno;
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The helper's standard input is its end of the pair; dup2 leaves it open across exec.
    posix_spawn_file_actions_adddup2(&actions, pair[1], 0);
    std::string program = pkexec;
    std::string helper = helperPath;
    char* argv[] = {program.data(), helper.data(), nullptr};
    pid_t pid = -1;
    const int err = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (err != 0) {
        ::close(pair[0]);
        result.status = HelperStart::NoPkexec;
        result.detail = err;
        return result;
    }
    m_socket = pair[0];
    m_pid = pid;

    helper::Answer ready;
    if (Exchange({}, &ready, nullptr) && ready.opcode == helper::kReady && ready.err == 0) {
        m_running = true;
        result.status = HelperStart::Started;
        return result;
    }
    // pkexec (or the helper) ended without a word: its exit status says why.
    ::close(m_socket);
    m_socket = -1;
    const int status = WaitFor(m_pid);
    m_pid = -1;
    result.status = PkexecEnd(status);
    result.detail = status == -1 ? -1 : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    return result;
}

bool HelperClient::Exchange(const std::vector<std::uint8_t>& request, helper::Answer* answer,
                            int* receivedFd) {
    if (receivedFd != nullptr) *receivedFd = -1;
    if (m_socket < 0) return false;
    if (!request.empty()) {
        ssize_t n = -1;
        do {
            n = ::send(m_socket, request.data(), request.size(), MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
        if (n != static_cast<ssize_t>(request.size())) {
            NoteEnd();
            return false;
        }
    }
    std::uint8_t buffer[helper::kAnswerSize + 1];
    const helper::Packet packet = helper::ReceivePacket(m_socket, buffer, sizeof buffer);
    if (packet.size <= 0) {
        NoteEnd();
        return false;
    }
    // Exactly one descriptor may come, and only where one is expected; any other is closed.
    const int fd = packet.fds.empty() ? -1 : packet.fds.front();
    for (std::size_t i = 1; i < packet.fds.size(); ++i) ::close(packet.fds[i]);
    const bool ok = !packet.truncated && DecodeAnswer(buffer, static_cast<std::size_t>(packet.size), answer);
    if (!ok || packet.oddControl || packet.fds.size() > 1 || (fd >= 0 && receivedFd == nullptr)) {
        if (fd >= 0) ::close(fd);
        return false;
    }
    if (receivedFd != nullptr) *receivedFd = fd;
    return true;
}

void HelperClient::NoteEnd() {
    // Before Ready, Start reads pkexec's status itself.
    if (!m_running) return;
    m_running = false;
    ::close(m_socket);
    m_socket = -1;
    m_endStatus = WaitFor(m_pid);
    m_pid = -1;
    m_ended = true;
}

std::string HelperClient::EndText() const {
    if (!m_ended) return {};
    const int s = m_endStatus;
    if (s != -1 && WIFSIGNALED(s))
        return "The drive helper was ended by signal " + std::to_string(WTERMSIG(s)) + ".";
    const int code = s == -1 ? -1 : WEXITSTATUS(s);
    if (code == 0) return "The drive helper ended: its connection to Ormandel was closed.";
    if (code == helper::kExitViolation) {
        return "The drive helper ended because it was sent a request it does not take (exit code " +
               std::to_string(code) + ").";
    }
    return "The drive helper ended (exit code " + std::to_string(code) + ").";
}

int HelperClient::ProbeDrive(const std::string& name, bool identify, ProbeAnswer* answer) {
    if (!helper::IsKernelName(name)) return EINVAL;
    helper::Answer a;
    if (!Exchange(helper::ProbeRequest(name, identify), &a, nullptr)) return EPIPE;
    if (a.opcode != helper::kProbe) return EPROTO;
    if (a.err != 0) return a.err;
    answer->sizeBytes = a.sizeBytes;
    answer->sectorSize = a.sectorSize;
    answer->haveIdentify = identify && a.ataOk;
    if (answer->haveIdentify) answer->identify = a.data;
    return 0;
}

int HelperClient::OpenDrive(const std::string& name, int* fd, std::uint32_t* id) {
    *fd = -1;
    if (!helper::IsKernelName(name)) return EINVAL;
    helper::Answer a;
    int received = -1;
    if (!Exchange(helper::OpenRequest(name), &a, &received)) return EPIPE;
    if (a.opcode != helper::kOpenForWipe || (a.err == 0) != (received >= 0)) {
        if (received >= 0) ::close(received);
        return EPROTO;
    }
    if (a.err != 0) return a.err;
    *fd = received;
    *id = a.id;
    return 0;
}

helper::AtaSendResult HelperClient::SendAta(std::uint32_t id, const helper::AtaCommand& cmd,
                                            std::uint8_t* data) {
    helper::AtaSendResult result;
    const std::uint8_t regs[helper::kRegsSize] = {cmd.features, cmd.count,
                                                  cmd.lbaLow,   cmd.lbaMid,
                                                  cmd.lbaHigh,  static_cast<std::uint8_t>(0xA0 | cmd.lbaBit),
                                                  cmd.command,  0};
    helper::Answer a;
    if (!Exchange(helper::AtaRequest(id, regs), &a, nullptr) || a.opcode != helper::kAta) {
        result.err = EPIPE;
        return result;
    }
    result.ok = a.err == 0 && a.ataOk;
    result.err = a.err;
    result.outcome.ok = a.ataOk;
    result.outcome.haveStatus = a.haveStatus;
    result.outcome.status = a.status;
    result.outcome.error = a.error;
    result.outcome.haveRegisters = a.haveRegisters;
    result.outcome.extended = a.extended;
    const auto& r = a.registers;
    result.outcome.registers = {r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8]};
    if (result.ok && cmd.dataIn && data != nullptr) std::memcpy(data, a.data.data(), helper::kDataSize);
    return result;
}

void HelperClient::CloseDrive(std::uint32_t id) {
    helper::Answer a;
    Exchange(helper::CloseRequest(id), &a, nullptr);
}

}  // namespace orm::lnx
