#include "platform/windows/windows_kernel_services.h"

#include <span>

#include "platform/windows/identify_fallback.h"
#include "platform/windows/setup_api_names.h"

namespace orm::windows {
namespace {

// Offsets of the two answers the seam mends.
constexpr std::size_t kQueryPropertyId = offsetof(win::STORAGE_PROPERTY_QUERY, PropertyId);
constexpr std::size_t kAdapterBusType = offsetof(win::STORAGE_ADAPTER_DESCRIPTOR, BusType);
constexpr std::uint32_t kFormatFlags =
    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY;
constexpr DWORD kErrorTextBuffer = 256;

HANDLE ToNative(Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

void CALLBACK TimerThunk(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* context = reinterpret_cast<WindowsKernelServices::TimerContext*>(user);
    std::lock_guard<std::mutex> lock(context->mutex);
    if (context->running) context->proc(context->user);
}

// Since Vista, storage drivers of AHCI controllers report their disks as BusTypeSata; IDE-mode
// controllers and the platforms the program was designed on report BusTypeAta for the same disks.
void ReportSataAsAta(const void* in, std::uint32_t inSize, void* out, std::uint32_t outSize, DWORD returned) {
    if (in == nullptr || out == nullptr || inSize < sizeof(std::uint32_t)) return;
    const auto* query = static_cast<const std::uint8_t*>(in);
    if (win::GetLe32(query + kQueryPropertyId) != win::StorageAdapterProperty) return;
    if (returned <= kAdapterBusType || outSize <= kAdapterBusType) return;
    auto* answer = static_cast<std::uint8_t*>(out);
    if (answer[kAdapterBusType] == win::BusTypeSata) answer[kAdapterBusType] = win::BusTypeAta;
}

}  // namespace

WindowsKernelServices::WindowsKernelServices()
    : m_ownCalls(std::make_unique<RealWin32Calls>()), m_calls(*m_ownCalls) {}

WindowsKernelServices::WindowsKernelServices(Win32Calls& calls) : m_calls(calls) {}

WindowsKernelServices::~WindowsKernelServices() {
    while (!m_queues.empty()) EndWriteQueue(m_queues.begin()->first, true);
    std::vector<std::uint32_t> running;
    for (const auto& entry : m_runningTimers) running.push_back(entry.first);
    for (std::uint32_t id : running) StopTimer(id);
}

Handle WindowsKernelServices::Open(const std::string& path, std::uint32_t desiredAccess,
                                   std::uint32_t shareMode, std::uint32_t creationDisposition,
                                   std::uint32_t flagsAndAttributes) {
    // A successful open need not reset the thread's last error, and the program reads it after every
    // open: clear it first, so that what it reads is what this call left.
    m_calls.SetLastError(ERROR_SUCCESS);
    HANDLE handle =
        m_calls.CreateFileA(path.c_str(), desiredAccess, shareMode, creationDisposition, flagsAndAttributes);
    if (handle == INVALID_HANDLE_VALUE) return kInvalidHandle;
    const auto result = reinterpret_cast<Handle>(handle);
    if ((desiredAccess & GENERIC_WRITE) != 0) {
        m_opened[result] = OpenedAs{path, desiredAccess, shareMode, creationDisposition, flagsAndAttributes};
    }
    return result;
}

bool WindowsKernelServices::Close(Handle handle) {
    // Writes still in flight are cancelled and waited for: none outlives the handle.
    EndWriteQueue(handle, true);
    m_opened.erase(handle);
    return m_calls.CloseHandle(ToNative(handle)) != FALSE;
}

std::uint32_t WindowsKernelServices::LastError() {
    return m_calls.GetLastError();
}

bool WindowsKernelServices::Control(Handle handle, std::uint32_t controlCode, const void* in,
                                    std::uint32_t inSize, void* out, std::uint32_t outSize,
                                    std::uint32_t* bytesReturned) {
    const bool identify = IsMiniportIdentify(controlCode, in, inSize);
    // The miniport request is its own answer buffer: keep the request for the fall-backs.
    std::vector<std::uint8_t> request;
    if (identify) {
        const auto* bytes = static_cast<const std::uint8_t*>(in);
        request.assign(bytes, bytes + inSize);
    }

    DWORD returned = 0;
    const BOOL ok = m_calls.DeviceIoControl(ToNative(handle), controlCode, const_cast<void*>(in), inSize, out,
                                            outSize, &returned);
    *bytesReturned = returned;

    if (ok && controlCode == IOCTL_STORAGE_QUERY_PROPERTY)
        ReportSataAsAta(in, inSize, out, outSize, returned);
    if (identify && (!ok || returned < win::kMiniportMinReturned)) {
        const DWORD error = m_calls.GetLastError();
        DWORD refusal = ERROR_SUCCESS;
        if (IdentifyAnotherWay(ToNative(handle), request, out, outSize, bytesReturned, &refusal)) return true;
        *bytesReturned = returned;
        if (refusal != ERROR_SUCCESS) {
            m_calls.SetLastError(refusal);
            return false;
        }
        m_calls.SetLastError(error);
    }
    return ok != FALSE;
}

bool WindowsKernelServices::IdentifyAnotherWay(HANDLE handle, const std::vector<std::uint8_t>& request,
                                               void* out, std::uint32_t outSize, std::uint32_t* bytesReturned,
                                               DWORD* refusal) {
    if (out == nullptr || outSize < win::kMiniportMinReturned) return false;
    const std::span<const std::uint8_t> requestBytes(request);
    // The fall-backs send the task file to the drive as it is: nothing but IDENTIFY DEVICE goes.
    if (!CarriesIdentifyDevice(requestBytes)) {
        *refusal = ERROR_INVALID_PARAMETER;
        return false;
    }
    IdentifyBlock data{};
    IdentifyAnswer answer = IdentifyThroughAtaPassThrough(m_calls, handle, requestBytes, data);
    if (answer == IdentifyAnswer::NoAnswer)
        answer = IdentifyThroughSmartReceive(m_calls, handle, requestBytes, data);
    if (answer == IdentifyAnswer::DriveRefused) *refusal = ERROR_IO_DEVICE;
    if (answer != IdentifyAnswer::Data) return false;
    *bytesReturned = WriteMiniportAnswer(requestBytes, data, static_cast<std::uint8_t*>(out), outSize);
    m_calls.SetLastError(ERROR_SUCCESS);
    return true;
}

bool WindowsKernelServices::Seek(Handle handle, std::int64_t offset, std::int64_t* newPosition) {
    const auto unsignedOffset = static_cast<std::uint64_t>(offset);
    LONG high = static_cast<LONG>(static_cast<std::uint32_t>(unsignedOffset >> 32));
    const LONG low = static_cast<LONG>(static_cast<std::uint32_t>(unsignedOffset));
    // INVALID_SET_FILE_POINTER is also a valid low part: only the last error tells them apart.
    m_calls.SetLastError(ERROR_SUCCESS);
    const DWORD newLow = m_calls.SetFilePointer(ToNative(handle), low, &high, FILE_BEGIN);
    if (newLow == INVALID_SET_FILE_POINTER && m_calls.GetLastError() != ERROR_SUCCESS) return false;
    *newPosition = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) | newLow);
    return true;
}

bool WindowsKernelServices::Write(Handle handle, const void* buffer, std::uint32_t size,
                                  std::uint32_t* written) {
    DWORD count = 0;
    const BOOL ok = m_calls.WriteFile(ToNative(handle), buffer, size, &count);
    *written = count;
    return ok != FALSE;
}

bool WindowsKernelServices::Flush(Handle handle) {
    return m_calls.FlushFileBuffers(ToNative(handle)) != FALSE;
}

std::uint32_t WindowsKernelServices::OpenWriteQueue(Handle handle, std::uint32_t depth) {
    const auto opened = m_opened.find(handle);
    if (depth <= 1 || opened == m_opened.end()) return 1;
    if (m_queues.count(handle) != 0) return static_cast<std::uint32_t>(m_queues[handle].requests.size());
    const OpenedAs& how = opened->second;
    // The same sharing as the first handle, which this one must get past: an exclusive first open
    // would refuse it (ERROR_SHARING_VIOLATION), and the drive then has no queue.
    HANDLE writes = m_calls.CreateFileA(how.path.c_str(), how.access, how.share, how.disposition,
                                        how.flags | FILE_FLAG_OVERLAPPED);
    if (writes == INVALID_HANDLE_VALUE) return 1;
    HANDLE port = m_calls.CreateIoCompletionPort(writes, nullptr, 0, 1);
    if (port == nullptr) {
        m_calls.CloseHandle(writes);
        return 1;
    }
    WriteQueue& queue = m_queues[handle];
    queue.writes = writes;
    queue.port = port;
    for (std::uint32_t i = 0; i < depth; ++i) queue.requests.push_back(std::make_unique<QueuedWrite>());
    return depth;
}

bool WindowsKernelServices::WriteAt(Handle handle, const void* buffer, std::uint32_t size,
                                    std::int64_t offset, std::uint64_t tag) {
    const auto found = m_queues.find(handle);
    if (found == m_queues.end()) {
        m_calls.SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    WriteQueue& queue = found->second;
    QueuedWrite* request = nullptr;
    for (auto& r : queue.requests) {
        if (!r->inFlight) {
            request = r.get();
            break;
        }
    }
    if (request == nullptr) {
        m_calls.SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    request->overlapped = OVERLAPPED{};
    const auto position = static_cast<std::uint64_t>(offset);
    request->overlapped.Offset = static_cast<DWORD>(position);
    request->overlapped.OffsetHigh = static_cast<DWORD>(position >> 32);
    request->tag = tag;
    // A write that completes at once still posts its completion to the port.
    if (!m_calls.WriteFileOverlapped(queue.writes, buffer, size, &request->overlapped) &&
        m_calls.GetLastError() != ERROR_IO_PENDING) {
        return false;
    }
    request->inFlight = true;
    ++queue.inFlight;
    return true;
}

bool WindowsKernelServices::WaitWrite(Handle handle, WriteCompletion* completion) {
    const auto found = m_queues.find(handle);
    if (found == m_queues.end() || found->second.inFlight == 0) {
        m_calls.SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    WriteQueue& queue = found->second;
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* overlapped = nullptr;
    const BOOL ok = m_calls.GetQueuedCompletionStatus(queue.port, &bytes, &key, &overlapped);
    // No OVERLAPPED back: the port itself failed, no write completed.
    if (overlapped == nullptr) return false;
    auto* request = reinterpret_cast<QueuedWrite*>(overlapped);
    completion->tag = request->tag;
    completion->ok = ok != FALSE;
    completion->bytes = bytes;
    completion->error = ok ? ERROR_SUCCESS : m_calls.GetLastError();
    request->inFlight = false;
    --queue.inFlight;
    return true;
}

void WindowsKernelServices::CloseWriteQueue(Handle handle) {
    EndWriteQueue(handle, false);
}

void WindowsKernelServices::EndWriteQueue(Handle handle, bool cancel) {
    const auto found = m_queues.find(handle);
    if (found == m_queues.end()) return;
    WriteQueue& queue = found->second;
    if (cancel && queue.inFlight > 0) m_calls.CancelIoEx(queue.writes, nullptr);
    while (queue.inFlight > 0) {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* overlapped = nullptr;
        m_calls.GetQueuedCompletionStatus(queue.port, &bytes, &key, &overlapped);
        if (overlapped == nullptr) break;
        reinterpret_cast<QueuedWrite*>(overlapped)->inFlight = false;
        --queue.inFlight;
    }
    m_calls.CloseHandle(queue.writes);
    m_calls.CloseHandle(queue.port);
    m_queues.erase(found);
}

std::string WindowsKernelServices::ErrorText(std::uint32_t code) {
    char buffer[kErrorTextBuffer] = {};
    const DWORD length = m_calls.FormatMessageA(kFormatFlags, code, buffer, kErrorTextBuffer);
    if (length == 0 || length >= kErrorTextBuffer) return {};
    return std::string(buffer, length);
}

std::string WindowsKernelServices::DrivePath(unsigned driveNumber) {
    return "\\\\.\\PhysicalDrive" + std::to_string(driveNumber);
}

bool WindowsKernelServices::Counter(std::int64_t* value) {
    LARGE_INTEGER counter{};
    if (!m_calls.QueryPerformanceCounter(&counter)) return false;
    *value = counter.QuadPart;
    return true;
}

bool WindowsKernelServices::Frequency(std::int64_t* ticksPerSecond) {
    LARGE_INTEGER frequency{};
    if (!m_calls.QueryPerformanceFrequency(&frequency)) return false;
    *ticksPerSecond = frequency.QuadPart;
    return true;
}

std::uint32_t WindowsKernelServices::StartTimer(std::uint32_t periodMs, TimerProc proc, void* user) {
    auto context = std::make_unique<TimerContext>();
    context->proc = proc;
    context->user = user;
    // Resolution 0 asks for the finest the system offers; TIME_KILL_SYNCHRONOUS makes timeKillEvent
    // wait for a callback under way.
    const MMRESULT id =
        m_calls.timeSetEvent(periodMs, 0, TimerThunk, reinterpret_cast<DWORD_PTR>(context.get()),
                             TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
    if (id == 0) return 0;
    m_runningTimers[id] = context.get();
    m_timerContexts.push_back(std::move(context));
    return id;
}

bool WindowsKernelServices::StopTimer(std::uint32_t timerId) {
    const auto found = m_runningTimers.find(timerId);
    const bool killed = m_calls.timeKillEvent(timerId) == TIMERR_NOERROR;
    if (found == m_runningTimers.end()) return killed;
    {
        std::lock_guard<std::mutex> lock(found->second->mutex);
        found->second->running = false;
    }
    m_runningTimers.erase(found);
    return killed;
}

void WindowsKernelServices::Sleep(std::uint32_t ms) {
    m_calls.Sleep(ms);
}

int WindowsKernelServices::PlatformId() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!m_calls.GetVersionExA(&info)) return -1;
    return static_cast<int>(info.dwPlatformId);
}

std::string WindowsKernelServices::SetupLibraryName() {
    return "SetupApi.dll";
}

const std::vector<std::string>& WindowsKernelServices::SetupLibrarySlots() {
    return SetupApiSlots();
}

void* WindowsKernelServices::LoadLib(const std::string& name) {
    return reinterpret_cast<void*>(m_calls.LoadLibraryA(name.c_str()));
}

void* WindowsKernelServices::FindSymbol(void* module, const std::string& name) {
    const FARPROC address = m_calls.GetProcAddress(static_cast<HMODULE>(module), name.c_str());
    return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(address));
}

bool WindowsKernelServices::FreeLib(void* module) {
    return m_calls.FreeLibrary(static_cast<HMODULE>(module)) != FALSE;
}

bool WindowsKernelServices::OpenWebAddress(const std::string& address) {
    // ShellExecuteA reports success with a value above 32.
    const HINSTANCE result = m_calls.ShellExecuteA(m_shellOwner, "open", address.c_str(), SW_SHOW);
    return reinterpret_cast<std::intptr_t>(result) > 32;
}

}  // namespace orm::windows
