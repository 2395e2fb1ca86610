// The kernel services on Windows: each call is the Win32 call it is named after, made through a
// Win32Calls table (the real one unless a test passes a recorder).
//
// Two answers are mended on the way back, because drivers since Vista answer differently from those
// the program was designed on:
// - the adapter property query reports a SATA disk (BusTypeSata, 11) as ATA (3), as IDE-mode
//   controllers do, so that SATA disks on AHCI controllers are ATA drives to the rest of the program;
// - an IDENTIFY sent through IOCTL_SCSI_MINIPORT that the driver does not answer is fetched with
//   IOCTL_ATA_PASS_THROUGH, else with SMART_RCV_DRIVE_DATA, and answered in the miniport layout.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel_services.h"
#include "platform/windows/win32_calls.h"

namespace orm::windows {

// Kernel services whose OpenWebAddress goes through the Windows shell take the window that owns
// what the shell shows for it: the program window whose label or logo was clicked.
class ShellOwned {
  public:
    virtual void SetShellOwner(HWND owner) = 0;

  protected:
    ~ShellOwned() = default;
};

class WindowsKernelServices : public KernelServices, public ShellOwned {
  public:
    WindowsKernelServices();  // the real calls
    explicit WindowsKernelServices(Win32Calls& calls);
    ~WindowsKernelServices() override;

    WindowsKernelServices(const WindowsKernelServices&) = delete;
    WindowsKernelServices& operator=(const WindowsKernelServices&) = delete;

    // The window that owns what the shell opens for OpenWebAddress (none by default).
    void SetShellOwner(HWND owner) override { m_shellOwner = owner; }

    Handle Open(const std::string& path, std::uint32_t desiredAccess, std::uint32_t shareMode,
                std::uint32_t creationDisposition, std::uint32_t flagsAndAttributes) override;
    bool Close(Handle handle) override;
    std::uint32_t LastError() override;
    bool Control(Handle handle, std::uint32_t controlCode, const void* in, std::uint32_t inSize, void* out,
                 std::uint32_t outSize, std::uint32_t* bytesReturned) override;
    bool Seek(Handle handle, std::int64_t offset, std::int64_t* newPosition) override;
    bool Write(Handle handle, const void* buffer, std::uint32_t size, std::uint32_t* written) override;
    bool Flush(Handle handle) override;
    // Queued writes go through a second handle on the same drive, opened like the first (the same
    // access, sharing and flags) plus FILE_FLAG_OVERLAPPED, and bound to a completion port; the
    // first handle keeps serving the control calls, the positioning and the flush.
    std::uint32_t OpenWriteQueue(Handle handle, std::uint32_t depth) override;
    bool WriteAt(Handle handle, const void* buffer, std::uint32_t size, std::int64_t offset,
                 std::uint64_t tag) override;
    bool WaitWrite(Handle handle, WriteCompletion* completion) override;
    void CloseWriteQueue(Handle handle) override;
    std::string ErrorText(std::uint32_t code) override;
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

    // One periodic timer's link between the multimedia timer thread and the program's callback.
    // It outlives its timer (kept until the services are destroyed): a tick already under way when
    // the timer is killed still finds it, sees it stopped and does nothing.
    struct TimerContext {
        std::mutex mutex;
        bool running = true;
        TimerProc proc = nullptr;
        void* user = nullptr;
    };

  private:
    // How a handle was opened, for the second handle of its queued writes.
    struct OpenedAs {
        std::string path;
        std::uint32_t access = 0, share = 0, disposition = 0, flags = 0;
    };
    struct QueuedWrite {
        OVERLAPPED overlapped{};  // first, so a completion's OVERLAPPED* finds its request
        std::uint64_t tag = 0;
        bool inFlight = false;
    };
    struct WriteQueue {
        HANDLE writes = INVALID_HANDLE_VALUE;
        HANDLE port = nullptr;
        std::vector<std::unique_ptr<QueuedWrite>> requests;
        unsigned inFlight = 0;
    };
    // Waits for every write of the queue still out (cancelling them first when asked), then
    // closes its handle and port.
    void EndWriteQueue(Handle handle, bool cancel);

    // True when the data were fetched; otherwise *refusal is the error the fall-back itself
    // reports (a command other than IDENTIFY DEVICE, or a drive that refused it), or
    // ERROR_SUCCESS when no other way answered and the miniport's failure stands.
    bool IdentifyAnotherWay(HANDLE handle, const std::vector<std::uint8_t>& request, void* out,
                            std::uint32_t outSize, std::uint32_t* bytesReturned, DWORD* refusal);

    std::unique_ptr<Win32Calls> m_ownCalls;
    Win32Calls& m_calls;
    HWND m_shellOwner = nullptr;
    std::map<std::uint32_t, TimerContext*> m_runningTimers;
    std::list<std::unique_ptr<TimerContext>> m_timerContexts;
    std::map<Handle, OpenedAs> m_opened;  // handles opened for writing
    std::map<Handle, WriteQueue> m_queues;
};

}  // namespace orm::windows
