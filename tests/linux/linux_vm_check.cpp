// Runs inside the virtual machine of the ATA harness, as root, against its emulated disks:
// checks what the Linux services answer for a drive on AHCI (/dev/sda) and one on a
// parallel-ATA channel (/dev/sdb), through the same control calls the program makes.
//
// Usage: linux_vm_check DEVICE:MODEL:SERIAL:FIRMWARE[:UNIT]...   (one argument per disk; UNIT is
// the drive's number on its ATA channel, 0 when left out), then optionally --helper=PATH: the
// queries and reports once more through a drive helper at PATH per disk (started without pkexec),
// and --busy=DEVICE: writes a
// partition table on DEVICE through the services, puts swap on its first partition and checks
// that the whole drive is then refused for writing. Destroys DEVICE's contents.
// Prints one line per check ("ok   - ..." / "FAIL - ..."); exit 0 when all pass, 1 otherwise.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/linux/linux_kernel_services.h"
#include "platform/win_layouts.h"
#ifdef ORM_HAVE_PROBE
#include "ata/hidden_sectors.h"
#include "discovery/probe.h"
#endif

namespace {

using namespace orm;
using orm::lnx::LinuxKernelServices;

int g_failed = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s - %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok) ++g_failed;
}

struct Expected {
    std::string device;
    std::string model;
    std::string serial;
    std::string firmware;
    int unit = 0;
};

bool Parse(const std::string& arg, Expected* e) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at = arg.find(':'); at != std::string::npos; at = arg.find(':', start)) {
        parts.push_back(arg.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(arg.substr(start));
    if (parts.size() != 4 && parts.size() != 5) return false;
    *e = {parts[0], parts[1], parts[2], parts[3], parts.size() == 5 ? std::atoi(parts[4].c_str()) : 0};
    return e->unit == 0 || e->unit == 1;
}

std::string TextAt(const std::uint8_t* buffer, std::uint32_t returned, std::uint32_t offset) {
    if (offset == 0 || offset >= returned) return {};
    return std::string(reinterpret_cast<const char*>(buffer + offset),
                       strnlen(reinterpret_cast<const char*>(buffer + offset), returned - offset));
}

std::string SwappedText(const std::uint8_t* block, int firstWord, int words) {
    std::string text;
    for (int w = firstWord; w < firstWord + words; ++w) {
        text.push_back(static_cast<char>(block[2 * w + 1]));
        text.push_back(static_cast<char>(block[2 * w]));
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// The register block as the program builds it for drive `unit` on its channel.
void BuildSmartInput(std::uint8_t* in, std::uint8_t features, std::uint32_t bufferSize, int unit) {
    std::memset(in, 0, win::kSendCmdInLength);
    win::PutLe32(in, bufferSize);
    const auto driveHead = static_cast<std::uint8_t>(0xA0 | (unit << 4));
    const std::uint8_t regs[8] = {features,       1, 1, win::SMART_CYL_LOW, win::SMART_CYL_HI, driveHead,
                                  win::ATA_SMART, 0};
    std::memcpy(in + 4, regs, 8);
    in[12] = static_cast<std::uint8_t>(unit);
}

void CheckQueries(LinuxKernelServices& k, const Expected& e) {
    const Handle h = k.Open(e.device, win::GENERIC_READ, 3, win::OPEN_EXISTING, 0);
    Check(h != kInvalidHandle, e.device + " opens for reading");
    if (h == kInvalidHandle) return;
    std::uint8_t out[512] = {};
    std::uint32_t returned = 0;
    Check(k.Control(h, win::IOCTL_DISK_GET_DRIVE_GEOMETRY, out, 512, out, 512, &returned) && returned == 24 &&
              win::GetLe32(out + 20) == 512,
          e.device + " geometry: 512-byte sectors");

    std::uint8_t query[12] = {};
    win::PutLe32(query, win::StorageAdapterProperty);
    std::memset(out, 0, sizeof out);
    const bool adapter = k.Control(h, win::IOCTL_STORAGE_QUERY_PROPERTY, query, 12, out, 512, &returned);
    Check(adapter && returned == 32 && out[24] == win::BusTypeAta, e.device + " adapter: bus type 3 (ATA)");
    Check(win::GetLe32(out + 8) >= 65536,
          e.device + " adapter: transfer limit " + std::to_string(win::GetLe32(out + 8)));

    win::PutLe32(query, win::StorageDeviceProperty);
    std::memset(out, 0, sizeof out);
    const bool device = k.Control(h, win::IOCTL_STORAGE_QUERY_PROPERTY, query, 12, out, 512, &returned);
    Check(device && win::GetLe32(out + 12) == 0, e.device + " device: no vendor");
    const std::string model = TextAt(out, returned, win::GetLe32(out + 16));
    const std::string firmware = TextAt(out, returned, win::GetLe32(out + 20));
    const std::string serial = TextAt(out, returned, win::GetLe32(out + 24));
    Check(model == e.model, e.device + " device: model '" + model + "'");
    Check(firmware == e.firmware, e.device + " device: firmware '" + firmware + "'");
    Check(serial == e.serial, e.device + " device: serial '" + serial + "'");
    Check(win::GetLe32(out + 28) == win::BusTypeAta, e.device + " device: bus type 3");

    std::memset(out, 0xEE, sizeof out);
    Check(k.Control(h, win::IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, out, 512, &returned) && returned >= 14 &&
              (out[13] & 1) == e.unit,
          e.device + " inquiry: drive " + std::to_string(e.unit) + " on its channel");
    k.Close(h);
}

void CheckAtaCommands(LinuxKernelServices& k, const Expected& e) {
    const Handle h = k.Open(e.device, win::GENERIC_READ | win::GENERIC_WRITE, 3, win::OPEN_EXISTING, 0);
    Check(h != kInvalidHandle && k.LastError() == 0, e.device + " opens for reading and writing");
    if (h == kInvalidHandle) return;

    // IDENTIFY through the miniport, in one buffer for both directions.
    std::uint8_t miniport[win::kMiniportBufferLength] = {};
    win::PutLe32(miniport, 28);
    std::memcpy(miniport + 4, "SCSIDISK", 8);
    win::PutLe32(miniport + 12, win::kMiniportTimeout);
    win::PutLe32(miniport + 16, win::IOCTL_SCSI_MINIPORT_IDENTIFY);
    win::PutLe32(miniport + 24, win::kMiniportLength);
    win::PutLe32(miniport + 28, 512);
    const std::uint8_t identify[8] = {
        0, 1, 1, 0, 0, static_cast<std::uint8_t>(0xA0 | (e.unit << 4)), win::ATA_IDENTIFY_DEVICE, 0};
    std::memcpy(miniport + 32, identify, 8);
    miniport[40] = static_cast<std::uint8_t>(e.unit);
    std::uint32_t returned = 0;
    const bool id = k.Control(h, win::IOCTL_SCSI_MINIPORT, miniport, sizeof miniport, miniport,
                              sizeof miniport, &returned);
    Check(id && returned == 572, e.device + " miniport IDENTIFY: 572 bytes");
    const std::uint8_t* block = miniport + win::kMiniportDataOffset;
    Check(SwappedText(block, 27, 20) == e.model,
          e.device + " IDENTIFY model '" + SwappedText(block, 27, 20) + "'");
    Check(SwappedText(block, 10, 10) == e.serial, e.device + " IDENTIFY serial");
    Check(std::memcmp(miniport + 4, "SCSIDISK", 8) == 0 && win::GetLe32(miniport + 20) == 0,
          e.device + " miniport header kept, ReturnCode 0");

    std::uint8_t in[win::kSendCmdInLength];
    std::uint8_t out[win::kSmartReadOutLength];
    BuildSmartInput(in, win::SMART_ENABLE_OPERATIONS, 0, e.unit);
    Check(k.Control(h, win::SMART_SEND_DRIVE_COMMAND, in, 32, out, 16, &returned) && returned == 16,
          e.device + " SMART ENABLE OPERATIONS");

    BuildSmartInput(in, win::SMART_READ_DATA, 512, e.unit);
    std::memset(out, 0, sizeof out);
    const bool read = k.Control(h, win::SMART_RCV_DRIVE_DATA, in, 32, out, sizeof out, &returned);
    unsigned sum = 0;
    for (int i = 16; i < 528; ++i) sum += out[i];
    Check(read && returned == 528, e.device + " SMART READ DATA: 528 bytes");
    Check(win::GetLe32(out) == 512 && out[16] == 1 && out[18] == 1 && (sum & 0xFF) == 0,
          e.device + " SMART data: revision 1, first attribute 1, checksum right");

    BuildSmartInput(in, win::SMART_DISABLE_OPERATIONS, 0, e.unit);
    Check(k.Control(h, win::SMART_SEND_DRIVE_COMMAND, in, 32, out, 16, &returned) && returned == 16,
          e.device + " SMART DISABLE OPERATIONS");
    // With SMART off the drive aborts READ DATA: a refusal is a failed call.
    BuildSmartInput(in, win::SMART_READ_DATA, 512, e.unit);
    Check(!k.Control(h, win::SMART_RCV_DRIVE_DATA, in, 32, out, sizeof out, &returned) &&
              k.LastError() == win::ERROR_IO_DEVICE && returned == 0,
          e.device + " SMART READ DATA refused while SMART is off");
    BuildSmartInput(in, win::SMART_ENABLE_OPERATIONS, 0, e.unit);
    Check(k.Control(h, win::SMART_SEND_DRIVE_COMMAND, in, 32, out, 16, &returned),
          e.device + " SMART ENABLE OPERATIONS again");

    BuildSmartInput(in, 0xD1, 512, e.unit);  // READ THRESHOLDS: never the program's
    Check(!k.Control(h, win::SMART_RCV_DRIVE_DATA, in, 32, out, sizeof out, &returned) &&
              k.LastError() == win::ERROR_INVALID_PARAMETER,
          e.device + " other commands refused before the drive");
    k.Close(h);
}

#ifdef ORM_HAVE_PROBE
// READ NATIVE MAX ADDRESS (EXT) answer in the registers: the answer must be the drive's last
// sector (QEMU's disks have no host protected area and refuse to set one). The detection itself
// runs on the drive's IDENTIFY block with both hidden-sector features claimed, so that it sends
// both commands, and must find nothing hidden.
void CheckHiddenSectors(LinuxKernelServices& k, const Expected& e, const std::string& how) {
    const std::string what = e.device + " " + how + ": ";
    const Handle h = k.Open(e.device, win::GENERIC_READ | win::GENERIC_WRITE, 3, win::OPEN_EXISTING, 0);
    Check(h != kInvalidHandle && k.LastError() == 0, what + "opens for reading and writing");
    if (h == kInvalidHandle) return;
    std::uint8_t length[8] = {};
    std::uint32_t returned = 0;
    Check(k.Control(h, win::IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, length, 8, &returned), what + "length");
    const auto sectors = static_cast<std::int64_t>(win::GetLe64(length) / 512);
    const auto unit = static_cast<std::uint8_t>(e.unit);
    for (const bool ext : {true, false}) {
        const std::optional<std::uint64_t> native = ReadNativeMaxAddress(k, h, unit, ext);
        Check(native && static_cast<std::int64_t>(*native) + 1 == sectors,
              what + (ext ? "READ NATIVE MAX ADDRESS EXT " : "READ NATIVE MAX ADDRESS ") +
                  (native ? std::to_string(*native) : std::string("failed")) + ", " +
                  std::to_string(sectors) + " sectors");
    }
    AtaTaskFiles setMax, back;  // SET MAX ADDRESS: never passed on to a drive
    setMax.current = {0, 0, 0xFF, 0xFF, 0x01, 0xE0, 0xF9, 0};
    Check(
        !AtaPassThrough(k, h, setMax, false, nullptr, &back) && k.LastError() == win::ERROR_INVALID_PARAMETER,
        what + "SET MAX ADDRESS refused before the drive");
    AtaBlock identify{};
    Check(AtaIdentify(k, h, unit, identify), what + "IDENTIFY");
    identify[82 * 2 + 1] |= 0x04;                                 // host protected area feature set
    identify[83 * 2 + 1] = (identify[83 * 2 + 1] & 0x3F) | 0x48;  // word 83 valid, overlay feature set
    const HiddenSectors hidden = DetectHiddenSectors(k, h, unit, identify);
    Check(hidden.hpa == 0 && hidden.dco.value_or(0) == 0 && hidden.Known() == 0,
          what + "nothing hidden (host protected area " +
              (hidden.hpa ? std::to_string(*hidden.hpa) : std::string("not known")) + ", overlay " +
              (hidden.dco ? std::to_string(*hidden.dco) : std::string("not known")) + ")");
    k.Close(h);
}
#endif

// A one-partition MBR (type Linux swap, from sector 2048, 16 MiB) written through the services.
bool WritePartitionTable(LinuxKernelServices& k, const std::string& device) {
    const Handle h = k.Open(device, win::GENERIC_READ | win::GENERIC_WRITE, 3, win::OPEN_EXISTING, 0);
    if (h == kInvalidHandle) return false;
    alignas(4096) static std::uint8_t sector[4096] = {};
    std::uint8_t* entry = sector + 446;
    entry[4] = 0x82;
    win::PutLe32(entry + 8, 2048);
    win::PutLe32(entry + 12, 32768);
    sector[510] = 0x55;
    sector[511] = 0xAA;
    std::int64_t position = -1;
    std::uint32_t written = 0;
    const bool ok = k.Seek(h, 0, &position) && position == 0 && k.Write(h, sector, sizeof sector, &written) &&
                    written == sizeof sector && k.Flush(h);
    return k.Close(h) && ok;
}

void CheckBusyWhileSwapIsOn(LinuxKernelServices& k, const std::string& device) {
    Check(WritePartitionTable(k, device), device + " partition table written through the services");
    Check(std::system(("blockdev --rereadpt " + device).c_str()) == 0, device + " partitions re-read");
    const std::string partition = device + "1";
    for (int wait = 0; wait < 50 && access(partition.c_str(), F_OK) != 0; ++wait) usleep(100000);
    const bool swapOn =
        std::system(("mkswap " + partition + " >/dev/null && swapon " + partition).c_str()) == 0;
    Check(swapOn, partition + " in use as swap");
    if (!swapOn) return;
    const std::uint32_t readWrite = win::GENERIC_READ | win::GENERIC_WRITE;
    const Handle refused = k.Open(device, readWrite, 3, win::OPEN_EXISTING, 0);
    Check(refused == kInvalidHandle && k.LastError() == win::ERROR_BUSY &&
              k.ErrorText(k.LastError()) == "Device or resource busy",
          device + " refused for writing while a partition is swap: '" + k.ErrorText(k.LastError()) + "'");
    if (refused != kInvalidHandle) k.Close(refused);
    const Handle reader = k.Open(device, win::GENERIC_READ, 3, win::OPEN_EXISTING, 0);
    Check(reader != kInvalidHandle, device + " still opens for reading");
    if (reader != kInvalidHandle) k.Close(reader);
    Check(std::system(("swapoff " + partition).c_str()) == 0, partition + " swap off");
    const Handle again = k.Open(device, readWrite, 3, win::OPEN_EXISTING, 0);
    Check(again != kInvalidHandle, device + " opens for writing again");
    if (again != kInvalidHandle) k.Close(again);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Expected> disks;
    std::string busyDevice;
    std::string helperPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--busy=", 0) == 0) {
            busyDevice = arg.substr(7);
            continue;
        }
        if (arg.rfind("--helper=", 0) == 0) {
            helperPath = arg.substr(9);
            continue;
        }
        Expected e;
        if (!Parse(argv[i], &e)) {
            std::fprintf(stderr, "usage: %s DEVICE:MODEL:SERIAL:FIRMWARE[:UNIT]... [--busy=DEVICE]\n",
                         argv[0]);
            return 2;
        }
        disks.push_back(e);
    }
    // Disks beyond the harness's own two may still be coming up.
    for (int wait = 0; wait < 50; ++wait) {
        bool all = true;
        for (const Expected& e : disks) all = all && access(e.device.c_str(), F_OK) == 0;
        if (all) break;
        usleep(100000);
    }
    LinuxKernelServices k;
    std::vector<std::string> listed;
    for (unsigned n = 0; n < 256 && !k.DrivePath(n).empty(); ++n) listed.push_back(k.DrivePath(n));
    for (const Expected& e : disks) {
        bool found = false;
        for (const std::string& path : listed) found = found || path == e.device;
        Check(found, e.device + " is listed");
        CheckQueries(k, e);
        CheckAtaCommands(k, e);
    }
#ifdef ORM_HAVE_PROBE
    struct NoFatal : FatalSink {
        void Fatal(const std::string& text, const std::string&) override {
            std::printf("fatal: %s\n", text.c_str());
        }
    } fatal;
    RunState state;
    Check(ProbeDrives(k, state, fatal), "the probe runs");
    // The probe's model field is the model cut or blank-filled to 24 characters.
    for (const Expected& e : disks) {
        const TDeviceTable* record = nullptr;
        for (std::int64_t i = 1; i <= state.DrivesFound; ++i) {
            if (state.Record(i).DevicePath == e.device) record = &state.Record(i);
        }
        Check(record != nullptr && record->BusType == win::BusTypeAta && record->BytesPerSector == 512 &&
                  record->DriveNumber == e.unit &&
                  FieldText(record->Model) == (e.model + std::string(24, ' ')).substr(0, 24) &&
                  FieldText(record->SerialNumber) == e.serial.substr(0, 20),
              e.device + " probed as ATA with its drive number, model and serial");
        if (record == nullptr) continue;
        // The read/write open that the main window makes identifies as the drive listed.
        const Handle h = k.Open(e.device, win::GENERIC_READ | win::GENERIC_WRITE, 3, win::OPEN_EXISTING, 0);
        Check(h != kInvalidHandle && !CompareWithRecord(k, h, *record).Any(),
              e.device + " opened for writing is the drive listed");
        if (h != kInvalidHandle) k.Close(h);
        CheckHiddenSectors(k, e, "through SG_IO");
    }
    // A helper per drive opened for the wipe, as the program has: the probe's answers, then the
    // reports on that drive, which the wipe's open narrowed the helper to (the drive checks read
    // sysfs, which the narrowed helper no longer reaches, so each open gets its own helper).
    const auto startHelper = [&](LinuxKernelServices& helped, const Expected& e) {
        // env in pkexec's place, by its absolute path as pkexec's is (the guest has /bin/env).
        const bool started = helped.StartHelper("/bin/env", helperPath).status == HelperStart::Started;
        Check(started, e.device + " through the helper: the helper starts");
        return started;
    };
    for (const Expected& e : helperPath.empty() ? std::vector<Expected>{} : disks) {
        LinuxKernelServices throughHelper, forHiddenSectors;
        if (!startHelper(throughHelper, e) || !startHelper(forHiddenSectors, e)) continue;
        CheckQueries(throughHelper, e);
        CheckAtaCommands(throughHelper, e);
        CheckHiddenSectors(forHiddenSectors, e, "through the narrowed helper");
        for (const Expected& other : disks) {
            if (other.device == e.device) continue;
            const Handle h = throughHelper.Open(other.device, win::GENERIC_READ | win::GENERIC_WRITE, 3,
                                                win::OPEN_EXISTING, 0);
            Check(h == kInvalidHandle, other.device + " out of reach of the helper narrowed to " + e.device);
        }
    }
#endif
    if (!busyDevice.empty()) CheckBusyWhileSwapIsOn(k, busyDevice);
    std::printf("%d failed\n", g_failed);
    return g_failed == 0 ? 0 : 1;
}
