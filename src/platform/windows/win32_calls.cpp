#include "platform/windows/win32_calls.h"

#include <shellapi.h>

namespace orm::windows {

HANDLE RealWin32Calls::CreateFileA(LPCSTR name, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    return ::CreateFileA(name, access, share, nullptr, disposition, flags, nullptr);
}

BOOL RealWin32Calls::CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

DWORD RealWin32Calls::GetLastError() {
    return ::GetLastError();
}

void RealWin32Calls::SetLastError(DWORD code) {
    ::SetLastError(code);
}

DWORD RealWin32Calls::FormatMessageA(DWORD flags, DWORD code, LPSTR buffer, DWORD size) {
    return ::FormatMessageA(flags, nullptr, code, 0, buffer, size, nullptr);
}

BOOL RealWin32Calls::DeviceIoControl(HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                     DWORD outSize, LPDWORD returned) {
    return ::DeviceIoControl(handle, code, in, inSize, out, outSize, returned, nullptr);
}

DWORD RealWin32Calls::SetFilePointer(HANDLE handle, LONG low, PLONG high, DWORD method) {
    return ::SetFilePointer(handle, low, high, method);
}

BOOL RealWin32Calls::WriteFile(HANDLE handle, LPCVOID buffer, DWORD size, LPDWORD written) {
    return ::WriteFile(handle, buffer, size, written, nullptr);
}

BOOL RealWin32Calls::WriteFileOverlapped(HANDLE handle, LPCVOID buffer, DWORD size, OVERLAPPED* overlapped) {
    return ::WriteFile(handle, buffer, size, nullptr, overlapped);
}

HANDLE RealWin32Calls::CreateIoCompletionPort(HANDLE handle, HANDLE port, ULONG_PTR key, DWORD threads) {
    return ::CreateIoCompletionPort(handle, port, key, threads);
}

BOOL RealWin32Calls::GetQueuedCompletionStatus(HANDLE port, DWORD* bytes, ULONG_PTR* key,
                                               OVERLAPPED** overlapped) {
    return ::GetQueuedCompletionStatus(port, bytes, key, overlapped, INFINITE);
}

BOOL RealWin32Calls::CancelIoEx(HANDLE handle, OVERLAPPED* overlapped) {
    return ::CancelIoEx(handle, overlapped);
}

BOOL RealWin32Calls::FlushFileBuffers(HANDLE handle) {
    return ::FlushFileBuffers(handle);
}

BOOL RealWin32Calls::QueryPerformanceCounter(LARGE_INTEGER* value) {
    return ::QueryPerformanceCounter(value);
}

BOOL RealWin32Calls::QueryPerformanceFrequency(LARGE_INTEGER* value) {
    return ::QueryPerformanceFrequency(value);
}

MMRESULT RealWin32Calls::timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK proc, DWORD_PTR user,
                                      UINT flags) {
    return ::timeSetEvent(delay, resolution, proc, user, flags);
}

MMRESULT RealWin32Calls::timeKillEvent(UINT id) {
    return ::timeKillEvent(id);
}

void RealWin32Calls::Sleep(DWORD ms) {
    ::Sleep(ms);
}

BOOL RealWin32Calls::GetVersionExA(OSVERSIONINFOA* info) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    // Only dwPlatformId is read, which no manifest or compatibility shim changes.
    return ::GetVersionExA(info);
#pragma GCC diagnostic pop
}

HMODULE RealWin32Calls::LoadLibraryA(LPCSTR name) {
    return ::LoadLibraryA(name);
}

FARPROC RealWin32Calls::GetProcAddress(HMODULE module, LPCSTR name) {
    return ::GetProcAddress(module, name);
}

BOOL RealWin32Calls::FreeLibrary(HMODULE module) {
    return ::FreeLibrary(module);
}

HINSTANCE RealWin32Calls::ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, int show) {
    return ::ShellExecuteA(owner, verb, file, nullptr, nullptr, show);
}

}  // namespace orm::windows
