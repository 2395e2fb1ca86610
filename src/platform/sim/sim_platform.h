// Simulated drives and an emulated clock behind the kernel-services interface, for the tests
// and the demo. Drives are built with a small fluent builder (or loaded from a JSON file), answer
// the control codes the program uses in their Windows layouts, keep their bytes in a sparse
// in-memory store or an image file, take injected faults, and every call is journaled so a test
// can check the order of calls and that a call never happened.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel_services.h"

namespace orm::sim {

enum class Call {
    Open,
    Close,
    Control,
    Seek,
    Write,
    Flush,
    OpenWriteQueue,
    WriteAt,
    WaitWrite,
    CloseWriteQueue,
    Counter,
    Frequency,
    StartTimer,
    StopTimer,
    Sleep,
    LoadLib,
    FindSymbol,
    FreeLib,
    OpenWebAddress,
};

struct JournalEntry {
    Call call = Call::Open;
    Handle handle = kNoHandle;
    int drive = -1;                   // drive number behind the handle (or opened by path); -1 if none
    std::string text;                 // Open: path; LoadLib/FindSymbol: name; OpenWebAddress: address
    std::uint32_t access = 0;         // Open: desired access
    std::uint32_t code = 0;           // Control: control code
    std::uint32_t propertyId = 0;     // Control, IOCTL_STORAGE_QUERY_PROPERTY: PropertyId of the query
    std::vector<std::uint8_t> input;  // Control: copy of the input bytes
    std::uint32_t outSize = 0;        // Control: output length passed
    std::uint8_t ataFeatures = 0;     // SMART / miniport IDENTIFY / pass-through: register values sent
    std::uint8_t ataCommand = 0;
    std::uint8_t ataDriveHead = 0;
    std::uint8_t ataDriveNumber = 0;  // bDriveNumber
    std::int64_t offset = 0;          // Seek: offset asked; Write, WriteAt, WaitWrite: position written at
    std::uint32_t length = 0;         // Write, WriteAt: length; Sleep: ms; Close: writes drained
                                      // OpenWriteQueue: depth asked
    bool ok = true;                   // the call's result
    std::uint32_t error = 0;          // the last error the call left
    std::uint32_t bytes = 0;          // Control: bytes returned; Write: bytes written
};

// Selects one control call for a fault: a control code and, for IOCTL_STORAGE_QUERY_PROPERTY,
// the PropertyId of the query (0 device, 1 adapter).
struct ControlKey {
    std::uint32_t code = 0;
    std::optional<std::uint32_t> propertyId;
    bool operator<(const ControlKey& o) const {
        return code != o.code ? code < o.code : propertyId < o.propertyId;
    }
};

struct DriveFaults {
    std::optional<std::uint32_t> openError;              // Open fails with this code
    std::optional<std::uint32_t> openLastError;          // Open succeeds but leaves this last error
    std::map<ControlKey, std::uint32_t> controlFails;    // call fails with this code (0 allowed)
    std::map<ControlKey, std::uint32_t> controlReturns;  // call succeeds reporting this count
    std::map<std::int64_t, std::uint32_t> seekFails;     // positioning at offset fails, always
    std::map<std::int64_t, std::int64_t> seekReports;    // positioning at offset reports this
    std::map<std::int64_t, std::uint32_t> writeFails;    // a write starting at offset fails
    std::map<std::int64_t, std::uint32_t> shortWrites;   // a write at offset writes this many
    std::optional<std::uint32_t> flushError;             // Flush fails with this code
    bool refuseSmartEnable = false;                      // SMART ENABLE OPERATIONS fails
    std::optional<std::uint32_t> smartReadReturns;       // bytes returned by SMART READ DATA
    bool smartReadNoHeader = false;                      // 512-byte answer: data at offset 0
    std::optional<std::uint32_t> identifyReturns;        // bytes returned by miniport IDENTIFY
    std::optional<std::uint8_t> driverError;             // DRIVERSTATUS.bDriverError in answers
    std::vector<std::uint8_t> abortedCommands;           // ATA commands the drive aborts (pass-through)
    bool vanishAfterOpen = false;          // every call on an open handle fails with vanishError
    std::optional<std::int64_t> vanishAt;  // the drive is gone once a write reaches this offset
    std::uint32_t vanishError = 1167;  // what calls on a gone drive fail with (ERROR_DEVICE_NOT_CONNECTED)
};

struct DriveSpec {
    unsigned number = 0;
    std::uint8_t busType = 3;
    std::uint32_t reportedSectorSize = 512;  // DISK_GEOMETRY.BytesPerSector
    std::int64_t length = 0;                 // GET_LENGTH_INFORMATION.Length, bytes
    std::uint32_t maxTransferLength = 131072;
    bool removable = false;
    std::string vendor, product, revision, serial;
    // When set, the device property answer is exactly these bytes (bytes returned = size,
    // cut to the output length), for odd offsets, texts without a zero byte or short answers.
    std::optional<std::vector<std::uint8_t>> rawDeviceDescriptor;
    std::uint8_t inquiryByte13 = 0;
    std::optional<std::array<std::uint8_t, 512>> identify;  // absent: ATA commands fail
    std::optional<std::array<std::uint8_t, 512>> smart;
    bool smartEnabled = true;  // the drive's SMART state; answers of IDENTIFY word 85 bit 0 follow it
    // What READ NATIVE MAX ADDRESS (EXT) answers; absent: the last sector IDENTIFY reports (no
    // host protected area). Set below that count it is the garbage some bridges return.
    std::optional<std::uint64_t> nativeMaxAddress;
    // The maximum address of the device configuration overlay (DCO IDENTIFY words 3-6); absent:
    // the drive aborts DCO IDENTIFY.
    std::optional<std::uint64_t> dcoMaxAddress;
    std::string imageFile;  // backing file; empty: sparse in-memory storage
    // Writes the drive takes in flight at once (1: no queue, the program writes one at a time),
    // and whether their completions come back newest first instead of in the order queued.
    std::uint32_t queueDepth = 1;
    bool completeNewestFirst = false;
    DriveFaults faults;
};

class SimPlatform;

class DriveBuilder {
  public:
    // swap: the builder describes the drive that SwapOnOpen puts in place of drive `number`.
    DriveBuilder(SimPlatform& platform, unsigned number, bool swap = false)
        : m_platform(platform), m_number(number), m_swap(swap) {}

    DriveBuilder& Bus(std::uint8_t busType);
    DriveBuilder& SectorSize(std::uint32_t reported);
    DriveBuilder& Length(std::int64_t bytes);
    // length = count x the reported sector size, in whichever order Sectors and SectorSize come.
    DriveBuilder& Sectors(std::int64_t count);
    DriveBuilder& MaxTransfer(std::uint32_t bytes);
    DriveBuilder& Removable(bool removable = true);
    DriveBuilder& Vendor(const std::string& text);
    DriveBuilder& Product(const std::string& text);
    DriveBuilder& Revision(const std::string& text);
    DriveBuilder& Serial(const std::string& text);
    DriveBuilder& DeviceDescriptor(const std::vector<std::uint8_t>& rawAnswer);
    DriveBuilder& InquiryByte13(std::uint8_t value);
    DriveBuilder& Identify(const std::array<std::uint8_t, 512>& block);
    DriveBuilder& Smart(const std::array<std::uint8_t, 512>& block);
    DriveBuilder& SmartEnabled(bool enabled);
    DriveBuilder& Image(const std::string& path);
    DriveBuilder& QueueDepth(std::uint32_t depth, bool completeNewestFirst = false);

    DriveBuilder& FailOpen(std::uint32_t error);
    DriveBuilder& OpenWithLastError(std::uint32_t error);
    DriveBuilder& FailControl(std::uint32_t code, std::uint32_t error,
                              std::optional<std::uint32_t> propertyId = std::nullopt);
    DriveBuilder& ControlReturns(std::uint32_t code, std::uint32_t bytesReturned,
                                 std::optional<std::uint32_t> propertyId = std::nullopt);
    DriveBuilder& FailSeekAt(std::int64_t offset, std::uint32_t error);
    DriveBuilder& SeekReportsAt(std::int64_t offset, std::int64_t reported);
    DriveBuilder& FailWriteAt(std::int64_t offset, std::uint32_t error);
    DriveBuilder& ShortWriteAt(std::int64_t offset, std::uint32_t written);
    DriveBuilder& FailFlush(std::uint32_t error);
    DriveBuilder& RefuseSmartEnable();
    DriveBuilder& SmartReadReturns(std::uint32_t bytes, bool noHeader = false);
    DriveBuilder& IdentifyReturns(std::uint32_t bytes);
    DriveBuilder& DriverStatusError(std::uint8_t driverError);
    DriveBuilder& NativeMaxAddress(std::uint64_t address);
    DriveBuilder& DcoMaxAddress(std::uint64_t address);
    // The drive aborts this ATA command (status ERR, error ABRT) when it comes by pass-through.
    DriveBuilder& AbortAtaCommand(std::uint8_t command);
    DriveBuilder& VanishAfterOpen();
    // The drive disappears (unplugged) when a write reaches `offset`: that write fails with
    // `error`, and so does every later call on its handles; it no longer opens.
    DriveBuilder& VanishAt(std::int64_t offset, std::uint32_t error = 1167);

    DriveSpec& Params();

  private:
    SimPlatform& m_platform;
    unsigned m_number;
    bool m_swap = false;
    std::optional<std::int64_t> m_sectors;  // set by Sectors, kept for a later SectorSize
};

// Answers like Windows for "\\.\PhysicalDrive<n>": drive paths, control codes, errors and texts
// are those of Windows, so the core sees exactly what it would see there.
class SimPlatform : public KernelServices {
  public:
    SimPlatform();
    ~SimPlatform() override;

    // ---- Drives -----------------------------------------------------------------------------
    DriveBuilder AddDrive(unsigned number);  // replaces a drive of the same number
    DriveSpec& Drive(unsigned number);
    bool HasDrive(unsigned number) const;
    void RemoveDrive(unsigned number);  // a drive that vanishes: its open handles fail from now on
    // Another drive under the same number, swapped in between the probe and the open: the next
    // read/write open of drive `number` finds it in the old one's place (the old one is gone).
    // It starts as a copy of the old drive's description, without its bytes; the builder
    // returned changes what differs.
    DriveBuilder SwapOnOpen(unsigned number);

    // Bytes of a drive's storage, for tests (reads through the sparse store or the image file).
    std::vector<std::uint8_t> ReadBack(unsigned number, std::int64_t offset, std::size_t length);
    void Poke(unsigned number, std::int64_t offset, const std::vector<std::uint8_t>& bytes);
    // True when [offset, offset + length) of the drive holds only zero bytes.
    bool IsZero(unsigned number, std::int64_t offset, std::int64_t length);

    // ---- Journal ------------------------------------------------------------------------------
    std::vector<JournalEntry> Journal() const;
    void ClearJournal();
    // Entries of one kind, in order.
    std::vector<JournalEntry> Calls(Call kind) const;

    // ---- Clock and timer ----------------------------------------------------------------------
    // The emulated performance counter advances only by Sleep and by delivered timer ticks,
    // so a self-test measures exactly the period the timer was given.
    void SetFrequency(std::int64_t ticksPerSecond);
    void FailFrequency(bool fail = true);
    // The n-th Counter read (1-based, counted from now) fails; with `value` set it succeeds
    // but gives that value instead (0 or negative to test the checks).
    void FailCounterRead(int nth, std::optional<std::int64_t> value = std::nullopt);
    // The emulated length of one period of a 1 ms timer, in microseconds (default 1000).
    void SetTimerPeriodMicros(std::int64_t micros);
    // A sequence of periods, one per StartTimer call (the last one repeats).
    void SetTimerPeriodsMicros(const std::vector<std::int64_t>& micros);
    void TimerNeverTicks(bool never = true);
    int RunningTimers() const;
    std::int64_t CounterNow() const;

    void SetPlatformId(int id);

    // ---- Device-setup library -----------------------------------------------------------------
    // Default: a library named "SimSetup.dll" whose slots all resolve.
    void SetSetupLibrary(const std::string& name, const std::vector<std::string>& slots);
    void FailSetupLoad(bool fail = true);
    void MissingSetupSymbol(const std::string& name);
    int LoadedLibraries() const;  // loads minus frees

    std::vector<std::string> OpenedWebAddresses() const;

    // ---- KernelServices ---------------------------------------------------------------------
    Handle Open(const std::string& path, std::uint32_t desiredAccess, std::uint32_t shareMode,
                std::uint32_t creationDisposition, std::uint32_t flagsAndAttributes) override;
    bool Close(Handle handle) override;
    std::uint32_t LastError() override;
    bool Control(Handle handle, std::uint32_t controlCode, const void* in, std::uint32_t inSize, void* out,
                 std::uint32_t outSize, std::uint32_t* bytesReturned) override;
    bool Seek(Handle handle, std::int64_t offset, std::int64_t* newPosition) override;
    bool Write(Handle handle, const void* buffer, std::uint32_t size, std::uint32_t* written) override;
    bool Flush(Handle handle) override;
    // A queued write takes effect (or fails) when it is queued; its completion only reports that.
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

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    friend class DriveBuilder;
};

// Loads drives described by a JSON file into `platform`. Drives whose description asks for
// storage get an image file in `storageDir` (sparse, created on demand). Returns false with a
// message in *error when the file cannot be read or does not describe drives.
bool LoadDrivesFromJson(SimPlatform& platform, const std::string& jsonPath, const std::string& storageDir,
                        std::string* error);

}  // namespace orm::sim
