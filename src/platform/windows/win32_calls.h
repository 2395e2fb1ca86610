// The Win32 functions the Windows kernel services are made of, behind one small interface, so
// that unit tests can put a recorder in their place and check the exact bytes the seam passes on
// where Wine cannot answer (SATA adapters, the IDENTIFY fall-backs). RealWin32Calls forwards
// every call unchanged.
#pragma once

#include "platform/windows/windows_sdk.h"

namespace orm::windows {

class Win32Calls {
  public:
    virtual ~Win32Calls() = default;

    virtual HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, DWORD disposition, DWORD flags) = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;
    virtual DWORD GetLastError() = 0;
    virtual void SetLastError(DWORD code) = 0;
    virtual DWORD FormatMessageA(DWORD flags, DWORD code, LPSTR buffer, DWORD size) = 0;
    virtual BOOL DeviceIoControl(HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                 DWORD outSize, LPDWORD returned) = 0;
    virtual DWORD SetFilePointer(HANDLE handle, LONG low, PLONG high, DWORD method) = 0;
    virtual BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD size, LPDWORD written) = 0;
    virtual BOOL FlushFileBuffers(HANDLE handle) = 0;
    // The overlapped calls of the queued writes: WriteFile with no byte count and an OVERLAPPED,
    // a completion port for one handle, waiting on it without a time limit, and cancelling.
    virtual BOOL WriteFileOverlapped(HANDLE handle, LPCVOID buffer, DWORD size, OVERLAPPED* overlapped) = 0;
    virtual HANDLE CreateIoCompletionPort(HANDLE handle, HANDLE port, ULONG_PTR key, DWORD threads) = 0;
    virtual BOOL GetQueuedCompletionStatus(HANDLE port, DWORD* bytes, ULONG_PTR* key,
                                           OVERLAPPED** overlapped) = 0;
    virtual BOOL CancelIoEx(HANDLE handle, OVERLAPPED* overlapped) = 0;
    virtual BOOL QueryPerformanceCounter(LARGE_INTEGER* value) = 0;
    virtual BOOL QueryPerformanceFrequency(LARGE_INTEGER* value) = 0;
    virtual MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK proc, DWORD_PTR user,
                                  UINT flags) = 0;
    virtual MMRESULT timeKillEvent(UINT id) = 0;
    virtual void Sleep(DWORD ms) = 0;
    virtual BOOL GetVersionExA(OSVERSIONINFOA* info) = 0;
    virtual HMODULE LoadLibraryA(LPCSTR name) = 0;
    virtual FARPROC GetProcAddress(HMODULE module, LPCSTR name) = 0;
    virtual BOOL FreeLibrary(HMODULE module) = 0;
    virtual HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, int show) = 0;
};

// The calls themselves.
class RealWin32Calls : public Win32Calls {
  public:
    HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, DWORD disposition, DWORD flags) override;
    BOOL CloseHandle(HANDLE handle) override;
    DWORD GetLastError() override;
    void SetLastError(DWORD code) override;
    DWORD FormatMessageA(DWORD flags, DWORD code, LPSTR buffer, DWORD size) override;
    BOOL DeviceIoControl(HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                         LPDWORD returned) override;
    DWORD SetFilePointer(HANDLE handle, LONG low, PLONG high, DWORD method) override;
    BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD size, LPDWORD written) override;
    BOOL FlushFileBuffers(HANDLE handle) override;
    BOOL WriteFileOverlapped(HANDLE handle, LPCVOID buffer, DWORD size, OVERLAPPED* overlapped) override;
    HANDLE CreateIoCompletionPort(HANDLE handle, HANDLE port, ULONG_PTR key, DWORD threads) override;
    BOOL GetQueuedCompletionStatus(HANDLE port, DWORD* bytes, ULONG_PTR* key,
                                   OVERLAPPED** overlapped) override;
    BOOL CancelIoEx(HANDLE handle, OVERLAPPED* overlapped) override;
    BOOL QueryPerformanceCounter(LARGE_INTEGER* value) override;
    BOOL QueryPerformanceFrequency(LARGE_INTEGER* value) override;
    MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK proc, DWORD_PTR user,
                          UINT flags) override;
    MMRESULT timeKillEvent(UINT id) override;
    void Sleep(DWORD ms) override;
    BOOL GetVersionExA(OSVERSIONINFOA* info) override;
    HMODULE LoadLibraryA(LPCSTR name) override;
    FARPROC GetProcAddress(HMODULE module, LPCSTR name) override;
    BOOL FreeLibrary(HMODULE module) override;
    HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, int show) override;
};

}  // namespace orm::windows
