// The drive helper's confinement: a process that applied it can still do what the request loop
// does and nothing else, and a running helper shows it in /proc.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "helper/confinement.h"

namespace {

std::string StatusField(pid_t pid, const std::string& field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(field + ":"))
            return line.substr(line.find_first_not_of(" \t", field.size() + 1));
    }
    return {};
}

bool Refused(long result) {
    return result == -1 && errno == ENOSYS;
}

// Each row runs in the confined child; a bit of the exit status per row that went wrong.
const struct {
    const char* what;
    bool (*check)();
} kRows[] = {
    {"reading sysfs",
     [] {
         const int fd = ::open("/sys/block", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
         return fd >= 0 && ::close(fd) == 0;
     }},
    {"a network socket", [] { return Refused(::socket(AF_INET, SOCK_STREAM, 0)); }},
    // A path that does not exist, so that the call fails either way and only errno tells.
    {"exec",
     [] {
         char* argv[] = {nullptr};
         return Refused(::execve("/nonexistent/ormandel", argv, argv));
     }},
    {"writing", [] { return Refused(::write(STDOUT_FILENO, "x", 1)); }},
    {"creating a file", [] { return Refused(::open("/tmp/ormandel-confined", O_CREAT | O_WRONLY, 0600)); }},
    {"another ioctl",
     [] {
         int n = 0;
         return Refused(::ioctl(STDIN_FILENO, FIONREAD, &n));
     }},
    {"executable memory",
     [] {
         return ::mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) ==
                    MAP_FAILED &&
                errno == ENOSYS;
     }},
};

TEST(HelperConfinement, RefusesEveryCallOutsideItsList) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (orm::helper::Confine() != 0) ::_exit(255);
        int failed = 0;
        for (std::size_t i = 0; i < std::size(kRows); ++i) {
            if (!kRows[i].check()) failed |= 1 << i;
        }
        ::_exit(failed);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the confined process was killed by signal " << WTERMSIG(status);
    ASSERT_NE(WEXITSTATUS(status), 255) << "Confine() failed";
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        EXPECT_EQ(WEXITSTATUS(status) >> i & 1, 0) << kRows[i].what;
    }
    const bool created = std::filesystem::remove("/tmp/ormandel-confined");
    EXPECT_FALSE(created);
}

// The helper program, started as this user or as root: by the time it says that it runs, it
// has confined itself.
TEST(HelperProgram, IsConfinedWhenItAnswers) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(pair[1], STDIN_FILENO);
        ::execl(ORMANDEL_TEST_HELPER, ORMANDEL_TEST_HELPER, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pair[1]);
    std::uint8_t ready[1024];
    EXPECT_GT(::recv(pair[0], ready, sizeof ready, 0), 0);

    const std::uint64_t mine = std::stoull(StatusField(::getpid(), "CapEff"), nullptr, 16);
    EXPECT_EQ(std::stoull(StatusField(pid, "CapEff"), nullptr, 16), mine & orm::helper::kKeptCapabilities);
    EXPECT_EQ(StatusField(pid, "NoNewPrivs"), "1");
    EXPECT_EQ(StatusField(pid, "Seccomp"), "2");
    for (const char* fd : {"1", "2"}) {
        EXPECT_EQ(std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/fd/" + fd), "/dev/null");
    }
    ::close(pair[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
