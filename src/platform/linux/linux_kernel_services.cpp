#include "platform/linux/linux_kernel_services.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "helper/drive_list.h"
#include "helper/whole_disk.h"
#include "platform/linux/block_device_info.h"
#include "platform/linux/write_ring.h"
#include "platform/win_layouts.h"

extern char** environ;

namespace orm::lnx {

namespace {

constexpr Handle kFirstHandle = 0x100;
constexpr Handle kLastHandle = 0x7FFFFFFF;

}  // namespace

LinuxKernelServices::LinuxKernelServices(std::string sysRoot)
    : m_sysRoot(std::move(sysRoot)), m_nextHandle(kFirstHandle) {}

LinuxKernelServices::~LinuxKernelServices() {
    // The helper closes its copies when its socket closes, after this.
    for (auto& [handle, drive] : m_handles) {
        drive.ring.reset();
        if (drive.fd >= 0) ::close(drive.fd);
    }
}

HelperStartResult LinuxKernelServices::StartHelper(const std::string& pkexec, const std::string& helperPath) {
    auto client = std::make_unique<HelperClient>();
    HelperStartResult result = client->Start(pkexec, helperPath);
    if (result.status == HelperStart::Started) m_helper = std::move(client);
    return result;
}

HelperStartResult StartHelperUnlessRoot(LinuxKernelServices& ks) {
    if (::geteuid() == 0) return HelperStartResult{};
    return ks.StartHelper(PkexecPath(), DefaultHelperPath());
}

helper::AtaSendResult LinuxKernelServices::SendAta(const OpenDrive& d, const helper::AtaCommand& cmd,
                                                   std::uint8_t* data) {
    if (d.probe) {
        // A probe has the drive's IDENTIFY answer and nothing else to send to.
        helper::AtaSendResult result;
        if (cmd.command != win::ATA_IDENTIFY_DEVICE) {
            result.err = EACCES;
        } else if (d.probe->haveIdentify) {
            std::memcpy(data, d.probe->identify.data(), d.probe->identify.size());
            result.ok = result.outcome.ok = true;
        }
        return result;
    }
    if (d.helperId != 0 && m_helper) return m_helper->SendAta(d.helperId, cmd, data);
    return helper::SendAtaCommand(d.fd, cmd, data, helper::DriveCmdFallback::Yes);
}

bool LinuxKernelServices::Fail(std::uint32_t code) {
    m_lastError = code;
    return false;
}

bool LinuxKernelServices::FailErrno(int err, ErrnoSource source) {
    m_lastError = m_errors.FromErrno(err, source);
    // A helper that has ended says why in place of the socket's "Broken pipe".
    if (err == EPIPE && m_helper && m_helper->Ended()) m_errors.Remember(m_lastError, m_helper->EndText());
    return false;
}

bool LinuxKernelServices::Succeed() {
    m_lastError = win::ERROR_SUCCESS;
    return true;
}

LinuxKernelServices::OpenDrive* LinuxKernelServices::Find(Handle handle) {
    auto it = m_handles.find(handle);
    return it == m_handles.end() ? nullptr : &it->second;
}

Handle LinuxKernelServices::Open(const std::string& path, std::uint32_t desiredAccess,
                                 std::uint32_t /*shareMode*/, std::uint32_t creationDisposition,
                                 std::uint32_t /*flagsAndAttributes*/) {
    // Sharing is decided by the access asked for (see the header), so the share mode and the
    // flags of the Windows call have nothing to say here.
    if (creationDisposition != win::OPEN_EXISTING) {
        Fail(win::ERROR_INVALID_PARAMETER);
        return kInvalidHandle;
    }
    if (path.empty()) {
        FailErrno(ENOENT, ErrnoSource::File);
        return kInvalidHandle;
    }
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0) {
        FailErrno(errno, ErrnoSource::File);
        return kInvalidHandle;
    }
    if (!S_ISBLK(before.st_mode)) {
        FailErrno(ENOTBLK, ErrnoSource::File);
        return kInvalidHandle;
    }
    const bool writable = (desiredAccess & win::GENERIC_WRITE) != 0;
    // The disk is opened by its kernel name, the name of the node's own number, the same way
    // with the helper and without.
    const std::string name = helper::KernelNameOf(m_sysRoot, before.st_rdev);
    int fd = -1;
    std::uint32_t helperId = 0;
    std::optional<HelperClient::ProbeAnswer> probe;
    int err = ENODEV;
    if (!name.empty() && m_helper && writable) {
        err = m_helper->OpenDrive(name, &fd, &helperId);
    } else if (!name.empty() && m_helper) {
        // Only a drive on the ATA path is asked for its IDENTIFY block, as below without a helper.
        probe.emplace();
        const bool ata = ReadBlockDeviceInfo(m_sysRoot, name).busType == win::BusTypeAta;
        err = m_helper->ProbeDrive(name, ata, &*probe);
    } else if (!name.empty()) {
        err = helper::OpenWholeDisk(helper::DevicePlaces{"/dev", m_sysRoot}, name,
                                    writable ? helper::DiskOpenMode::Wipe : helper::DiskOpenMode::Probe, &fd);
    }
    if (err != 0) {
        FailErrno(err, ErrnoSource::File);
        return kInvalidHandle;
    }
    struct stat after = before;
    if (!probe && (::fstat(fd, &after) != 0 || !S_ISBLK(after.st_mode) || after.st_rdev != before.st_rdev)) {
        // The node changed between the look and the open.
        ::close(fd);
        if (helperId != 0) m_helper->CloseDrive(helperId);
        FailErrno(ENOTBLK, ErrnoSource::File);
        return kInvalidHandle;
    }
    if (m_handles.size() >= static_cast<std::size_t>(kLastHandle - kFirstHandle)) {
        if (fd >= 0) ::close(fd);
        if (helperId != 0) m_helper->CloseDrive(helperId);
        Fail(win::ERROR_TOO_MANY_OPEN_FILES);
        return kInvalidHandle;
    }
    while (m_handles.count(m_nextHandle) != 0) {
        m_nextHandle = m_nextHandle >= kLastHandle ? kFirstHandle : m_nextHandle + 1;
    }
    const Handle handle = m_nextHandle;
    m_nextHandle = m_nextHandle >= kLastHandle ? kFirstHandle : m_nextHandle + 1;
    OpenDrive drive;
    drive.fd = fd;
    drive.name = WholeDiskName(m_sysRoot, major(after.st_rdev), minor(after.st_rdev));
    drive.writable = writable;
    drive.helperId = helperId;
    drive.probe = std::move(probe);
    m_handles.emplace(handle, std::move(drive));
    Succeed();
    return handle;
}

bool LinuxKernelServices::Close(Handle handle) {
    auto it = m_handles.find(handle);
    if (it == m_handles.end()) return Fail(win::ERROR_INVALID_HANDLE);
    const int fd = it->second.fd;
    // Writes still in flight complete before the descriptor goes.
    it->second.ring.reset();
    if (it->second.helperId != 0 && m_helper) m_helper->CloseDrive(it->second.helperId);
    m_handles.erase(it);
    // The descriptor is gone whatever close says; an error is still worth telling.
    if (fd >= 0 && ::close(fd) != 0) return FailErrno(errno, ErrnoSource::File);
    return Succeed();
}

std::uint32_t LinuxKernelServices::LastError() {
    return m_lastError;
}

std::string LinuxKernelServices::ErrorText(std::uint32_t code) {
    return m_errors.Text(code);
}

// Offsets on a drive reach far beyond 2 GiB; a 32-bit off_t would cut them.
static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit (_FILE_OFFSET_BITS=64)");

bool LinuxKernelServices::Seek(Handle handle, std::int64_t offset, std::int64_t* newPosition) {
    OpenDrive* d = Find(handle);
    if (d == nullptr) return Fail(win::ERROR_INVALID_HANDLE);
    if (offset < 0) return Fail(win::ERROR_NEGATIVE_SEEK);
    const off_t position = ::lseek(d->fd, static_cast<off_t>(offset), SEEK_SET);
    if (position < 0) {
        // A block device takes no position past its end: past the end of a drive that shrank,
        // the drive is gone.
        const int err = errno;
        return FailErrno(err == EINVAL && Shrunk(*d, offset) ? ENXIO : err, ErrnoSource::File);
    }
    if (newPosition != nullptr) *newPosition = position;
    return Succeed();
}

bool LinuxKernelServices::Write(Handle handle, const void* buffer, std::uint32_t size,
                                std::uint32_t* written) {
    if (written != nullptr) *written = 0;
    OpenDrive* d = Find(handle);
    if (d == nullptr) return Fail(win::ERROR_INVALID_HANDLE);
    if (size == 0) return Succeed();
    bool retried = false;
    for (;;) {
        const ssize_t n = ::write(d->fd, buffer, size);
        if (n >= 0) {
            if (written != nullptr) *written = static_cast<std::uint32_t>(n);
            return Succeed();
        }
        const int err = errno;
        if (err == EINTR) continue;
        if (err == EINVAL && !retried && LeaveDirectIo(*d)) {
            retried = true;
            continue;
        }
        return FailErrno(err, ErrnoSource::File);
    }
}

bool LinuxKernelServices::Flush(Handle handle) {
    OpenDrive* d = Find(handle);
    if (d == nullptr) return Fail(win::ERROR_INVALID_HANDLE);
    // On a block device this also makes the block layer flush the drive's volatile write cache.
    if (::fdatasync(d->fd) != 0) return FailErrno(errno, ErrnoSource::File);
    return Succeed();
}

bool LinuxKernelServices::Shrunk(const OpenDrive& d, std::int64_t offset) {
    std::uint64_t length = 0;
    return ::ioctl(d.fd, BLKGETSIZE64, &length) != 0 || length <= static_cast<std::uint64_t>(offset);
}

bool LinuxKernelServices::LeaveDirectIo(const OpenDrive& d) {
    // Direct I/O takes only whole logical sectors from an aligned buffer: a tail that is not goes
    // through the page cache, as dd does; the final flush still covers it.
    const int flags = ::fcntl(d.fd, F_GETFL);
    return flags >= 0 && (flags & O_DIRECT) != 0 && ::fcntl(d.fd, F_SETFL, flags & ~O_DIRECT) == 0;
}

bool LinuxKernelServices::IsDirect(Handle handle) const {
    auto it = m_handles.find(handle);
    if (it == m_handles.end()) return false;
    const int flags = ::fcntl(it->second.fd, F_GETFL);
    return flags >= 0 && (flags & O_DIRECT) != 0;
}

std::string LinuxKernelServices::DrivePath(unsigned driveNumber) {
    if (driveNumber == 0) m_drives = helper::ListDriveNames(m_sysRoot);
    if (driveNumber >= m_drives.size()) return {};
    return helper::DevicePathOf(m_drives[driveNumber]);
}

bool LinuxKernelServices::Counter(std::int64_t* value) {
    timespec now{};
    if (::clock_gettime(CLOCK_MONOTONIC, &now) != 0) return FailErrno(errno, ErrnoSource::File);
    if (value != nullptr) *value = static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    return Succeed();
}

bool LinuxKernelServices::Frequency(std::int64_t* ticksPerSecond) {
    if (ticksPerSecond != nullptr) *ticksPerSecond = 1'000'000'000;
    return Succeed();
}

std::uint32_t LinuxKernelServices::StartTimer(std::uint32_t periodMs, TimerProc proc, void* user) {
    return m_timers.Start(periodMs, proc, user);
}

bool LinuxKernelServices::StopTimer(std::uint32_t timerId) {
    return m_timers.Stop(timerId);
}

void LinuxKernelServices::Sleep(std::uint32_t ms) {
    timespec rest{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1'000'000};
    while (::nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

int LinuxKernelServices::PlatformId() {
    return win::VER_PLATFORM_WIN32_NT;
}

std::string LinuxKernelServices::SetupLibraryName() {
    return "libudev.so.1";
}

const std::vector<std::string>& LinuxKernelServices::SetupLibrarySlots() {
    // Entry points of libudev 1 that a device enumeration would use; bound, never called.
    static const std::vector<std::string> kSlots = {
        "udev_new",
        "udev_ref",
        "udev_unref",
        "udev_enumerate_new",
        "udev_enumerate_unref",
        "udev_enumerate_add_match_subsystem",
        "udev_enumerate_add_match_property",
        "udev_enumerate_add_match_sysattr",
        "udev_enumerate_scan_devices",
        "udev_enumerate_get_list_entry",
        "udev_list_entry_get_next",
        "udev_list_entry_get_name",
        "udev_list_entry_get_value",
        "udev_device_new_from_syspath",
        "udev_device_new_from_devnum",
        "udev_device_unref",
        "udev_device_get_devnode",
        "udev_device_get_sysname",
        "udev_device_get_devtype",
        "udev_device_get_subsystem",
        "udev_device_get_parent_with_subsystem_devtype",
        "udev_device_get_property_value",
        "udev_device_get_sysattr_value",
    };
    return kSlots;
}

void* LinuxKernelServices::LoadLib(const std::string& name) {
    void* module = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* why = ::dlerror();
        m_errors.Remember(kErrorModNotFound, why ? why : "");
        Fail(kErrorModNotFound);
        return nullptr;
    }
    Succeed();
    return module;
}

void* LinuxKernelServices::FindSymbol(void* module, const std::string& name) {
    if (module == nullptr) {
        Fail(win::ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ::dlerror();
    void* symbol = ::dlsym(module, name.c_str());
    if (symbol == nullptr) {
        const char* why = ::dlerror();
        m_errors.Remember(kErrorProcNotFound, why ? why : "");
        Fail(kErrorProcNotFound);
        return nullptr;
    }
    Succeed();
    return symbol;
}

bool LinuxKernelServices::FreeLib(void* module) {
    if (module == nullptr) return Fail(win::ERROR_INVALID_HANDLE);
    if (::dlclose(module) != 0) {
        const char* why = ::dlerror();
        m_errors.Remember(win::ERROR_INVALID_HANDLE, why ? why : "");
        return Fail(win::ERROR_INVALID_HANDLE);
    }
    return Succeed();
}

bool LinuxKernelServices::OpenWebAddress(const std::string& address) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // The opener runs in a session of its own, silent, with nothing to read.
    for (int fd = 0; fd <= 2; ++fd) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::string program = m_webOpener;
    std::string argument = address;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    const int err = ::posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (err != 0) return FailErrno(err, ErrnoSource::File);
    // Only reaped, never waited for: the window goes on while the browser starts.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return Succeed();
}

}  // namespace orm::lnx
