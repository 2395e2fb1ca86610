// The drive helper's confinement: a confined process is refused every call outside the list, and
// a running helper shows its confinement in /proc.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/landlock.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "../linux/loop_device.h"
#include "helper/confinement.h"
#include "helper/helper_protocol.h"
#include "helper/request_handler.h"

namespace {

std::string StatusField(pid_t pid, const std::string& field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(field + ":"))
            return line.substr(line.find_first_not_of(" \t", field.size() + 1));
    }
    return {};
}

TEST(HelperConfinement, RefusesEveryCallOutsideItsList) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const bool landlock =
            ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION) >= 1;
        if (orm::helper::Confine({}) != 0) ::abort();
        // One bit per call that did not go as it should. The path of the exec does not exist,
        // so that only errno tells a refusal from a failure.
        const auto refused = [](long result) { return result == -1 && errno == ENOSYS; };
        char* none[] = {nullptr};
        int n = 0;
        const int sysfs = ::open("/sys/block", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool outcomes[] = {
            sysfs >= 0 && ::close(sysfs) == 0,
            refused(::socket(AF_INET, SOCK_STREAM, 0)),
            refused(::execve("/nonexistent/ormandel", none, none)),
            refused(::open("/tmp/ormandel-confined", O_CREAT | O_WRONLY, 0600)),
            refused(::ioctl(STDIN_FILENO, FIONREAD, &n)),
            refused(::open("/dev/null", O_RDWR | O_CLOEXEC)),
            ::open("/etc/passwd", O_RDONLY | O_CLOEXEC) < 0 ? errno == EACCES : !landlock,
            ::mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) == MAP_FAILED &&
                errno == ENOSYS,
        };
        int failed = 0;
        for (std::size_t i = 0; i < std::size(outcomes); ++i) failed |= outcomes[i] ? 0 : 1 << i;
        ::_exit(failed);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "Confine() failed, or the process ended by signal " << WTERMSIG(status);
    // Bits: sysfs read, socket, exec, file created, other ioctl, read-write open without O_EXCL,
    // a file outside /dev and /sys (where the kernel has Landlock), executable memory.
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::remove("/tmp/ormandel-confined"));
}

// The helper's own confinement and request handler in a child, as root, with two listed loop
// disks: what a subverted helper could open, before and after the wipe's open of the first.
TEST(HelperConfinement, ReachesOnlyTheListedDisks) {
    namespace t = orm::lnx::test;
    if (const std::string why = t::LoopUnavailableReason(); !why.empty()) GTEST_SKIP() << why;
    if (orm::helper::LandlockAbi() < 1) GTEST_SKIP() << "the kernel has no Landlock";
    t::TempDir dir;
    t::LoopDevice a(dir.Path(), "a.img", 1 << 20, 512, false), b(dir.Path(), "b.img", 1 << 20, 512, false);
    ASSERT_FALSE(a.Path().empty() || b.Path().empty());
    std::string spare;  // a loop node without a backing file
    t::RunCommand("losetup --find", &spare);
    const std::string name = a.Path().substr(5);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (orm::helper::Confine(orm::helper::ListedDiskNodes()) != 0) ::abort();
        const auto opens = [](const std::string& path) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            return fd >= 0 ? ::close(fd) == 0 : false;
        };
        const auto denied = [](const std::string& path) {
            return ::open(path.c_str(), O_RDONLY | O_CLOEXEC) < 0 && errno == EACCES;
        };
        const bool before[] = {opens(a.Path()),
                               opens(b.Path()),
                               opens("/sys/block/" + name + "/size"),
                               denied(spare) || !std::filesystem::exists(spare),
                               denied("/dev/console"),
                               denied("/etc/passwd")};
        orm::helper::RequestHandler handler({}, orm::helper::NarrowFilesTo);
        const std::vector<std::uint8_t> open = orm::helper::OpenRequest(name);
        const bool wiping = handler.Handle(open.data(), open.size(), false).fdToSend >= 0;
        const bool after[] = {wiping, opens(a.Path()), denied(b.Path()),
                              denied("/sys/block/" + name + "/size")};
        int failed = 0, bit = 0;
        for (bool ok : before) failed |= (ok ? 0 : 1) << bit++;
        for (bool ok : after) failed |= (ok ? 0 : 1) << bit++;
        ::_exit(failed);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "Confine() failed, or the process ended by signal " << WTERMSIG(status);
    // Bits: the two disks, a sysfs attribute, the spare loop node, the console, /etc/passwd; then
    // the wipe's open, its disk again, the other disk, sysfs.
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Runs the helper program with one end of a new socketpair as its standard input; the other
// end in *socket.
pid_t RunHelper(int* socket) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pair[1], STDIN_FILENO);
        ::execl(ORMANDEL_TEST_HELPER, ORMANDEL_TEST_HELPER, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pair[1]);
    *socket = pair[0];
    return pid;
}

// The helper program, as this user or as root: by the time it says that it runs, it is confined.
TEST(HelperProgram, IsConfinedWhenItAnswers) {
    int socket = -1;
    const pid_t pid = RunHelper(&socket);
    ASSERT_GE(pid, 0);
    char ready[1024];
    EXPECT_GT(::recv(socket, ready, sizeof ready, 0), 0);
    const std::uint64_t mine = std::stoull(StatusField(::getpid(), "CapEff"), nullptr, 16);
    EXPECT_EQ(std::stoull(StatusField(pid, "CapEff"), nullptr, 16), mine & orm::helper::kKeptCapabilities);
    EXPECT_EQ(orm::helper::kKeptCapabilities, 0x20000u);  // CAP_SYS_RAWIO alone
    EXPECT_EQ(StatusField(pid, "NoNewPrivs"), "1");
    EXPECT_EQ(StatusField(pid, "Seccomp"), "2");
    for (const char* fd : {"1", "2"}) {
        EXPECT_EQ(std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/fd/" + fd), "/dev/null");
    }
    ::close(socket);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_EQ(status, 0);

    // A frame that is not one ends it with a status of its own, unlike end-of-file.
    const pid_t second = RunHelper(&socket);
    ASSERT_GE(second, 0);
    EXPECT_GT(::recv(socket, ready, sizeof ready, 0), 0);
    EXPECT_EQ(::send(socket, "ORMX", 4, MSG_NOSIGNAL), 4);
    ASSERT_EQ(::waitpid(second, &status, 0), second);
    EXPECT_EQ(status, orm::helper::kExitViolation << 8);
    ::close(socket);
}

}  // namespace
