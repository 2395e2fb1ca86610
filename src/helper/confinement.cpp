#include "helper/confinement.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <linux/landlock.h>
#include <scsi/sg.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

#include "helper/drive_list.h"

namespace orm::helper {

namespace {

static_assert(kCapSysRawio == CAP_SYS_RAWIO);

// Rights of later Landlock ABIs, where the system's header predates them.
constexpr std::uint64_t kAccessTruncate = std::uint64_t{1} << 14;  // ABI 3
constexpr std::uint64_t kAccessIoctlDev = std::uint64_t{1} << 15;  // ABI 5

// Every file right the kernel's ABI knows, so that none is left unhandled (and so allowed).
std::uint64_t HandledRights(int abi) {
    std::uint64_t rights = (LANDLOCK_ACCESS_FS_MAKE_SYM << 1) - 1;
    if (abi >= 2) rights |= LANDLOCK_ACCESS_FS_REFER;
    if (abi >= 3) rights |= kAccessTruncate;
    if (abi >= 5) rights |= kAccessIoctlDev;
    return rights;
}

// The rights on a disk node: reading and writing it, and its ioctls where the ABI handles them.
std::uint64_t DiskRights(int abi) {
    return LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_WRITE_FILE | (abi >= 5 ? kAccessIoctlDev : 0);
}

int AddRule(int ruleset, int fd, std::uint64_t access) {
    landlock_path_beneath_attr rule{};
    rule.allowed_access = access;
    rule.parent_fd = fd;
    return ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0) == 0 ? 0 : errno;
}

// Builds a ruleset, lets add() fill it, and restricts the process to it.
template <typename Add>
int RestrictTo(Add add) {
    const int abi = LandlockAbi();
    if (abi < 1) return 0;
    landlock_ruleset_attr attr{};
    attr.handled_access_fs = HandledRights(abi);
    const int ruleset = static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0));
    if (ruleset < 0) return errno;
    int err = add(ruleset, abi);
    if (err == 0 && ::syscall(SYS_landlock_restrict_self, ruleset, 0) != 0) err = errno;
    ::close(ruleset);
    return err;
}

// The program's socket: the only descriptor the helper sends or receives on.
constexpr int kSocket = 0;

int PointOutputAtNull() {
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0) return errno;
    int err = 0;
    for (int target : {STDOUT_FILENO, STDERR_FILENO}) {
        if (null != target && ::dup2(null, target) < 0) err = errno;
    }
    if (null > STDERR_FILENO) ::close(null);
    return err;
}

int KeepOnlyNeededCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (::syscall(SYS_capget, &header, data) != 0) return errno;
    const bool canShrinkBounding = (data[0].effective & (1u << CAP_SETPCAP)) != 0;
    // The bounding set matters only across exec, which the allow-list refuses anyway; it is
    // shrunk too where the helper may, so that nothing it keeps is more than it uses.
    if (canShrinkBounding) {
        for (int cap = 0; ::prctl(PR_CAPBSET_READ, cap, 0, 0, 0) >= 0; ++cap) {
            if ((kKeptCapabilities >> cap & 1) == 0 && ::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0) {
                return errno;
            }
        }
    }
    if (::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL) return errno;
    for (int i = 0; i < 2; ++i) {
        const auto keep = static_cast<std::uint32_t>(kKeptCapabilities >> (32 * i));
        data[i].effective &= keep;
        data[i].permitted &= keep;
        data[i].inheritable = 0;
    }
    return ::syscall(SYS_capset, &header, data) == 0 ? 0 : errno;
}

// Files only on the listed disks' nodes (reading and writing) and in the sysfs folders the drive
// checks read: no console, terminal, memory node, SCSI generic node, partition, unattached loop
// node or any other file of the machine can be opened, let alone handed to the program. Rules
// on a node hold for that inode, under any name; opens through /proc/self/fd are checked at the
// node they reach. Where the kernel has no Landlock, the other layers remain.
int RestrictFiles(const std::vector<std::string>& diskNodes) {
    return RestrictTo([&](int ruleset, int abi) {
        for (const std::string& node : diskNodes) {
            const int fd = ::open(node.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0) continue;  // gone since it was listed: nothing to allow
            struct stat st {};
            const bool disk = ::fstat(fd, &st) == 0 && S_ISBLK(st.st_mode);
            const int err = disk ? AddRule(ruleset, fd, DiskRights(abi)) : 0;
            ::close(fd);
            if (err != 0) return err;
        }
        for (const char* folder : {"/sys/block", "/sys/dev/block", "/sys/devices"}) {
            const int fd = ::open(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) return errno;
            const int err = AddRule(ruleset, fd, LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR);
            ::close(fd);
            if (err != 0) return err;
        }
        return 0;
    });
}

struct Filter {
    scmp_filter_ctx ctx = nullptr;
    ~Filter() {
        if (ctx != nullptr) seccomp_release(ctx);
    }
};

// The calls of the request loop as traced on glibc 2.36 (the socket, the sysfs reads and the
// device opens of a drive check, the two drive-command ioctls, memory, the end), and beside
// newfstatat the fstat and statx that other C libraries make for the same look, and lseek.
int InstallAllowList() {
    Filter f;
    f.ctx = seccomp_init(SCMP_ACT_ERRNO(ENOSYS));
    if (f.ctx == nullptr) return ENOMEM;
    // A call made through another architecture's entry (int 0x80, x32) ends the helper.
    int rc = seccomp_attr_set(f.ctx, SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS);
    const auto allow = [&](int call, unsigned count = 0, const scmp_arg_cmp* args = nullptr) {
        if (rc == 0) rc = seccomp_rule_add_array(f.ctx, SCMP_ACT_ALLOW, call, count, args);
    };
    const scmp_arg_cmp onSocket[] = {SCMP_A0(SCMP_CMP_EQ, kSocket)};
    allow(SCMP_SYS(recvmsg), 1, onSocket);
    allow(SCMP_SYS(sendmsg), 1, onSocket);
    // Opens for reading, or for reading and writing exclusively as the wipe opens (a mounted or
    // otherwise held disk then refuses); never to create, truncate or append.
    constexpr std::uint64_t kOpenMode =
        O_ACCMODE | O_EXCL | O_CREAT | O_TRUNC | O_APPEND | (O_TMPFILE & ~O_DIRECTORY);
    const scmp_arg_cmp forReading[] = {SCMP_A2(SCMP_CMP_MASKED_EQ, kOpenMode & ~O_EXCL, O_RDONLY)};
    const scmp_arg_cmp forTheWipe[] = {SCMP_A2(SCMP_CMP_MASKED_EQ, kOpenMode, O_RDWR | O_EXCL)};
    allow(SCMP_SYS(openat), 1, forReading);
    allow(SCMP_SYS(openat), 1, forTheWipe);
    allow(SCMP_SYS(read));
    allow(SCMP_SYS(lseek));
    allow(SCMP_SYS(close));
    allow(SCMP_SYS(fstat));
    allow(SCMP_SYS(newfstatat));
    allow(SCMP_SYS(statx));
    // SG_IO for the ATA commands, the size and sector size for a probe's answer.
    for (unsigned long request : {static_cast<unsigned long>(SG_IO), static_cast<unsigned long>(BLKGETSIZE64),
                                  static_cast<unsigned long>(BLKSSZGET)}) {
        const scmp_arg_cmp only[] = {SCMP_A1(SCMP_CMP_EQ, request)};
        allow(SCMP_SYS(ioctl), 1, only);
    }
    // Memory, never executable: no code can be brought in.
    const scmp_arg_cmp noExec[] = {SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)};
    allow(SCMP_SYS(mmap), 1, noExec);
    allow(SCMP_SYS(munmap));
    allow(SCMP_SYS(mremap));
    allow(SCMP_SYS(madvise));
    allow(SCMP_SYS(brk));
    allow(SCMP_SYS(futex));
    // The second Landlock layer after the wipe's open: these can only ever narrow.
    allow(SCMP_SYS(landlock_create_ruleset));
    allow(SCMP_SYS(landlock_add_rule));
    allow(SCMP_SYS(landlock_restrict_self));
    allow(SCMP_SYS(exit));
    allow(SCMP_SYS(exit_group));
    if (rc == 0) rc = seccomp_load(f.ctx);
    return rc == 0 ? 0 : -rc;
}

}  // namespace

int LandlockAbi() {
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    return abi < 1 ? 0 : static_cast<int>(abi);
}

std::vector<std::string> ListedDiskNodes() {
    std::vector<std::string> nodes;
    for (const std::string& name : ListDriveNames("/sys")) nodes.push_back(DevicePathOf(name));
    return nodes;
}

int Confine(const std::vector<std::string>& diskNodes) {
    if (const int err = PointOutputAtNull(); err != 0) return err;
    if (const int err = KeepOnlyNeededCapabilities(); err != 0) return err;
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return errno;
    if (const int err = RestrictFiles(diskNodes); err != 0) return err;
    return InstallAllowList();
}

int NarrowFilesTo(int fd) {
    return RestrictTo([&](int ruleset, int abi) { return AddRule(ruleset, fd, DiskRights(abi)); });
}

}  // namespace orm::helper
