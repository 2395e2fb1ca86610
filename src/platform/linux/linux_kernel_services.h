// The kernel services on Linux: a translation layer that keeps the Win32 meaning of every call.
// Drives are the whole-disk block devices of sysfs (see drive_list.h), handles are small
// numbers standing for open file descriptors, control calls are answered in the Windows
// layouts from block-device ioctls, sysfs and SG_IO, and errno values become Windows error
// codes whose text is the system's own (see linux_errors.h).
//
// Only block devices are opened: a path that is not one (a regular file, a character device
// such as a tape that would rewind on open) is refused before it is opened, with the text of
// ENOTBLK. A read open does not block and leaves the drive shared; a read-write open is
// exclusive (O_EXCL), so a disk with a mounted filesystem or one the kernel holds (swap, RAID,
// LVM, dm-crypt) is refused with ERROR_BUSY, and writes bypass the page cache (O_DIRECT) where
// the device allows it.
//
// Run as an ordinary user with the drive helper attached (StartHelper), the opens and the ATA
// commands go through the helper, which runs as root. A read open (the probe) gets the helper's
// answers, not a descriptor: its size, sector size and IDENTIFY block come from the helper, the
// rest from sysfs. The read-write open gets the drive's descriptor, and everything else is done
// here on it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "helper/ata_pass_through.h"
#include "platform/kernel_services.h"
#include "platform/linux/helper_client.h"
#include "platform/linux/linux_errors.h"
#include "platform/linux/periodic_timers.h"

namespace orm::lnx {

class WriteRing;

class LinuxKernelServices : public KernelServices {
  public:
    // sysRoot is where sysfs is mounted; tests point it at a tree of their own.
    explicit LinuxKernelServices(std::string sysRoot = "/sys");
    ~LinuxKernelServices() override;
    LinuxKernelServices(const LinuxKernelServices&) = delete;
    LinuxKernelServices& operator=(const LinuxKernelServices&) = delete;

    Handle Open(const std::string& path, std::uint32_t desiredAccess, std::uint32_t shareMode,
                std::uint32_t creationDisposition, std::uint32_t flagsAndAttributes) override;
    bool Close(Handle handle) override;
    std::uint32_t LastError() override;
    bool Control(Handle handle, std::uint32_t controlCode, const void* in, std::uint32_t inSize, void* out,
                 std::uint32_t outSize, std::uint32_t* bytesReturned) override;
    bool Seek(Handle handle, std::int64_t offset, std::int64_t* newPosition) override;
    bool Write(Handle handle, const void* buffer, std::uint32_t size, std::uint32_t* written) override;
    bool Flush(Handle handle) override;
    // Queued writes go through an io_uring on the handle's own descriptor (the helper's, when it
    // opened the drive), only while that descriptor bypasses the page cache; where the ring cannot
    // be set up (an old kernel, seccomp, the io_uring_disabled sysctl) the handle has no queue.
    std::uint32_t OpenWriteQueue(Handle handle, std::uint32_t depth) override;
    bool WriteAt(Handle handle, const void* buffer, std::uint32_t size, std::int64_t offset,
                 std::uint64_t tag) override;
    bool WaitWrite(Handle handle, WriteCompletion* completion) override;
    void CloseWriteQueue(Handle handle) override;
    std::string ErrorText(std::uint32_t code) override;

    // The drive list is read from sysfs afresh when drive 0 is asked for (the start of a
    // probe) and kept for the higher numbers; a number past the list gives an empty path,
    // which fails to open with ERROR_FILE_NOT_FOUND.
    std::string DrivePath(unsigned driveNumber) override;

    bool Counter(std::int64_t* value) override;
    bool Frequency(std::int64_t* ticksPerSecond) override;
    std::uint32_t StartTimer(std::uint32_t periodMs, TimerProc proc, void* user) override;
    bool StopTimer(std::uint32_t timerId) override;
    void Sleep(std::uint32_t ms) override;
    int PlatformId() override;

    std::string SetupLibraryName() override;
    const std::vector<std::string>& SetupLibrarySlots() override;
    void* LoadLib(const std::string& name) override;
    void* FindSymbol(void* module, const std::string& name) override;
    bool FreeLib(void* module) override;

    bool OpenWebAddress(const std::string& address) override;

    // The program that opens web addresses ("xdg-open"); tests put a harmless one in its place.
    void SetWebOpener(std::string program) { m_webOpener = std::move(program); }

    // Whether the handle's writes bypass the page cache (O_DIRECT still set on its descriptor).
    bool IsDirect(Handle handle) const;

    // The most writes OpenWriteQueue grants from now on (1: none); the benchmark compares depths.
    void LimitWriteQueue(std::uint32_t depth) { m_queueLimit = depth; }

    // Starts the drive helper; from then on drives open through it. Call before the first drive
    // is opened.
    HelperStartResult StartHelper(const std::string& pkexec, const std::string& helperPath);
    bool HasHelper() const { return m_helper != nullptr; }

  private:
    struct OpenDrive {
        int fd = -1;
        std::string name;  // kernel name of the whole disk, for its sysfs attributes
        bool writable = false;
        std::uint32_t helperId = 0;  // the helper's copy of the descriptor, 0 without a helper
        // A read open through the helper: fd is -1 and the helper's answers stand in for it.
        std::optional<HelperClient::ProbeAnswer> probe;
        std::unique_ptr<WriteRing> ring;  // queued writes, between OpenWriteQueue and CloseWriteQueue
    };

    bool Fail(std::uint32_t code);
    bool FailErrno(int err, ErrnoSource source);
    // The drive's size in bytes and logical sector size: the helper's answer for a probe, else
    // the block device's; false (last error set) when the device cannot say.
    bool LengthOf(const OpenDrive& d, std::uint64_t* length);
    bool SectorSizeOf(const OpenDrive& d, std::uint32_t* sectorSize);
    bool Succeed();
    OpenDrive* Find(Handle handle);
    helper::AtaSendResult SendAta(const OpenDrive& d, const helper::AtaCommand& cmd, std::uint8_t* data);
    // Takes O_DIRECT off a descriptor that has it, for a write the kernel refused with EINVAL;
    // false when the descriptor was not direct or keeps the flag.
    static bool LeaveDirectIo(const OpenDrive& d);
    // Whether the drive no longer holds the byte at `offset`, or its size can no longer be read.
    // The program's offsets stay within the size it read at start-up, so such a drive shrank
    // under the handle: the kernel sets the size of a disk it deletes (unplugged, its bridge
    // reset) to 0. A positioning or write that fails on it is told as the drive no longer
    // connected, with the system's text for ENXIO ("No such device or address").
    static bool Shrunk(const OpenDrive& d, std::int64_t offset);
    // The Windows code for a failed write at `offset`; ERROR_DEVICE_NOT_CONNECTED where Shrunk.
    std::uint32_t WriteErrorCode(const OpenDrive& d, int err, std::int64_t offset);

    bool AnswerGeometry(const OpenDrive& d, std::uint8_t* out, std::uint32_t outSize,
                        std::uint32_t* returned);
    bool AnswerLength(const OpenDrive& d, std::uint8_t* out, std::uint32_t outSize, std::uint32_t* returned);
    bool AnswerProperty(const OpenDrive& d, const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
                        std::uint32_t outSize, std::uint32_t* returned);
    bool AnswerInquiry(const OpenDrive& d, std::uint8_t* out, std::uint32_t outSize, std::uint32_t* returned);
    bool AnswerSmart(const OpenDrive& d, std::uint32_t controlCode, const std::uint8_t* in,
                     std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize, std::uint32_t* returned);
    bool AnswerAtaPassThrough(const OpenDrive& d, const std::uint8_t* in, std::uint32_t inSize,
                              std::uint8_t* out, std::uint32_t outSize, std::uint32_t* returned);
    bool AnswerMiniport(const OpenDrive& d, const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
                        std::uint32_t outSize, std::uint32_t* returned);

    std::string m_sysRoot;
    std::vector<std::string> m_drives;
    std::map<Handle, OpenDrive> m_handles;
    Handle m_nextHandle;
    std::uint32_t m_lastError = 0;
    ErrorTexts m_errors;
    PeriodicTimers m_timers;
    std::string m_webOpener = "xdg-open";
    std::unique_ptr<HelperClient> m_helper;
    std::uint32_t m_queueLimit = 64;
};

// Started as root, nothing to do (NotNeeded); else starts the helper at DefaultHelperPath()
// through pkexec.
HelperStartResult StartHelperUnlessRoot(LinuxKernelServices& ks);

}  // namespace orm::lnx
