#include "discovery/device_text.h"

#include <algorithm>

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
            if (v[k] < 0) return {};
        }
        // Each group holds two characters with the second one first.
        decoded.push_back(static_cast<char>(v[2] * 16 + v[3]));
        decoded.push_back(static_cast<char>(v[0] * 16 + v[1]));
    }
    return TrimText(decoded);
}

std::string BusTypeName(std::int64_t busType) {
    switch (static_cast<std::uint32_t>(busType)) {
        case 1:
            return "SCSI";
        case 2:
            return "ATAPI";
        case 3:
            return "ATA";
        case 4:
            return "IEEE 1394";
        case 5:
            return "SSA";
        case 6:
            return "FIBRE";
        case 7:
            return "USB";
        case 8:
            return "RAID";
        default:
            return "UNKNOWN";
    }
}

}  // namespace orm
