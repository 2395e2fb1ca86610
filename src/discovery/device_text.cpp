#include "discovery/device_text.h"

#include <algorithm>
#include <iterator>

namespace orm {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string DescriptorText(std::span<const std::uint8_t> buffer, std::uint32_t offset,
                           std::uint32_t returned) {
    const std::size_t end = std::min<std::size_t>(buffer.size(), returned);
    if (offset == 0 || offset >= end) return {};
    std::string text;
    for (std::size_t i = offset; i < end && buffer[i] != 0; ++i) text.push_back(static_cast<char>(buffer[i]));
    return text;
}

std::string ModelText(const std::string& vendor, const std::string& product) {
    std::string model = TrimText(vendor + " " + product);
    model.resize(24, ' ');
    return model;
}

std::string FirmwareText(const std::string& revision) {
    std::string firmware = revision;
    firmware.resize(8, ' ');
    return firmware;
}

std::string DecodeSerial(const std::string& serial) {
    if (serial.size() > 40) {
        std::string s = serial.substr(0, 40);
        std::transform(s.begin(), s.end(), s.begin(), Upper);
        return TrimText(s);
    }
    if (serial.size() < 40) return serial;

    // Only an ATA serial that some drivers report hex-encoded decodes to text; a USB serial of 40
    // hexadecimal digits (or any other 40 characters) is kept as it is.
    std::string s = serial;
    for (char& c : s) {
        c = Upper(c);
        if (c == '_' || c == ' ') c = '2';
    }
    std::string decoded;
    for (std::size_t g = 0; g < 10; ++g) {
        int v[4];
        for (std::size_t k = 0; k < 4; ++k) {
            v[k] = HexValue(s[4 * g + k]);
            if (v[k] < 0) return serial;
        }
        // Each group holds two characters with the second one first.
        decoded.push_back(static_cast<char>(v[2] * 16 + v[3]));
        decoded.push_back(static_cast<char>(v[0] * 16 + v[1]));
    }
    const bool text =
        std::all_of(decoded.begin(), decoded.end(), [](char c) { return c >= ' ' && c <= '~'; });
    return text ? TrimText(decoded) : serial;
}

std::string BusTypeName(std::int64_t busType) {
    // Indexed by the code the system reports; 11 (SATA) keeps the "UNKNOWN" it always had.
    static constexpr const char* kNames[] = {
        "UNKNOWN", "SCSI",    "ATAPI", "ATA", "IEEE 1394", "SSA",         "FIBRE",  "USB",  "RAID", "ISCSI",
        "SAS",     "UNKNOWN", "SD",    "MMC", "VIRTUAL",   "FILEVIRTUAL", "SPACES", "NVME", "SCM",  "UFS",
    };
    const auto code = static_cast<std::uint32_t>(busType);
    return code < std::size(kNames) ? kNames[code] : "UNKNOWN";
}

}  // namespace orm
