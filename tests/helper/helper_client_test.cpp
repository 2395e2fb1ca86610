// The program's end of the helper: which helper it starts, and that once it has one, the user's
// other processes cannot reach into it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/linux/helper_client.h"

namespace {

TEST(HelperClient, StartsOnlyTheHelperOfItsOwnInstallation) {
    const std::string build = ORMANDEL_TEST_BUILD_DIR;
    const std::string installed = orm::lnx::HelperPathFor("/usr/bin/ormandel");
    EXPECT_TRUE(installed.ends_with("/libexec/ormandel/ormandel-helper")) << installed;
    // A package build names no build folder: its programs start the installed helper only.
    EXPECT_EQ(orm::lnx::HelperPathFor(build + "/src/ui/ormandel"),
              ORMANDEL_TEST_BUILD_TREE_HELPER ? ORMANDEL_TEST_HELPER : installed);
    for (const std::string& copy :
         {build + "-copy/ormandel-probe", std::string("/tmp/ormandel-probe"), std::string()}) {
        EXPECT_EQ(orm::lnx::HelperPathFor(copy), installed) << copy;
    }
}

// A second process of the same user (the program's parent, so that a ptrace rule for
// descendants cannot be what stops it) reaches for one of the program's descriptors before
// and after the program starts its helper. Root may reach anywhere, so both run as nobody.
TEST(HelperClient, OtherProcessesOfTheUserCannotReachIntoTheProgram) {
    const pid_t reacher = ::fork();
    ASSERT_GE(reacher, 0);
    if (reacher == 0) {
        int go[2], said[2];
        if ((::geteuid() == 0 && ::setresuid(65534, 65534, 65534) != 0) || ::pipe(go) != 0 ||
            ::pipe(said) != 0) {
            ::_exit(100);
        }
        const pid_t program = ::fork();
        if (program == 0) {
            // Changing the user made this process undumpable; a program a user starts is not.
            ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
            ::close(go[1]);
            char c = 0;
            bool ok = ::write(said[1], "a", 1) == 1 && ::read(go[0], &c, 1) == 1;
            {
                orm::lnx::HelperClient client;
                ok = ok &&
                     client.Start("/usr/bin/env", ORMANDEL_TEST_HELPER).status == orm::HelperStart::Started;
                ok = ::write(said[1], ok ? "b" : "x", 1) == 1 && ok && ::read(go[0], &c, 1) == 0;
            }
            ::_exit(ok ? 0 : 1);
        }
        ::close(go[0]);
        const std::string held = "/proc/" + std::to_string(program) + "/fd/" + std::to_string(said[1]);
        ::close(said[1]);
        char step = 0;
        if (::read(said[0], &step, 1) != 1) ::_exit(101);
        const int before = ::open(held.c_str(), O_RDONLY);
        if (::write(go[1], "a", 1) != 1 || ::read(said[0], &step, 1) != 1 || step != 'b') ::_exit(102);
        const bool opened = ::open(held.c_str(), O_RDONLY) >= 0 || errno != EACCES;
        const bool traced = ::ptrace(PTRACE_SEIZE, program, nullptr, nullptr) == 0 || errno != EPERM;
        ::close(go[1]);
        ::waitpid(program, nullptr, 0);
        ::_exit((before < 0 ? 1 : 0) | (opened ? 2 : 0) | (traced ? 4 : 0));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(reacher, &status, 0), reacher);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_LT(WEXITSTATUS(status), 100) << "set-up step " << WEXITSTATUS(status) << " failed";
    // Bits: 1 the control (before the helper the descriptor opens), 2 opened after, 4 traced.
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
