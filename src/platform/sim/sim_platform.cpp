// Simulated drives: handles, storage, positioning, writes and the journal.
#include "platform/sim/sim_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/sim/sim_state.h"
#include "platform/win_layouts.h"

namespace orm::sim {

namespace {

constexpr std::uint32_t kErrorSectorNotFound = 27;
constexpr std::uint32_t kErrorWaitTimeout = 258;
constexpr const char* kDrivePrefix = "\\\\.\\PhysicalDrive";

// The first byte is zero and every byte equals the one before it.
bool AllZero(const std::uint8_t* p, std::size_t n) {
    return n == 0 || (p[0] == 0 && std::memcmp(p, p + 1, n - 1) == 0);
}

// Walks [offset, offset + length) of the sparse store a page at a time: fn(page, offset in the
// page, bytes already behind, bytes in this page).
template <class Fn>
void ForEachPage(std::int64_t offset, std::size_t length, Fn fn) {
    std::size_t done = 0;
    while (done < length) {
        const std::int64_t pos = offset + static_cast<std::int64_t>(done);
        const std::int64_t inPage = pos % kPageSize;
        const std::size_t n = std::min(length - done, static_cast<std::size_t>(kPageSize - inPage));
        fn(pos / kPageSize, inPage, done, n);
        done += n;
    }
}

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

// ---- SimDrive --------------------------------------------------------------------------------

SimDrive::~SimDrive() {
    if (fd >= 0) ::close(fd);
}

bool SimDrive::EnsureImage() {
    if (params.imageFile.empty()) return true;
    if (fd >= 0 && fdPath == params.imageFile) return true;
    if (fd >= 0) ::close(fd);
    fd = ::open(params.imageFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    fdPath = params.imageFile;
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size < params.length) {
        // Grows the image sparsely: the file system allocates nothing for the hole.
        if (::ftruncate(fd, params.length) != 0) return false;
    }
    return true;
}

bool SimDrive::ReadBytes(std::int64_t offset, std::uint8_t* out, std::size_t length) {
    if (!params.imageFile.empty()) {
        if (!EnsureImage()) return false;
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n =
                ::pread(fd, out + done, length - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
            if (n < 0) return false;
            if (n == 0) {
                std::memset(out + done, 0, length - done);
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    ForEachPage(offset, length, [&](std::int64_t page, std::int64_t inPage, std::size_t done, std::size_t n) {
        auto it = pages.find(page);
        if (it == pages.end()) {
            std::memset(out + done, 0, n);
        } else {
            std::memcpy(out + done, it->second.data() + inPage, n);
        }
    });
    return true;
}

bool SimDrive::WriteBytes(std::int64_t offset, const std::uint8_t* data, std::size_t length) {
    if (!params.imageFile.empty()) {
        if (!EnsureImage()) return false;
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n = ::pwrite(fd, data + done, length - done,
                                       static_cast<off_t>(offset) + static_cast<off_t>(done));
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    ForEachPage(offset, length, [&](std::int64_t page, std::int64_t inPage, std::size_t done, std::size_t n) {
        const bool zero = AllZero(data + done, n);
        auto it = pages.find(page);
        if (it == pages.end()) {
            if (!zero) {
                auto& bytes = pages[page];
                bytes.assign(static_cast<std::size_t>(kPageSize), 0);
                std::memcpy(bytes.data() + inPage, data + done, n);
            }
        } else if (zero && n == static_cast<std::size_t>(kPageSize)) {
            pages.erase(it);  // a wiped page costs nothing again
        } else {
            std::memcpy(it->second.data() + inPage, data + done, n);
        }
    });
    return true;
}

// ---- DriveBuilder ----------------------------------------------------------------------------

DriveSpec& DriveBuilder::Params() {
    if (m_swap) {
        std::lock_guard lock(m_platform.m_impl->mutex);
        return m_platform.m_impl->swaps.at(m_number)->params;
    }
    return m_platform.Drive(m_number);
}

DriveBuilder& DriveBuilder::Bus(std::uint8_t busType) {
    Params().busType = busType;
    return *this;
}
DriveBuilder& DriveBuilder::SectorSize(std::uint32_t reported) {
    Params().reportedSectorSize = reported;
    if (m_sectors) Params().length = *m_sectors * static_cast<std::int64_t>(reported);
    return *this;
}
DriveBuilder& DriveBuilder::Length(std::int64_t bytes) {
    m_sectors.reset();
    Params().length = bytes;
    return *this;
}
DriveBuilder& DriveBuilder::Sectors(std::int64_t count) {
    m_sectors = count;
    Params().length = count * static_cast<std::int64_t>(Params().reportedSectorSize);
    return *this;
}
DriveBuilder& DriveBuilder::MaxTransfer(std::uint32_t bytes) {
    Params().maxTransferLength = bytes;
    return *this;
}
DriveBuilder& DriveBuilder::Removable(bool removable) {
    Params().removable = removable;
    return *this;
}
DriveBuilder& DriveBuilder::Vendor(const std::string& text) {
    Params().vendor = text;
    return *this;
}
DriveBuilder& DriveBuilder::Product(const std::string& text) {
    Params().product = text;
    return *this;
}
DriveBuilder& DriveBuilder::Revision(const std::string& text) {
    Params().revision = text;
    return *this;
}
DriveBuilder& DriveBuilder::Serial(const std::string& text) {
    Params().serial = text;
    return *this;
}
DriveBuilder& DriveBuilder::DeviceDescriptor(const std::vector<std::uint8_t>& rawAnswer) {
    Params().rawDeviceDescriptor = rawAnswer;
    return *this;
}
DriveBuilder& DriveBuilder::InquiryByte13(std::uint8_t value) {
    Params().inquiryByte13 = value;
    return *this;
}
DriveBuilder& DriveBuilder::Identify(const std::array<std::uint8_t, 512>& block) {
    Params().identify = block;
    return *this;
}
DriveBuilder& DriveBuilder::Smart(const std::array<std::uint8_t, 512>& block) {
    Params().smart = block;
    return *this;
}
DriveBuilder& DriveBuilder::SmartEnabled(bool enabled) {
    Params().smartEnabled = enabled;
    return *this;
}
DriveBuilder& DriveBuilder::Image(const std::string& path) {
    Params().imageFile = path;
    return *this;
}
DriveBuilder& DriveBuilder::QueueDepth(std::uint32_t depth, bool completeNewestFirst) {
    Params().queueDepth = depth;
    Params().completeNewestFirst = completeNewestFirst;
    return *this;
}
DriveBuilder& DriveBuilder::FailOpen(std::uint32_t error) {
    Params().faults.openError = error;
    return *this;
}
DriveBuilder& DriveBuilder::OpenWithLastError(std::uint32_t error) {
    Params().faults.openLastError = error;
    return *this;
}
DriveBuilder& DriveBuilder::FailControl(std::uint32_t code, std::uint32_t error,
                                        std::optional<std::uint32_t> propertyId) {
    Params().faults.controlFails[ControlKey{code, propertyId}] = error;
    return *this;
}
DriveBuilder& DriveBuilder::ControlReturns(std::uint32_t code, std::uint32_t bytesReturned,
                                           std::optional<std::uint32_t> propertyId) {
    Params().faults.controlReturns[ControlKey{code, propertyId}] = bytesReturned;
    return *this;
}
DriveBuilder& DriveBuilder::FailSeekAt(std::int64_t offset, std::uint32_t error) {
    Params().faults.seekFails[offset] = error;
    return *this;
}
DriveBuilder& DriveBuilder::SeekReportsAt(std::int64_t offset, std::int64_t reported) {
    Params().faults.seekReports[offset] = reported;
    return *this;
}
DriveBuilder& DriveBuilder::FailWriteAt(std::int64_t offset, std::uint32_t error) {
    Params().faults.writeFails[offset] = error;
    return *this;
}
DriveBuilder& DriveBuilder::ShortWriteAt(std::int64_t offset, std::uint32_t written) {
    Params().faults.shortWrites[offset] = written;
    return *this;
}
DriveBuilder& DriveBuilder::FailFlush(std::uint32_t error) {
    Params().faults.flushError = error;
    return *this;
}
DriveBuilder& DriveBuilder::RefuseSmartEnable() {
    Params().faults.refuseSmartEnable = true;
    return *this;
}
DriveBuilder& DriveBuilder::SmartReadReturns(std::uint32_t bytes, bool noHeader) {
    Params().faults.smartReadReturns = bytes;
    Params().faults.smartReadNoHeader = noHeader;
    return *this;
}
DriveBuilder& DriveBuilder::IdentifyReturns(std::uint32_t bytes) {
    Params().faults.identifyReturns = bytes;
    return *this;
}
DriveBuilder& DriveBuilder::DriverStatusError(std::uint8_t driverError) {
    Params().faults.driverError = driverError;
    return *this;
}
DriveBuilder& DriveBuilder::NativeMaxAddress(std::uint64_t address) {
    Params().nativeMaxAddress = address;
    return *this;
}
DriveBuilder& DriveBuilder::DcoMaxAddress(std::uint64_t address) {
    Params().dcoMaxAddress = address;
    return *this;
}
DriveBuilder& DriveBuilder::AbortAtaCommand(std::uint8_t command) {
    Params().faults.abortedCommands.push_back(command);
    return *this;
}
DriveBuilder& DriveBuilder::VanishAfterOpen() {
    Params().faults.vanishAfterOpen = true;
    return *this;
}
DriveBuilder& DriveBuilder::VanishAt(std::int64_t offset, std::uint32_t error) {
    Params().faults.vanishAt = offset;
    Params().faults.vanishError = error;
    return *this;
}

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

std::vector<std::uint8_t> SimPlatform::ReadBack(unsigned number, std::int64_t offset, std::size_t length) {
    std::lock_guard lock(m_impl->mutex);
    std::vector<std::uint8_t> bytes(length, 0);
    m_impl->drives.at(number)->ReadBytes(offset, bytes.data(), length);
    return bytes;
}

void SimPlatform::Poke(unsigned number, std::int64_t offset, const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->drives.at(number)->WriteBytes(offset, bytes.data(), bytes.size());
}

bool SimPlatform::IsZero(unsigned number, std::int64_t offset, std::int64_t length) {
    std::lock_guard lock(m_impl->mutex);
    SimDrive& drive = *m_impl->drives.at(number);
    const std::int64_t end = offset + length;
    if (drive.params.imageFile.empty()) {
        for (const auto& [page, bytes] : drive.pages) {
            const std::int64_t start = page * kPageSize;
            const std::int64_t lo = std::max(start, offset);
            const std::int64_t hi = std::min(start + kPageSize, end);
            if (lo >= hi) continue;
            if (!AllZero(bytes.data() + (lo - start), static_cast<std::size_t>(hi - lo))) return false;
        }
        return true;
    }
    if (!drive.EnsureImage()) return false;
    std::vector<std::uint8_t> chunk(1 << 20);
    std::int64_t pos = offset;
    while (pos < end) {
        // Holes of a sparse image read as zero: skip straight to the next data.
        const off_t data = ::lseek(drive.fd, static_cast<off_t>(pos), SEEK_DATA);
        if (data < 0) break;
        pos = std::max<std::int64_t>(pos, data);
        if (pos >= end) break;
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(end - pos, 1 << 20));
        if (!drive.ReadBytes(pos, chunk.data(), n)) return false;
        if (!AllZero(chunk.data(), n)) return false;
        pos += static_cast<std::int64_t>(n);
    }
    return true;
}

// ---- Journal -----------------------------------------------------------------------------------

std::vector<JournalEntry> SimPlatform::Journal() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->journal;
}

void SimPlatform::ClearJournal() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->journal.clear();
}

std::vector<JournalEntry> SimPlatform::Calls(Call kind) const {
    std::lock_guard lock(m_impl->mutex);
    std::vector<JournalEntry> out;
    for (const auto& e : m_impl->journal) {
        if (e.call == kind) out.push_back(e);
    }
    return out;
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

std::uint32_t SimPlatform::Impl::WriteChunk(OpenHandle& oh, JournalEntry& e, std::int64_t offset,
                                            const void* buffer, std::uint32_t size) {
    e.offset = offset;
    SimDrive& drive = *oh.drive;
    const DriveFaults& f = drive.params.faults;
    if ((oh.access & win::GENERIC_WRITE) == 0) {
        e.ok = false;
        e.error = win::ERROR_ACCESS_DENIED;
    } else if (f.vanishAt && offset + static_cast<std::int64_t>(size) > *f.vanishAt) {
        drive.gone = true;
        e.ok = false;
        e.error = f.vanishError;
    } else if (auto fail = f.writeFails.find(offset); fail != f.writeFails.end()) {
        e.ok = false;
        e.error = fail->second;
    } else if (offset > drive.params.length || size > drive.params.length - offset) {
        // Past the end of the medium: nothing is written.
        e.ok = false;
        e.error = kErrorSectorNotFound;
    } else {
        std::uint32_t n = size;
        if (auto s = f.shortWrites.find(offset); s != f.shortWrites.end()) n = std::min(n, s->second);
        if (n > 0 && !drive.WriteBytes(offset, static_cast<const std::uint8_t*>(buffer), n)) {
            e.ok = false;
            e.error = win::ERROR_WRITE_FAULT;
        } else {
            return n;
        }
    }
    return 0;
}

bool SimPlatform::Write(Handle handle, const void* buffer, std::uint32_t size, std::uint32_t* written) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::Write;
    e.handle = handle;
    e.length = size;
    std::uint32_t done = 0;
    if (OpenHandle* oh = m_impl->Usable(handle, e)) {
        done = m_impl->WriteChunk(*oh, e, oh->position, buffer, size);
        oh->position += done;
    }
    if (written != nullptr) *written = done;
    e.bytes = done;
    return m_impl->Finish(e);
}

std::uint32_t SimPlatform::OpenWriteQueue(Handle handle, std::uint32_t depth) {
    std::lock_guard lock(m_impl->mutex);
    OpenHandle* oh = m_impl->Find(handle);
    if (oh == nullptr || oh->drive->params.queueDepth <= 1) return 1;
    JournalEntry e;
    e.call = Call::OpenWriteQueue;
    e.handle = handle;
    e.drive = static_cast<int>(oh->number);
    e.length = depth;
    m_impl->Finish(e);
    oh->queueOpen = true;
    return std::min(depth, oh->drive->params.queueDepth);
}

bool SimPlatform::WriteAt(Handle handle, const void* buffer, std::uint32_t size, std::int64_t offset,
                          std::uint64_t tag) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::WriteAt;
    e.handle = handle;
    e.offset = offset;
    e.length = size;
    OpenHandle* oh = m_impl->Find(handle);
    if (oh == nullptr || !oh->queueOpen) {
        e.ok = false;
        e.error = win::ERROR_INVALID_HANDLE;
        return m_impl->Finish(e);
    }
    // Queued whatever its fate; a drive that is gone fails it through its completion.
    JournalEntry result = e;
    std::uint32_t done = 0;
    if (m_impl->Usable(handle, result)) done = m_impl->WriteChunk(*oh, result, offset, buffer, size);
    e.drive = result.drive;
    e.bytes = done;
    oh->inFlight.push_back({offset, KernelServices::WriteCompletion{tag, result.ok, done, result.error}});
    return m_impl->Finish(e);
}

bool SimPlatform::WaitWrite(Handle handle, WriteCompletion* completion) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::WaitWrite;
    e.handle = handle;
    OpenHandle* oh = m_impl->Find(handle);
    if (oh == nullptr || oh->inFlight.empty()) {
        e.ok = false;
        e.error = oh == nullptr ? win::ERROR_INVALID_HANDLE : kErrorWaitTimeout;
        return m_impl->Finish(e);
    }
    e.drive = static_cast<int>(oh->number);
    const bool newest = oh->drive->params.completeNewestFirst;
    const auto [offset, result] = newest ? oh->inFlight.back() : oh->inFlight.front();
    if (newest) {
        oh->inFlight.pop_back();
    } else {
        oh->inFlight.pop_front();
    }
    *completion = result;
    e.offset = offset;
    e.bytes = result.bytes;
    return m_impl->Finish(e);
}

void SimPlatform::CloseWriteQueue(Handle handle) {
    std::lock_guard lock(m_impl->mutex);
    OpenHandle* oh = m_impl->Find(handle);
    if (oh == nullptr || !oh->queueOpen) return;
    JournalEntry e;
    e.call = Call::CloseWriteQueue;
    e.handle = handle;
    e.drive = static_cast<int>(oh->number);
    e.length = static_cast<std::uint32_t>(oh->inFlight.size());
    oh->inFlight.clear();
    oh->queueOpen = false;
    m_impl->Finish(e);
}

bool SimPlatform::Flush(Handle handle) {
    std::lock_guard lock(m_impl->mutex);
    JournalEntry e;
    e.call = Call::Flush;
    e.handle = handle;
    if (OpenHandle* oh = m_impl->Usable(handle, e)) {
        if (const auto& error = oh->drive->params.faults.flushError) {
            e.ok = false;
            e.error = *error;
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
