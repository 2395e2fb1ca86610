// The kernel services the program is built on: one interface, three implementations
// (the real Win32 calls, a Linux translation layer, simulated drives and clock).
//
// Every call keeps the meaning of the Win32 call it stands for: failures are a false (or
// invalid) result plus a Windows error code from LastError(); control calls take a Windows
// control code and raw byte buffers in the Windows layouts of win_layouts.h. The core builds
// and parses those bytes itself, so a platform layer only answers them.
//
// All calls are made from the window thread, except the timer callback, which runs on a
// thread of the platform's own between StartTimer and StopTimer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orm {

// A platform handle. kInvalidHandle is INVALID_HANDLE_VALUE; kNoHandle is what the program
// holds before it has opened anything (never a valid handle on any platform).
using Handle = std::intptr_t;
inline constexpr Handle kInvalidHandle = -1;
inline constexpr Handle kNoHandle = 0;

class KernelServices {
  public:
    virtual ~KernelServices() = default;

    // ---- Handles and drives (CreateFileA, CloseHandle, GetLastError, DeviceIoControl, ...) --

    // CreateFileA(path, access, share, nullptr, disposition, flags, nullptr). Returns
    // kInvalidHandle on failure. The last error is set by every call, also on success (a
    // platform may return a valid handle with a non-zero last error).
    virtual Handle Open(const std::string& path, std::uint32_t desiredAccess, std::uint32_t shareMode,
                        std::uint32_t creationDisposition, std::uint32_t flagsAndAttributes) = 0;
    virtual bool Close(Handle handle) = 0;
    virtual std::uint32_t LastError() = 0;

    // DeviceIoControl without an overlapped structure. `in` may be null with inSize 0; `out`
    // may be null with outSize 0. *bytesReturned is always written.
    virtual bool Control(Handle handle, std::uint32_t controlCode, const void* in, std::uint32_t inSize,
                         void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) = 0;

    // SetFilePointer(handle, low, &high, FILE_BEGIN): absolute positioning from the start of the
    // device. *newPosition receives the position the system reports; false on failure.
    virtual bool Seek(Handle handle, std::int64_t offset, std::int64_t* newPosition) = 0;

    // WriteFile without an overlapped structure. The buffer the program passes is aligned to
    // 4096 bytes and its length is a multiple of the drive's sector size except, possibly, at
    // the drive's very end.
    virtual bool Write(Handle handle, const void* buffer, std::uint32_t size, std::uint32_t* written) = 0;

    // FlushFileBuffers: returns when the data written through the handle is on the medium.
    virtual bool Flush(Handle handle) = 0;

    // ---- Queued writes (WriteFile with an OVERLAPPED, GetQueuedCompletionStatus) ---------------
    //
    // Several writes in flight at their own offsets, for drives that only reach their speed that
    // way. A platform or handle without them answers OpenWriteQueue with 1, and the program
    // positions and writes one chunk at a time.

    // What one queued write came back with: the tag it was queued with, and the result and
    // byte count GetOverlappedResult would give (error is the last error when ok is false).
    struct WriteCompletion {
        std::uint64_t tag = 0;
        bool ok = false;
        std::uint32_t bytes = 0;
        std::uint32_t error = 0;
    };

    // Readies the handle for up to `depth` writes in flight (on Windows a second handle opened
    // with FILE_FLAG_OVERLAPPED, with the same access and sharing, bound to a completion port).
    // Returns how many it takes; 1 or less: no queue.
    virtual std::uint32_t OpenWriteQueue(Handle /*handle*/, std::uint32_t /*depth*/) { return 1; }

    // WriteFile with an OVERLAPPED whose Offset and OffsetHigh give `offset`. True when the write
    // is under way: its completion, carrying `tag`, comes from WaitWrite, and `buffer` must stay
    // unchanged until then. False when it could not be started (last error set): no completion
    // comes for it.
    virtual bool WriteAt(Handle /*handle*/, const void* /*buffer*/, std::uint32_t /*size*/,
                         std::int64_t /*offset*/, std::uint64_t /*tag*/) {
        return false;
    }

    // GetQueuedCompletionStatus: waits for the next write to complete, in whatever order the
    // drive finishes them. False (last error set) when nothing is in flight or the queue broke.
    virtual bool WaitWrite(Handle /*handle*/, WriteCompletion* /*completion*/) { return false; }

    // Waits for the writes still in flight, then releases what OpenWriteQueue set up. Close does
    // the same before it closes the handle, so no write is ever in flight on a closed handle.
    virtual void CloseWriteQueue(Handle /*handle*/) {}

    // FormatMessageA(FROM_SYSTEM | IGNORE_INSERTS | ARGUMENT_ARRAY, code): the system's own
    // text, untrimmed, at most 255 characters; empty when the system has none.
    virtual std::string ErrorText(std::uint32_t code) = 0;

    // The name under which drive number n is opened: "\\.\PhysicalDrive<n>" on Windows, the
    // block device of the n-th drive elsewhere. A number with no drive behind it gives a name
    // that does not open (ERROR_FILE_NOT_FOUND).
    virtual std::string DrivePath(unsigned driveNumber) = 0;

    // ---- Clocks (QueryPerformanceCounter/Frequency, timeSetEvent/timeKillEvent, Sleep) --------

    virtual bool Counter(std::int64_t* value) = 0;
    virtual bool Frequency(std::int64_t* ticksPerSecond) = 0;

    // A periodic timer with a period of `periodMs` milliseconds and the finest resolution the
    // platform offers. `proc(user)` runs on the timer's own thread once a period. Returns the
    // whole timer id, 0 when no timer could be started.
    using TimerProc = void (*)(void* user);
    virtual std::uint32_t StartTimer(std::uint32_t periodMs, TimerProc proc, void* user) = 0;
    // Stops the timer. When it returns, no callback of that timer runs or will run.
    virtual bool StopTimer(std::uint32_t timerId) = 0;

    virtual void Sleep(std::uint32_t ms) = 0;

    // dwPlatformId of GetVersionExA: 2 for the NT family; -1 when it cannot be read. Platforms
    // the program supports besides Windows answer 2.
    virtual int PlatformId() = 0;

    // ---- The device-setup library (LoadLibraryA, GetProcAddress, FreeLibrary) ---------------

    // The library bound at start-up ("SetupApi.dll" on Windows, the device-enumeration library
    // elsewhere) and the entry-point names of its slots, in slot order (names may repeat).
    virtual std::string SetupLibraryName() = 0;
    virtual const std::vector<std::string>& SetupLibrarySlots() = 0;
    virtual void* LoadLib(const std::string& name) = 0;
    virtual void* FindSymbol(void* module, const std::string& name) = 0;
    virtual bool FreeLib(void* module) = 0;

    // ---- Shell ------------------------------------------------------------------------------

    // ShellExecuteA(owner, "open", address, nullptr, nullptr, SW_SHOW); the result is only for
    // logging, the program ignores it.
    virtual bool OpenWebAddress(const std::string& address) = 0;
};

}  // namespace orm
