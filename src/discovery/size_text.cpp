#include "discovery/size_text.h"

#include <limits>

#include "discovery/device_text.h"

namespace orm {

namespace {

// m / unit where m is a multiple of unit / 100: the whole part and up to two decimals, exact
// (the quotient never has more than 12 significant digits, so no rounding can show).
std::string Quotient(std::int64_t m, std::int64_t unit, char decimalSeparator) {
    const std::int64_t whole = m / unit;
    const std::int64_t hundredths = (m % unit) / (unit / 100);
    std::string text = std::to_string(whole);
    if (hundredths != 0) {
        text += decimalSeparator;
        text += static_cast<char>('0' + hundredths / 10);
        if (hundredths % 10 != 0) text += static_cast<char>('0' + hundredths % 10);
    }
    return text;
}

}  // namespace

std::string SizeText(std::int64_t bytes, char decimalSeparator) {
    if (bytes < 99'999) return std::to_string(bytes) + " bytes";
    if (bytes < 9'999'999) return Quotient(bytes / 10 * 10, 1'000, decimalSeparator) + " Kbytes";
    if (bytes < 9'999'999'999)
        return Quotient(bytes / 10'000 * 10'000, 1'000'000, decimalSeparator) + " Mbytes";
    return Quotient(bytes / 10'000'000 * 10'000'000, 1'000'000'000, decimalSeparator) + " Gbytes";
}

std::string GroupDigits(std::int64_t value) {
    const bool negative = value < 0;
    // The magnitude as unsigned, so that the most negative value has one too.
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    const std::string s = std::to_string(magnitude);
    std::string r;
    for (std::size_t i = s.size(); i >= 1; --i) {
        r.insert(r.begin(), s[i - 1]);
        if (s.size() > 4 && (s.size() - i + 1) % 3 == 0) r.insert(r.begin(), ',');
    }
    if (!r.empty() && r.front() == ',') r.erase(r.begin());
    return negative ? "-" + r : r;
}

std::int64_t DriveBytes(const TDeviceTable& record) {
    const std::int64_t sectors = record.SectorCount;
    const std::int64_t sectorSize = record.BytesPerSector;
    if (sectors <= 0 || sectorSize <= 0) return 0;
    if (sectors > std::numeric_limits<std::int64_t>::max() / sectorSize) {
        return std::numeric_limits<std::int64_t>::max();
    }
    return sectors * sectorSize;
}

std::string DiskName(const RunState& state, char decimalSeparator) {
    if (state.ChosenIndex < 1 || state.ChosenIndex > kMaxDrives) return {};
    const TDeviceTable& record = state.Chosen();
    return TrimText(FieldText(record.Model)) + "    " + TrimText(FieldText(record.Firmware)) + "    [" +
           SizeText(DriveBytes(record), decimalSeparator) + "]";
}

}  // namespace orm
