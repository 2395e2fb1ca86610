#include "helper/confinement.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/hdreg.h>
#include <linux/landlock.h>
#include <scsi/sg.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace orm::helper {

namespace {

static_assert(kCapSysRawio == CAP_SYS_RAWIO && kCapSysAdmin == CAP_SYS_ADMIN);

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

// Files only under /dev (the disks, read and write) and /sys (read): no other file of the
// machine can be opened, written or handed to the program. Opens through O_PATH and
// /proc/self/fd are checked at the node they reach. Where the kernel has no Landlock, the other
// layers remain.
int RestrictFiles() {
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1) return 0;
    landlock_ruleset_attr attr{};
    // Every right of the first version, which every Landlock kernel knows.
    attr.handled_access_fs = (LANDLOCK_ACCESS_FS_MAKE_SYM << 1) - 1;
    const int ruleset = static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0));
    if (ruleset < 0) return errno;
    int err = 0;
    const struct {
        const char* path;
        std::uint64_t access;
    } beneath[] = {
        {"/dev", LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_WRITE_FILE},
        {"/sys", LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR},
    };
    for (const auto& b : beneath) {
        landlock_path_beneath_attr rule{};
        rule.allowed_access = b.access;
        rule.parent_fd = ::open(b.path, O_PATH | O_CLOEXEC);
        if (rule.parent_fd < 0 ||
            ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0) != 0) {
            err = errno;
        }
        if (rule.parent_fd >= 0) ::close(rule.parent_fd);
    }
    if (err == 0 && ::syscall(SYS_landlock_restrict_self, ruleset, 0) != 0) err = errno;
    ::close(ruleset);
    return err;
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
    for (unsigned long request :
         {static_cast<unsigned long>(SG_IO), static_cast<unsigned long>(HDIO_DRIVE_CMD)}) {
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
    allow(SCMP_SYS(exit));
    allow(SCMP_SYS(exit_group));
    if (rc == 0) rc = seccomp_load(f.ctx);
    return rc == 0 ? 0 : -rc;
}

}  // namespace

int Confine() {
    if (const int err = PointOutputAtNull(); err != 0) return err;
    if (const int err = KeepOnlyNeededCapabilities(); err != 0) return err;
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return errno;
    if (const int err = RestrictFiles(); err != 0) return err;
    return InstallAllowList();
}

}  // namespace orm::helper
