#include "helper/confinement.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/hdreg.h>
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

struct Filter {
    scmp_filter_ctx ctx = nullptr;
    ~Filter() {
        if (ctx != nullptr) seccomp_release(ctx);
    }
};

// Exactly the calls of the request loop (traced on glibc 2.36): the socket, the sysfs reads
// and the device opens of a drive check, the two drive-command ioctls, memory, and the end.
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
    // Opens for reading or for the wipe, never to create, truncate or append.
    const scmp_arg_cmp noCreate[] = {
        SCMP_A2(SCMP_CMP_MASKED_EQ, O_CREAT | O_TRUNC | O_APPEND | (O_TMPFILE & ~O_DIRECTORY), 0)};
    allow(SCMP_SYS(openat), 1, noCreate);
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
    return InstallAllowList();
}

}  // namespace orm::helper
