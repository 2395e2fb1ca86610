// Hand-made IDENTIFY DEVICE and SMART READ DATA blocks.
#include "platform/sim/ata_blocks.h"

#include "platform/win_layouts.h"

namespace orm::sim {

namespace {

// ATA strings: two characters per word, the first in the high byte, blank-filled.
void PutAtaText(Block& block, int firstWord, int words, const std::string& text) {
    for (int i = 0; i < words * 2; ++i) {
        const std::size_t at = static_cast<std::size_t>(firstWord * 2 + (i ^ 1));
        block[at] = static_cast<std::uint8_t>(
            static_cast<std::size_t>(i) < text.size() ? text[static_cast<std::size_t>(i)] : ' ');
    }
}

constexpr int kSmartEntries = 30;
constexpr int kSmartEntrySize = 12;

}  // namespace

IdentifyBlock& IdentifyBlock::Word(int n, std::uint16_t value) {
    win::PutLe16(&m_block.at(static_cast<std::size_t>(n) * 2), value);
    return *this;
}

IdentifyBlock& IdentifyBlock::SetBits(int n, std::uint16_t mask) {
    const std::uint16_t old = win::GetLe16(&m_block.at(static_cast<std::size_t>(n) * 2));
    return Word(n, static_cast<std::uint16_t>(old | mask));
}

IdentifyBlock& IdentifyBlock::Model(const std::string& text) {
    PutAtaText(m_block, 27, 20, text);
    return *this;
}

IdentifyBlock& IdentifyBlock::Serial(const std::string& text) {
    PutAtaText(m_block, 10, 10, text);
    return *this;
}

IdentifyBlock& IdentifyBlock::Firmware(const std::string& text) {
    PutAtaText(m_block, 23, 4, text);
    return *this;
}

IdentifyBlock& IdentifyBlock::Lba28(std::uint32_t sectors) {
    SetBits(49, 1u << 9);
    Word(60, static_cast<std::uint16_t>(sectors & 0xFFFF));
    return Word(61, static_cast<std::uint16_t>(sectors >> 16));
}

IdentifyBlock& IdentifyBlock::Lba48(std::uint64_t sectors) {
    // Supported (word 83) and enabled (word 86), as drives report the 48-bit feature set.
    SetBits(83, 1u << 10);
    SetBits(86, 1u << 10);
    for (int i = 0; i < 4; ++i) Word(100 + i, static_cast<std::uint16_t>(sectors >> (16 * i)));
    return *this;
}

Block IdentifyBlock::Build() const {
    return m_block;
}

SmartBlock& SmartBlock::Revision(std::uint16_t revision) {
    win::PutLe16(&m_block[0], revision);
    return *this;
}

SmartBlock& SmartBlock::Attribute(std::uint8_t id, std::uint8_t current, std::uint8_t worst,
                                  std::uint64_t raw48, std::uint16_t flags) {
    if (m_next >= kSmartEntries) return *this;
    std::uint8_t* p = &m_block[static_cast<std::size_t>(2 + kSmartEntrySize * m_next)];
    p[0] = id;
    win::PutLe16(p + 1, flags);
    p[3] = current;
    p[4] = worst;
    for (int i = 0; i < 6; ++i) p[5 + i] = static_cast<std::uint8_t>(raw48 >> (8 * i));
    p[11] = 0;
    ++m_next;
    return *this;
}

Block SmartBlock::Build() const {
    Block block = m_block;
    // The last byte makes the sum of all 512 bytes zero (modulo 256).
    unsigned sum = 0;
    for (std::size_t i = 0; i < 511; ++i) sum += block[i];
    block[511] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
    return block;
}

}  // namespace orm::sim
