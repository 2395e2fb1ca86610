// The program's end of the helper: which helper it starts, and that once it has one, the
// user's other processes cannot reach into it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "helper/helper_client.h"

namespace {

TEST(HelperClient, StartsOnlyTheHelperOfItsOwnInstallation) {
    const std::string build = ORMANDEL_TEST_BUILD_DIR;
    const std::string installed = orm::lnx::HelperPathFor("/usr/bin/ormandel");
    EXPECT_TRUE(installed.ends_with("/libexec/ormandel/ormandel-helper")) << installed;
    EXPECT_EQ(orm::lnx::HelperPathFor(build + "/src/ui/ormandel"), ORMANDEL_TEST_HELPER);
    EXPECT_EQ(orm::lnx::HelperPathFor(build + "-copy/ormandel-probe"), installed);
    EXPECT_EQ(orm::lnx::HelperPathFor("/tmp/ormandel-probe"), installed);
    EXPECT_EQ(orm::lnx::HelperPathFor(""), installed);
}

// What a second process of the same user gets when it reaches for the program's socket to the
// helper: before the helper starts (the control) and after.
struct Reach {
    int openErr;
    int ptraceErr;
};

// Tracing is tried only where the program must refuse it: a tracer stays attached.
Reach ReachInto(pid_t pid, int fd, bool tryTracing) {
    Reach r{0, 0};
    const int opened =
        ::open(("/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd)).c_str(), O_RDONLY);
    if (opened < 0) r.openErr = errno;
    ::close(opened);
    if (tryTracing && ::ptrace(PTRACE_SEIZE, pid, nullptr, nullptr) != 0) r.ptraceErr = errno;
    return r;
}

TEST(HelperClient, OtherProcessesOfTheUserCannotReachIntoTheProgram) {
    // Root may reach into any process; the reaching process is an ordinary user, the parent
    // of the program, so that a ptrace restriction to descendants cannot be what stops it.
    const pid_t reacher = ::fork();
    ASSERT_GE(reacher, 0);
    if (reacher == 0) {
        if (::geteuid() == 0 && ::setresuid(65534, 65534, 65534) != 0) ::_exit(100);
        int toProgram[2], fromProgram[2];
        if (::pipe(toProgram) != 0 || ::pipe(fromProgram) != 0) ::_exit(101);
        const pid_t program = ::fork();
        if (program == 0) {
            // Changing the user made this process undumpable; a program a user starts is not.
            ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
            ::close(toProgram[1]);
            ::close(fromProgram[0]);
            bool ok = false;
            {
                char go = 0;
                orm::lnx::HelperClient client;
                ok = ::write(fromProgram[1], "a", 1) == 1 && ::read(toProgram[0], &go, 1) == 1;
                ok = ok &&
                     client.Start("/usr/bin/env", ORMANDEL_TEST_HELPER).status == orm::HelperStart::Started;
                ok = ::write(fromProgram[1], ok ? "b" : "x", 1) == 1 && ok;
                ok = ::read(toProgram[0], &go, 1) >= 0 && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        ::close(toProgram[0]);
        ::close(fromProgram[1]);
        // The program's end of its pipe stands for any descriptor it holds.
        const int held = fromProgram[1];
        char step = 0;
        if (::read(fromProgram[0], &step, 1) != 1) ::_exit(102);
        const Reach before = ReachInto(program, held, false);
        if (::write(toProgram[1], "1", 1) != 1 || ::read(fromProgram[0], &step, 1) != 1 || step != 'b') {
            ::_exit(103);
        }
        const Reach after = ReachInto(program, held, true);
        ::close(toProgram[1]);
        ::waitpid(program, nullptr, 0);
        // One bit per expectation that failed.
        ::_exit((before.openErr != 0 ? 1 : 0) | (after.openErr != EACCES ? 2 : 0) |
                (after.ptraceErr != EPERM ? 4 : 0));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(reacher, &status, 0), reacher);
    ASSERT_TRUE(WIFEXITED(status));
    const int failed = WEXITSTATUS(status);
    ASSERT_LT(failed, 100) << "set-up step " << failed << " failed";
    EXPECT_EQ(failed & 1, 0) << "the control: before the helper, the descriptor could not be opened";
    EXPECT_EQ(failed & 2, 0) << "a descriptor of the program could be opened through /proc";
    EXPECT_EQ(failed & 4, 0) << "the program could be traced";
}

}  // namespace
