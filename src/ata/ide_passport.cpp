#include "ata/ide_passport.h"

#include <utility>

#include "platform/win_layouts.h"

namespace orm {

namespace {

bool Bit(std::uint16_t word, int bit) {
    return ((word >> bit) & 1u) != 0;
}

// ATA sends its texts with the first character of each pair in the high byte of the word.
void SwapWordBytes(AtaBlock& block, int firstWord, int lastWord) {
    for (int n = firstWord; n <= lastWord; ++n) {
        const auto i = static_cast<std::size_t>(2 * n);
        std::swap(block[i], block[i + 1]);
    }
}

// Compared as unsigned bytes: characters from 0x80 up are text, not blanks.
bool IsBlankOrControl(std::uint8_t byte) {
    return byte <= 0x20;
}

std::string TrimmedText(const AtaBlock& block, int firstWord, int lastWord) {
    std::size_t begin = static_cast<std::size_t>(2 * firstWord);
    std::size_t end = static_cast<std::size_t>(2 * (lastWord + 1));
    while (begin < end && IsBlankOrControl(block[begin])) ++begin;
    while (end > begin && IsBlankOrControl(block[end - 1])) --end;
    return std::string(reinterpret_cast<const char*>(block.data()) + begin, end - begin);
}

// The number of the highest set bit among `count` bits starting at `firstBit`; 0 if none.
std::uint8_t HighestMode(std::uint16_t word, int firstBit, int count) {
    std::uint8_t mode = 0;
    for (int k = 0; k < count; ++k) {
        if (Bit(word, firstBit + k)) mode = static_cast<std::uint8_t>(k);
    }
    return mode;
}

}  // namespace

std::int64_t LogicalSectorSize(const AtaBlock& identify) {
    constexpr std::int64_t kDefault = 512;
    constexpr std::int64_t kLargest = 65536;
    const std::uint16_t w106 = IdentifyWord(identify, 106);
    if ((w106 & 0xD000u) != 0x5000u) return kDefault;
    const std::int64_t bytes = 2 * static_cast<std::int64_t>(win::GetLe32(identify.data() + 2 * 117));
    const bool powerOfTwo = (bytes & (bytes - 1)) == 0;
    return (bytes >= kDefault && bytes <= kLargest && powerOfTwo) ? bytes : kDefault;
}

std::uint16_t IdentifyWord(const AtaBlock& identify, int n) {
    return win::GetLe16(identify.data() + 2 * n);
}

T_IDE_PASSPORT DecodeIdentifyData(const AtaBlock& identify) {
    AtaBlock block = identify;
    T_IDE_PASSPORT r;

    SwapWordBytes(block, 10, 19);
    SwapWordBytes(block, 23, 26);
    SwapWordBytes(block, 27, 46);
    r.SerialNumber = TrimmedText(block, 10, 19);
    r.FirmwareRevision = TrimmedText(block, 23, 26);
    r.Model = TrimmedText(block, 27, 46);

    const auto w = [&block](int n) { return IdentifyWord(block, n); };

    if (Bit(w(49), 9)) {
        r.LbaSupported = true;
        r.LbaSectors = static_cast<std::int64_t>(win::GetLe32(block.data() + 2 * 60));
        if (Bit(w(83), 10)) {
            // A count with its top bit set reads as negative and so never beats the 28-bit count.
            const auto n48 = static_cast<std::int64_t>(win::GetLe64(block.data() + 2 * 100));
            if (n48 > r.LbaSectors) {
                r.Lba48Sectors = n48;
                r.Lba48Supported = true;
            }
        }
    }
    r.TotalSectors = r.Lba48Supported ? r.Lba48Sectors : r.LbaSectors;

    r.MaxMultipleSectors = static_cast<std::uint8_t>(w(47) & 0xFFu);

    if (Bit(w(82), 1)) {
        r.SecuritySupported = true;
        // Bit 1 only says a password is set; bit 2 says the drive is locked now.
        r.SecurityLocked = Bit(w(128), 2);
        r.SecurityLevelMaximum = Bit(w(128), 8);
    }

    r.HpaSupported = Bit(w(82), 10);
    r.SmartSupported = Bit(w(82), 0);
    if (r.SmartSupported) r.SmartEnabled = Bit(w(85), 0);
    r.AamSupported = Bit(w(83), 9);

    r.UdmaValid = Bit(w(49), 8) && Bit(w(53), 2);
    if (r.UdmaValid) {
        r.UdmaSupportedMode = HighestMode(w(88), 0, 7);
        r.UdmaSelectedMode = HighestMode(w(88), 8, 7);
    }

    r.BufferSize = static_cast<std::uint32_t>(w(21)) * 512u;
    r.SectorSize = LogicalSectorSize(block);

    if (w(75) != 0) {
        r.QueuingSupported = true;
        r.QueueDepth = w(75);
    }

    r.StreamingSupported = Bit(w(84), 4);
    return r;
}

}  // namespace orm
