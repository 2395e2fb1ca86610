// A stand-in for the Win32 calls: records what the Windows kernel services pass on and answers as
// each test tells it, for the cases that Wine cannot show (SATA adapters, miniport refusals).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/windows/win32_calls.h"

namespace orm::windows::testing {

struct RecordedControl {
    DWORD code = 0;
    std::vector<std::uint8_t> input;  // the input bytes as they were when the call was made
    DWORD outSize = 0;
    bool inputIsOutput = false;  // one buffer for both directions
};

class RecordingWin32Calls : public Win32Calls {
  public:
    // Answers a device control call: fills `out`, sets *returned and the last error, returns the result.
    using ControlAnswer = std::function<BOOL(const RecordedControl& call, std::uint8_t* out, DWORD* returned,
                                             DWORD* lastError)>;

    HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, DWORD disposition, DWORD flags) override {
        openedName = name;
        openedAccess = access;
        openedShare = share;
        openedDisposition = disposition;
        openedFlags = flags;
        lastErrorAtOpen = m_lastError;
        m_lastError = openError;
        return openResult;
    }
    BOOL CloseHandle(HANDLE handle) override {
        closed.push_back(handle);
        return TRUE;
    }
    DWORD GetLastError() override { return m_lastError; }
    void SetLastError(DWORD code) override { m_lastError = code; }
    DWORD FormatMessageA(DWORD flags, DWORD code, LPSTR buffer, DWORD size) override {
        formatFlags = flags;
        formatCode = code;
        formatSize = size;
        const std::string text = messageText.substr(0, size - 1);
        text.copy(buffer, text.size());
        buffer[text.size()] = '\0';
        return static_cast<DWORD>(text.size());
    }
    BOOL DeviceIoControl(HANDLE, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                         LPDWORD returned) override {
        RecordedControl call;
        call.code = code;
        if (in != nullptr) {
            const auto* bytes = static_cast<const std::uint8_t*>(in);
            call.input.assign(bytes, bytes + inSize);
        }
        call.outSize = outSize;
        call.inputIsOutput = in != nullptr && in == out;
        controls.push_back(call);
        *returned = 0;
        if (!controlAnswer) {
            m_lastError = ERROR_NOT_SUPPORTED;
            return FALSE;
        }
        DWORD error = ERROR_SUCCESS;
        const BOOL ok = controlAnswer(call, static_cast<std::uint8_t*>(out), returned, &error);
        m_lastError = error;
        return ok;
    }
    DWORD SetFilePointer(HANDLE, LONG low, PLONG high, DWORD method) override {
        seekLow = low;
        seekHigh = *high;
        seekMethod = method;
        lastErrorAtSeek = m_lastError;
        m_lastError = seekError;
        *high = seekReportHigh;
        return seekReportLow;
    }
    BOOL WriteFile(HANDLE, LPCVOID, DWORD size, LPDWORD written) override {
        writeSize = size;
        *written = writeReports;
        return writeResult;
    }
    BOOL FlushFileBuffers(HANDLE) override { return TRUE; }
    // No queued writes: the recorded layer keeps one write at a time.
    BOOL WriteFileOverlapped(HANDLE, LPCVOID, DWORD, OVERLAPPED*) override {
        m_lastError = ERROR_INVALID_FUNCTION;
        return FALSE;
    }
    HANDLE CreateIoCompletionPort(HANDLE, HANDLE, ULONG_PTR, DWORD) override { return nullptr; }
    BOOL GetQueuedCompletionStatus(HANDLE, DWORD*, ULONG_PTR*, OVERLAPPED** overlapped) override {
        *overlapped = nullptr;
        return FALSE;
    }
    BOOL CancelIoEx(HANDLE, OVERLAPPED*) override { return FALSE; }
    BOOL QueryPerformanceCounter(LARGE_INTEGER* value) override {
        value->QuadPart = 1;
        return TRUE;
    }
    BOOL QueryPerformanceFrequency(LARGE_INTEGER* value) override {
        value->QuadPart = 10'000'000;
        return TRUE;
    }
    MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK proc, DWORD_PTR user,
                          UINT flags) override {
        timerDelay = delay;
        timerResolution = resolution;
        timerFlags = flags;
        timerProc = proc;
        timerUser = user;
        return timerId;
    }
    MMRESULT timeKillEvent(UINT id) override {
        killed.push_back(id);
        return TIMERR_NOERROR;
    }
    void Sleep(DWORD ms) override { slept.push_back(ms); }
    BOOL GetVersionExA(OSVERSIONINFOA* info) override {
        versionInfoSize = info->dwOSVersionInfoSize;
        info->dwPlatformId = platformId;
        return versionResult;
    }
    HMODULE LoadLibraryA(LPCSTR) override { return nullptr; }
    FARPROC GetProcAddress(HMODULE, LPCSTR) override { return nullptr; }
    BOOL FreeLibrary(HMODULE) override { return TRUE; }
    HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, int show) override {
        shellOwner = owner;
        shellVerb = verb;
        shellFile = file;
        shellShow = show;
        return reinterpret_cast<HINSTANCE>(shellResult);
    }

    // Runs one tick of the timer as the multimedia timer thread would.
    void FireTimer() { timerProc(timerId, 0, timerUser, 0, 0); }

    // What the calls got.
    std::string openedName;
    DWORD openedAccess = 0, openedShare = 0, openedDisposition = 0, openedFlags = 0;
    DWORD lastErrorAtOpen = 0;
    std::vector<HANDLE> closed;
    DWORD formatFlags = 0, formatCode = 0, formatSize = 0;
    std::vector<RecordedControl> controls;
    LONG seekLow = 0, seekHigh = 0;
    DWORD seekMethod = 99;
    DWORD lastErrorAtSeek = 0;
    DWORD writeSize = 0;
    UINT timerDelay = 0, timerResolution = 99, timerFlags = 0;
    LPTIMECALLBACK timerProc = nullptr;
    DWORD_PTR timerUser = 0;
    std::vector<UINT> killed;
    std::vector<DWORD> slept;
    DWORD versionInfoSize = 0;
    HWND shellOwner = nullptr;
    std::string shellVerb, shellFile;
    int shellShow = -1;

    // What the calls answer.
    HANDLE openResult = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0x44));
    DWORD openError = ERROR_SUCCESS;
    std::string messageText;
    ControlAnswer controlAnswer;
    DWORD seekReportLow = 0;
    LONG seekReportHigh = 0;
    DWORD seekError = ERROR_SUCCESS;
    DWORD writeReports = 0;
    BOOL writeResult = TRUE;
    MMRESULT timerId = 0x12345;  // above 65535: the id must travel whole
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    BOOL versionResult = TRUE;
    std::intptr_t shellResult = 42;

    void PresetLastError(DWORD code) { m_lastError = code; }

  private:
    DWORD m_lastError = ERROR_SUCCESS;
};

}  // namespace orm::windows::testing
