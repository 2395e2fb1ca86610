// The drive helper's request handler on raw request bytes: every request it must refuse, and
// whether it ends the connection after it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../linux/fake_sysfs.h"
#include "helper/helper_protocol.h"
#include "helper/request_handler.h"
#include "platform/linux/helper_client.h"

namespace {

namespace hp = orm::helper;
using Bytes = std::vector<std::uint8_t>;

Bytes Open(const std::string& name) {
    return hp::ProbeRequest(name, false);
}

// SMART registers with the given command and feature; IDENTIFY DEVICE has no SMART signature.
Bytes Ata(std::uint8_t command, std::uint8_t features) {
    const bool smart = command == 0xB0;
    const std::uint8_t regs[8] = {
        features, 1, 1, std::uint8_t(smart ? 0x4F : 0), std::uint8_t(smart ? 0xC2 : 0), 0xA0, command, 0};
    return hp::AtaRequest(1, regs);
}

// Any IDEREGS block: features, count, LBA low, mid, high, device, command.
Bytes Regs(std::uint8_t features, std::uint8_t count, std::uint8_t device, std::uint8_t command) {
    const std::uint8_t regs[8] = {features, count, 0, 0, 0, device, command, 0};
    return hp::AtaRequest(1, regs);
}

Bytes With(Bytes b, std::size_t at, std::uint8_t value) {
    if (at >= b.size()) b.resize(at + 1, 0);
    b[at] = value;
    return b;
}

// Some block device of this machine, to point a symlink at: its name and number.
std::pair<std::string, std::string> AnyBlockDevice() {
    for (const auto& e : std::filesystem::directory_iterator("/sys/block")) {
        std::ifstream in(e.path() / "dev");
        std::string dev;
        if (in >> dev) return {e.path().filename().string(), dev};
    }
    return {"vda", "254:0"};
}

struct Row {
    const char* what;
    Bytes request;
    bool fdsArrived;
    bool realDev;  // device nodes from /dev instead of the test's own folder
    int err;
    bool stop;
};

TEST(HelperRequest, RefusesWhatTheProgramNeverAsks) {
    orm::lnx::test::FakeSysfs sys;
    const std::string devDir = sys.Root() + "/devnodes";
    std::filesystem::create_directories(devDir);
    const auto [blockName, blockDev] = AnyBlockDevice();
    sys.AddDisk("sda", {{"ro", "0"}, {"dev", "8:0"}});
    std::ofstream(devDir + "/sda") << "a regular file named like a disk";
    sys.AddDisk("null", {{"ro", "0"}, {"dev", "1:3"}});
    sys.AddDisk("sdb", {{"ro", "0"}, {"dev", blockDev}});
    std::filesystem::create_symlink("/dev/" + blockName, devDir + "/sdb");
    sys.AddDisk("sdc1", {{"ro", "0"}, {"dev", "8:33"}, {"partition", "1"}});
    sys.AddDisk("md0", {{"ro", "0"}, {"dev", "9:0"}});
    sys.AddDisk("loop7", {{"ro", "0"}, {"dev", "7:7"}});  // no backing file

    Bytes oversized = Open("sda");
    oversized.push_back(0);
    Bytes shortLength = Open("sda");
    shortLength[6] = 31;
    shortLength.pop_back();
    const Bytes ident = Ata(0xEC, 0);

    const Row rows[] = {
        {"a regular file", Open("sda"), false, false, ENOTBLK, false},
        {"/dev/null", Open("null"), false, true, ENOTBLK, false},
        {"a symlink to a block device", Open("sdb"), false, false, ENOTBLK, false},
        {"a partition", Open("sdc1"), false, false, ENODEV, false},
        {"an md device", Open("md0"), false, false, ENODEV, false},
        {"a loop device without a file", Open("loop7"), false, false, ENODEV, false},
        {"a name sysfs lacks", Open("sdz"), false, false, ENODEV, false},
        {"a relative path", Open("../sda"), false, false, EINVAL, false},
        {"an absolute path", Open("/dev/sda"), false, false, EINVAL, false},
        {"a folder separator alone", Open("cciss!"), false, false, EINVAL, false},
        {"an embedded NUL", Open(std::string("sd\0a", 4)), false, false, EINVAL, false},
        {"WRITE SECTORS", Ata(0x30, 0), false, false, EINVAL, false},
        {"SMART with another feature", Ata(0xB0, 0xD6), false, false, EINVAL, false},
        {"a register byte past the eight", With(ident, 19, 1), false, false, EINVAL, false},
        {"IDENTIFY on a drive never opened", ident, false, false, EBADF, false},
        // The read-only commands that find hidden sectors pass (to a drive never opened), and
        // every near miss of them, and what changes a drive's size or locks its overlay, not.
        {"READ NATIVE MAX ADDRESS EXT", Regs(0, 0, 0xE0, 0x27), false, false, EBADF, false},
        {"READ NATIVE MAX ADDRESS, drive 1", Regs(0, 0, 0xF0, 0xF8), false, false, EBADF, false},
        {"DEVICE CONFIGURATION IDENTIFY", Regs(0xC2, 0, 0xA0, 0xB1), false, false, EBADF, false},
        {"READ NATIVE MAX without the LBA bit", Regs(0, 0, 0xA0, 0x27), false, false, EINVAL, false},
        {"READ NATIVE MAX with a feature", Regs(1, 0, 0xE0, 0xF8), false, false, EINVAL, false},
        {"READ NATIVE MAX with a count", Regs(0, 1, 0xE0, 0x27), false, false, EINVAL, false},
        {"READ NATIVE MAX, device 0x40", Regs(0, 0, 0x40, 0x27), false, false, EINVAL, false},
        {"SET MAX ADDRESS", Regs(0, 0, 0xE0, 0xF9), false, false, EINVAL, false},
        {"SET MAX ADDRESS EXT", Regs(0, 0, 0xE0, 0x37), false, false, EINVAL, false},
        {"DCO RESTORE", Regs(0xC0, 0, 0xA0, 0xB1), false, false, EINVAL, false},
        {"DCO FREEZE LOCK", Regs(0xC1, 0, 0xA0, 0xB1), false, false, EINVAL, false},
        {"DCO SET", Regs(0xC3, 0, 0xA0, 0xB1), false, false, EINVAL, false},
        {"DCO IDENTIFY with a count", Regs(0xC2, 1, 0xA0, 0xB1), false, false, EINVAL, false},
        {"DCO IDENTIFY with the LBA bit", Regs(0xC2, 0, 0xE0, 0xB1), false, false, EINVAL, false},
        {"SECURITY FREEZE LOCK", Regs(0, 0, 0xA0, 0xF5), false, false, EINVAL, false},
        {"closing a drive never opened", hp::CloseRequest(5), false, false, EBADF, false},
        {"a truncated header", Bytes(ident.begin(), ident.begin() + 6), false, false, EPROTO, true},
        {"a truncated payload", Bytes(ident.begin(), ident.end() - 1), false, false, EPROTO, true},
        {"trailing bytes", oversized, false, false, EPROTO, true},
        {"a length that is not the opcode's", shortLength, false, false, EPROTO, true},
        {"an unknown opcode", With(hp::CloseRequest(1), 5, 9), false, false, EPROTO, true},
        {"the Ready opcode", With(hp::CloseRequest(1), 5, 0), false, false, EPROTO, true},
        {"another version", With(ident, 4, hp::kVersion + 1), false, false, EPROTO, true},
        {"a wrong magic", With(ident, 0, 'X'), false, false, EPROTO, true},
        {"a descriptor from the client", hp::CloseRequest(1), true, false, EPROTO, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        orm::helper::RequestHandler handler({row.realDev ? "/dev" : devDir, sys.Root()});
        const orm::helper::Reply reply =
            handler.Handle(row.request.data(), row.request.size(), row.fdsArrived);
        hp::Answer answer;
        ASSERT_TRUE(hp::DecodeAnswer(reply.bytes.data(), reply.bytes.size(), &answer));
        EXPECT_EQ(answer.err, row.err);
        EXPECT_EQ(reply.stop, row.stop);
        EXPECT_EQ(reply.fdToSend, -1);
        EXPECT_EQ(handler.OpenCount(), 0u);
    }
}

}  // namespace

// The helper program itself, run directly as this user (no pkexec): it serves only a socket of
// the program's kind on its standard input, answers over it, and ends when the program closes it
// (the client's destructor waits for that).
TEST(HelperProgram, ServesOnlyItsSocketAndEndsWithIt) {
    const std::string helper = ORMANDEL_TEST_HELPER;
    EXPECT_EQ(std::system((helper + " </dev/null").c_str()), 2 << 8);
    EXPECT_EQ(std::system((helper + " --any </dev/null").c_str()), 2 << 8);

    orm::lnx::HelperClient client;
    ASSERT_EQ(client.Start("/usr/bin/env", helper).status, orm::HelperStart::Started);
    int fd = -1;
    std::uint32_t id = 0;
    EXPECT_EQ(client.OpenDrive("nosuchdisk0", &fd, &id), ENODEV);
    EXPECT_EQ(fd, -1);
}
