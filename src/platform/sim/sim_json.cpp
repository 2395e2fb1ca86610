// Loads simulated drives from a JSON description (the demo's drives).
//
// The file holds an object with a "drives" array (or just the array). Each drive:
//
//   {
//     "number": 0,                  drive number n of "\\.\PhysicalDrive<n>" (required, 0-255)
//     "bus": 3,                     bus type code, or a name: "SCSI" "ATAPI" "ATA" "1394" "SSA"
//                                   "FIBRE" "USB" "RAID" "ISCSI" "SAS" "SATA" "SD" "MMC"
//                                   "VIRTUAL" "FILEVIRTUAL" "SPACES" "NVME" "SCM" "UFS"; default 3
//     "sectorSize": 512,            the sector size the drive reports; default 512
//     "sectors": 156301488,         length in sectors of sectorSize ...
//     "length": 80026361856,        ... or in bytes (one of the two is required)
//     "maxTransfer": 131072,        adapter's maximum transfer length, bytes
//     "removable": false,
//     "vendor": "", "product": "", "revision": "", "serial": "",   device descriptor texts
//     "inquiryByte13": 0,           bit 0: the drive's number on its ATA channel
//     "storage": "sparse",          "sparse" (in memory, default) or "image": a sparse file
//                                   drive<n>.img in the storage directory
//     "smartEnabled": true,
//     "vanishAt": 1048576,          the drive disappears when a write reaches this byte offset;
//     "vanishError": 1167           its calls then fail with this code (default 1167)
//     "nativeMaxAddress": 976774167,  what READ NATIVE MAX ADDRESS (EXT) answers (default: the
//                                   last sector IDENTIFY reports: no host protected area)
//     "dcoMaxAddress": 976775167,   the overlay's maximum address (default: DCO IDENTIFY aborted)
//     "abortAtaCommands": ["READ NATIVE MAX ADDRESS EXT"],   ATA commands the drive aborts when
//                                   they come by pass-through: "READ NATIVE MAX ADDRESS",
//                                   "READ NATIVE MAX ADDRESS EXT", "DEVICE CONFIGURATION IDENTIFY",
//                                   or a command code (0x27)
//     "identify": {                 absent: the drive refuses ATA commands
//       "model": "...", "serial": "...", "firmware": "...",
//       "lba28": 156301488, "lba48": 156301488,
//       "words": { "82": "0x746b", "85": 29803 }    any word, by decimal index, number or "0x" text
//     },
//     "smart": {                    absent: SMART READ DATA fails
//       "revision": 16,
//       "attributes": [ { "id": 9, "current": 99, "worst": 99, "raw": 1234, "flags": 50 } ]
//     }
//   }
//
// Numbers may be given as JSON numbers or as decimal or "0x" hexadecimal texts.
#include <nlohmann/json.hpp>

#include <fstream>
#include <map>

#include "platform/sim/ata_blocks.h"
#include "platform/sim/sim_platform.h"
#include "platform/win_layouts.h"

namespace orm::sim {

namespace {

using nlohmann::json;

// Parse failures inside the loader are thrown as this and turned into the error text.
struct LoadError {
    std::string text;
};

std::uint64_t Number(const json& v, const std::string& what) {
    if (v.is_number_unsigned()) return v.get<std::uint64_t>();
    if (v.is_number_integer()) {
        const auto n = v.get<std::int64_t>();
        if (n < 0) throw LoadError{what + " must not be negative"};
        return static_cast<std::uint64_t>(n);
    }
    if (v.is_string()) {
        const std::string s = v.get<std::string>();
        std::size_t used = 0;
        try {
            const std::uint64_t n = std::stoull(s, &used, 0);
            if (used == s.size() && !s.empty() && s[0] != '-') return n;
        } catch (...) {
        }
        throw LoadError{what + ": \"" + s + "\" is not a number"};
    }
    throw LoadError{what + " must be a number"};
}

template <typename T>
T Get(const json& obj, const char* key, T fallback, const std::string& where) {
    if (!obj.contains(key)) return fallback;
    const std::uint64_t n = Number(obj.at(key), where + "." + key);
    if (n > static_cast<std::uint64_t>(std::numeric_limits<T>::max())) {
        throw LoadError{where + "." + key + " is too large"};
    }
    return static_cast<T>(n);
}

std::string Text(const json& obj, const char* key, const std::string& where) {
    if (!obj.contains(key)) return {};
    if (!obj.at(key).is_string()) throw LoadError{where + "." + key + " must be a text"};
    return obj.at(key).get<std::string>();
}

bool Flag(const json& obj, const char* key, bool fallback, const std::string& where) {
    if (!obj.contains(key)) return fallback;
    if (!obj.at(key).is_boolean()) throw LoadError{where + "." + key + " must be true or false"};
    return obj.at(key).get<bool>();
}

std::uint8_t BusCode(const json& v, const std::string& where) {
    if (!v.is_string() || (!v.get<std::string>().empty() &&
                           std::isdigit(static_cast<unsigned char>(v.get<std::string>()[0])))) {
        const std::uint64_t n = Number(v, where);
        if (n > 255) throw LoadError{where + " is above 255"};
        return static_cast<std::uint8_t>(n);
    }
    static const std::map<std::string, std::uint8_t> kNames = {
        {"UNKNOWN", 0},      {"SCSI", 1},    {"ATAPI", 2}, {"ATA", 3},  {"1394", 4},
        {"SSA", 5},          {"FIBRE", 6},   {"USB", 7},   {"RAID", 8}, {"ISCSI", 9},
        {"SAS", 10},         {"SATA", 11},   {"SD", 12},   {"MMC", 13}, {"VIRTUAL", 14},
        {"FILEVIRTUAL", 15}, {"SPACES", 16}, {"NVME", 17}, {"SCM", 18}, {"UFS", 19},
    };
    std::string name = v.get<std::string>();
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto it = kNames.find(name);
    if (it == kNames.end()) throw LoadError{where + ": unknown bus \"" + v.get<std::string>() + "\""};
    return it->second;
}

std::uint8_t AtaCommandCode(const json& v, const std::string& where) {
    static const std::map<std::string, std::uint8_t> kNames = {
        {"READ NATIVE MAX ADDRESS", win::ATA_READ_NATIVE_MAX_ADDRESS},
        {"READ NATIVE MAX ADDRESS EXT", win::ATA_READ_NATIVE_MAX_ADDRESS_EXT},
        {"DEVICE CONFIGURATION IDENTIFY", win::ATA_DEVICE_CONFIGURATION},
    };
    if (v.is_string()) {
        if (auto it = kNames.find(v.get<std::string>()); it != kNames.end()) return it->second;
    }
    const std::uint64_t n = Number(v, where);
    if (n > 255) throw LoadError{where + " is above 255"};
    return static_cast<std::uint8_t>(n);
}

Block IdentifyFrom(const json& id, const std::string& where) {
    if (!id.is_object()) throw LoadError{where + " must be an object"};
    IdentifyBlock b;
    if (id.contains("model")) b.Model(Text(id, "model", where));
    if (id.contains("serial")) b.Serial(Text(id, "serial", where));
    if (id.contains("firmware")) b.Firmware(Text(id, "firmware", where));
    if (id.contains("lba28")) b.Lba28(Get<std::uint32_t>(id, "lba28", 0, where));
    if (id.contains("lba48")) b.Lba48(Get<std::uint64_t>(id, "lba48", 0, where));
    if (id.contains("words")) {
        const json& words = id.at("words");
        if (!words.is_object()) throw LoadError{where + ".words must be an object"};
        for (const auto& [key, value] : words.items()) {
            std::size_t used = 0;
            int n = -1;
            try {
                n = std::stoi(key, &used, 10);
            } catch (...) {
            }
            if (n < 0 || n > 255 || used != key.size())
                throw LoadError{where + ".words: bad word index " + key};
            const std::uint64_t w = Number(value, where + ".words." + key);
            if (w > 0xFFFF) throw LoadError{where + ".words." + key + " is above 0xFFFF"};
            b.Word(n, static_cast<std::uint16_t>(w));
        }
    }
    return b.Build();
}

Block SmartFrom(const json& sm, const std::string& where) {
    if (!sm.is_object()) throw LoadError{where + " must be an object"};
    SmartBlock b;
    b.Revision(Get<std::uint16_t>(sm, "revision", 0x10, where));
    if (sm.contains("attributes")) {
        const json& list = sm.at("attributes");
        if (!list.is_array()) throw LoadError{where + ".attributes must be an array"};
        if (list.size() > 30) throw LoadError{where + ": at most 30 attributes"};
        int i = 0;
        for (const json& a : list) {
            const std::string at = where + ".attributes[" + std::to_string(i++) + "]";
            if (!a.is_object() || !a.contains("id")) throw LoadError{at + " needs an id"};
            const std::uint64_t raw = Get<std::uint64_t>(a, "raw", 0, at);
            if (raw > 0xFFFFFFFFFFFFull) throw LoadError{at + ".raw is wider than 48 bits"};
            b.Attribute(Get<std::uint8_t>(a, "id", 0, at), Get<std::uint8_t>(a, "current", 100, at),
                        Get<std::uint8_t>(a, "worst", 100, at), raw,
                        Get<std::uint16_t>(a, "flags", 0x0003, at));
        }
    }
    return b.Build();
}

void LoadDrive(SimPlatform& platform, const json& d, const std::string& storageDir, int index) {
    std::string where = "drives[" + std::to_string(index) + "]";
    if (!d.is_object()) throw LoadError{where + " must be an object"};
    if (!d.contains("number")) throw LoadError{where + " has no number"};
    const auto number = Get<std::uint8_t>(d, "number", 0, where);
    where = "drive " + std::to_string(number);
    if (platform.HasDrive(number)) throw LoadError{where + " is described twice"};

    DriveBuilder b = platform.AddDrive(number);
    b.Bus(d.contains("bus") ? BusCode(d.at("bus"), where + ".bus") : std::uint8_t{3});
    b.SectorSize(Get<std::uint32_t>(d, "sectorSize", 512, where));
    if (d.contains("sectors")) {
        const auto sectors = Get<std::int64_t>(d, "sectors", 0, where);
        const std::int64_t size = std::max<std::int64_t>(b.Params().reportedSectorSize, 1);
        if (sectors > std::numeric_limits<std::int64_t>::max() / size)
            throw LoadError{where + ".sectors is too large"};
        b.Length(sectors * size);
    } else if (d.contains("length")) {
        b.Length(Get<std::int64_t>(d, "length", 0, where));
    } else {
        platform.RemoveDrive(number);
        throw LoadError{where + " needs sectors or length"};
    }
    b.MaxTransfer(Get<std::uint32_t>(d, "maxTransfer", 131072, where));
    b.Removable(Flag(d, "removable", false, where));
    b.Vendor(Text(d, "vendor", where));
    b.Product(Text(d, "product", where));
    b.Revision(Text(d, "revision", where));
    b.Serial(Text(d, "serial", where));
    b.InquiryByte13(Get<std::uint8_t>(d, "inquiryByte13", 0, where));
    b.SmartEnabled(Flag(d, "smartEnabled", true, where));
    if (d.contains("nativeMaxAddress"))
        b.NativeMaxAddress(Get<std::uint64_t>(d, "nativeMaxAddress", 0, where));
    if (d.contains("dcoMaxAddress")) b.DcoMaxAddress(Get<std::uint64_t>(d, "dcoMaxAddress", 0, where));
    if (d.contains("abortAtaCommands")) {
        const json& list = d.at("abortAtaCommands");
        if (!list.is_array()) throw LoadError{where + ".abortAtaCommands must be an array"};
        for (const json& command : list)
            b.AbortAtaCommand(AtaCommandCode(command, where + ".abortAtaCommands"));
    }
    if (d.contains("vanishAt")) {
        b.VanishAt(Get<std::int64_t>(d, "vanishAt", 0, where),
                   Get<std::uint32_t>(d, "vanishError", 1167, where));
    }
    if (d.contains("identify")) b.Identify(IdentifyFrom(d.at("identify"), where + ".identify"));
    if (d.contains("smart")) b.Smart(SmartFrom(d.at("smart"), where + ".smart"));
    const std::string storage = d.contains("storage") ? Text(d, "storage", where) : "sparse";
    if (storage == "image") {
        const std::string dir = storageDir.empty() ? "." : storageDir;
        b.Image(dir + "/drive" + std::to_string(number) + ".img");
    } else if (storage != "sparse") {
        throw LoadError{where + ".storage must be \"sparse\" or \"image\""};
    }
}

}  // namespace

bool LoadDrivesFromJson(SimPlatform& platform, const std::string& jsonPath, const std::string& storageDir,
                        std::string* error) {
    std::string message;
    std::ifstream file(jsonPath);
    if (!file) {
        message = jsonPath + ": cannot be read";
    } else {
        json doc = json::parse(file, nullptr, /*allow_exceptions=*/false, /*ignore_comments=*/true);
        if (doc.is_discarded()) {
            message = jsonPath + ": not valid JSON";
        } else {
            const json* list = &doc;
            if (doc.is_object() && doc.contains("drives")) list = &doc.at("drives");
            if (!list->is_array()) {
                message = jsonPath + ": no \"drives\" array";
            } else {
                try {
                    int i = 0;
                    for (const json& d : *list) LoadDrive(platform, d, storageDir, i++);
                } catch (const LoadError& e) {
                    message = jsonPath + ": " + e.text;
                } catch (const json::exception& e) {
                    message = jsonPath + ": " + e.what();
                }
            }
        }
    }
    if (error != nullptr) *error = message;
    return message.empty();
}

}  // namespace orm::sim
