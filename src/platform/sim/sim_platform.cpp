// Simulated drives: the drive table, handles, positioning and the Windows error texts.
#include "platform/sim/sim_platform.h"

#include "platform/sim/sim_state.h"
#include "platform/win_layouts.h"

namespace orm::sim {

namespace {

constexpr const char* kDrivePrefix = "\\\\.\\PhysicalDrive";

// The drive number named by a path of the form DrivePath(n), or -1.
int ParseDrivePath(const std::string& path) {
    const std::string prefix = kDrivePrefix;
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return -1;
    const std::string digits = path.substr(prefix.size());
    if (digits.size() > 3 || (digits.size() > 1 && digits[0] == '0')) return -1;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

}  // namespace

// ---- SimPlatform: drives -----------------------------------------------------------------------

SimPlatform::SimPlatform() : m_impl(std::make_unique<Impl>()) {
    m_impl->setupSlots = {"SetupDiGetClassDevsA",
                          "SetupDiGetClassDevsW",
                          "SetupDiGetClassDevsA",
                          "SetupDiEnumDeviceInfo",
                          "SetupDiDestroyDeviceInfoList",
                          "SetupDiGetDeviceRegistryPropertyA",
                          "SetupDiGetDeviceRegistryPropertyW",
                          "SetupDiGetDeviceRegistryPropertyA",
                          "SetupOpenInfFileA",
                          "SetupCloseInfFile"};
}

SimPlatform::~SimPlatform() {
    std::vector<std::uint32_t> ids;
    {
        std::lock_guard lock(m_impl->mutex);
        for (auto& [id, timer] : m_impl->timers) ids.push_back(id);
    }
    for (auto id : ids) StopTimer(id);
}

DriveBuilder SimPlatform::AddDrive(unsigned number) {
    std::lock_guard lock(m_impl->mutex);
    auto drive = std::make_shared<SimDrive>();
    drive->params.number = number;
    auto it = m_impl->drives.find(number);
    if (it != m_impl->drives.end()) it->second->gone = true;
    m_impl->drives[number] = drive;
    return DriveBuilder(*this, number);
}

DriveBuilder SimPlatform::SwapOnOpen(unsigned number) {
    std::lock_guard lock(m_impl->mutex);
    auto drive = std::make_shared<SimDrive>();
    drive->params = m_impl->drives.at(number)->params;
    m_impl->swaps[number] = drive;
    return DriveBuilder(*this, number, /*swap=*/true);
}

DriveSpec& SimPlatform::Drive(unsigned number) {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->drives.at(number)->params;
}

bool SimPlatform::HasDrive(unsigned number) const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->drives.count(number) != 0;
}

void SimPlatform::RemoveDrive(unsigned number) {
    std::lock_guard lock(m_impl->mutex);
    auto it = m_impl->drives.find(number);
    if (it == m_impl->drives.end()) return;
    it->second->gone = true;
    m_impl->drives.erase(it);
}

// ---- KernelServices: handles -------------------------------------------------------------------

Handle SimPlatform::Open(const std::string& path, std::uint32_t desiredAccess, std::uint32_t /*shareMode*/,
                         std::uint32_t /*creationDisposition*/, std::uint32_t /*flagsAndAttributes*/) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::Open;
    e.text = path;
    e.access = desiredAccess;
    const int number = ParseDrivePath(path);
    e.drive = number;
    if (auto swap = number < 0 ? m_impl->swaps.end() : m_impl->swaps.find(static_cast<unsigned>(number));
        swap != m_impl->swaps.end() && (desiredAccess & win::GENERIC_WRITE) != 0) {
        auto& slot = m_impl->drives[swap->first];
        if (slot) slot->gone = true;
        slot = swap->second;
        m_impl->swaps.erase(swap);
    }
    auto it = number < 0 ? m_impl->drives.end() : m_impl->drives.find(static_cast<unsigned>(number));
    std::uint32_t error = 0;
    Handle h = kInvalidHandle;
    if (it == m_impl->drives.end() || it->second->gone) {
        error = win::ERROR_FILE_NOT_FOUND;
    } else if (it->second->params.faults.openError) {
        error = *it->second->params.faults.openError;
    } else {
        h = m_impl->nextHandle++;
        OpenHandle& opened = m_impl->handles[h];
        opened.drive = it->second;
        opened.number = static_cast<unsigned>(number);
        opened.access = desiredAccess;
        error = it->second->params.faults.openLastError.value_or(0);
    }
    e.handle = h;
    e.ok = h != kInvalidHandle;
    e.error = error;
    m_impl->SetError(error);
    m_impl->Record(std::move(e));
    return h;
}

bool SimPlatform::Close(Handle handle) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::Close;
    e.handle = handle;
    auto it = m_impl->handles.find(handle);
    if (it == m_impl->handles.end()) {
        e.ok = false;
        e.error = win::ERROR_INVALID_HANDLE;
    } else {
        // Writes still in flight complete before the handle goes.
        e.drive = static_cast<int>(it->second.number);
        e.length = static_cast<std::uint32_t>(it->second.inFlight.size());
        m_impl->handles.erase(it);
    }
    m_impl->SetError(e.error);
    m_impl->Record(e);
    return e.ok;
}

std::uint32_t SimPlatform::LastError() {
    std::lock_guard lock(m_impl->mutex);
    auto it = m_impl->lastErrors.find(std::this_thread::get_id());
    return it == m_impl->lastErrors.end() ? 0 : it->second;
}

bool SimPlatform::Control(Handle handle, std::uint32_t controlCode, const void* in, std::uint32_t inSize,
                          void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::Control;
    e.handle = handle;
    e.code = controlCode;
    e.outSize = outSize;
    const auto* inBytes = static_cast<const std::uint8_t*>(in);
    if (inBytes != nullptr && inSize > 0) e.input.assign(inBytes, inBytes + inSize);
    std::uint32_t returned = 0;
    bool ok = false;
    OpenHandle* oh = m_impl->Find(handle);
    if (oh == nullptr) {
        e.error = win::ERROR_INVALID_HANDLE;
    } else {
        e.drive = static_cast<int>(oh->number);
        ok = m_impl->Control(*oh, e, controlCode, inBytes, inBytes == nullptr ? 0 : inSize,
                             static_cast<std::uint8_t*>(out), out == nullptr ? 0 : outSize, &returned);
    }
    if (bytesReturned != nullptr) *bytesReturned = returned;
    e.ok = ok;
    e.bytes = returned;
    m_impl->SetError(e.error);
    m_impl->Record(std::move(e));
    return ok;
}

bool SimPlatform::Seek(Handle handle, std::int64_t offset, std::int64_t* newPosition) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::Seek;
    e.handle = handle;
    e.offset = offset;
    if (OpenHandle* oh = m_impl->Usable(handle, e)) {
        const DriveFaults& f = oh->drive->params.faults;
        if (auto fail = f.seekFails.find(offset); fail != f.seekFails.end()) {
            e.ok = false;
            e.error = fail->second;
        } else if (offset < 0) {
            e.ok = false;
            e.error = win::ERROR_NEGATIVE_SEEK;
        } else {
            oh->position = offset;
            std::int64_t reported = offset;
            if (auto r = f.seekReports.find(offset); r != f.seekReports.end()) reported = r->second;
            if (newPosition != nullptr) *newPosition = reported;
        }
    }
    return m_impl->Finish(e);
}

std::string SimPlatform::ErrorText(std::uint32_t code) {
    // The texts Windows gives, with its trailing period and line break, so that callers trim them.
    static const std::map<std::uint32_t, std::string> kTexts = {
        {0, "The operation completed successfully.\r\n"},
        {1, "Incorrect function.\r\n"},
        {2, "The system cannot find the file specified.\r\n"},
        {3, "The system cannot find the path specified.\r\n"},
        {5, "Access is denied.\r\n"},
        {6, "The handle is invalid.\r\n"},
        {8, "Not enough storage is available to process this command.\r\n"},
        {19, "The media is write protected.\r\n"},
        {21, "The device is not ready.\r\n"},
        {23, "Data error (cyclic redundancy check).\r\n"},
        {25, "The drive cannot locate a specific area or track on the disk.\r\n"},
        {27, "The drive cannot find the sector requested.\r\n"},
        {29, "The system cannot write to the specified device.\r\n"},
        {31, "A device attached to the system is not functioning.\r\n"},
        {32, "The process cannot access the file because it is being used by another process.\r\n"},
        {38, "Reached the end of the file.\r\n"},
        {50, "The request is not supported.\r\n"},
        {87, "The parameter is incorrect.\r\n"},
        {112, "There is not enough space on the disk.\r\n"},
        {122, "The data area passed to a system call is too small.\r\n"},
        {126, "The specified module could not be found.\r\n"},
        {127, "The specified procedure could not be found.\r\n"},
        {131, "An attempt was made to move the file pointer before the beginning of the file.\r\n"},
        {170, "The requested resource is in use.\r\n"},
        {1117, "The request could not be performed because of an I/O device error.\r\n"},
        {1167, "The device is not connected.\r\n"},
    };
    auto it = kTexts.find(code);
    return it == kTexts.end() ? std::string() : it->second;
}

std::string SimPlatform::DrivePath(unsigned driveNumber) {
    return kDrivePrefix + std::to_string(driveNumber);
}

}  // namespace orm::sim
