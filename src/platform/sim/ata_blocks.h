// Hand-made IDENTIFY DEVICE and SMART READ DATA blocks for simulated drives and tests.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orm::sim {

using Block = std::array<std::uint8_t, 512>;

// 256 little-endian words; texts go in ATA order (first character of a pair in the high byte),
// filled with blanks to their field's width.
class IdentifyBlock {
  public:
    IdentifyBlock& Word(int n, std::uint16_t value);
    IdentifyBlock& SetBits(int n, std::uint16_t mask);
    IdentifyBlock& Model(const std::string& text);     // words 27-46, 40 characters
    IdentifyBlock& Serial(const std::string& text);    // words 10-19, 20 characters
    IdentifyBlock& Firmware(const std::string& text);  // words 23-26, 8 characters
    IdentifyBlock& Lba28(std::uint32_t sectors);       // word 49 bit 9, words 60-61
    IdentifyBlock& Lba48(std::uint64_t sectors);       // word 83 bit 10, words 100-103
    Block Build() const;

  private:
    Block m_block{};
};

// SMART READ DATA: revision at 0, thirty 12-byte attribute entries from offset 2, checksum at 511.
class SmartBlock {
  public:
    SmartBlock& Revision(std::uint16_t revision);
    // Fills the next free entry.
    SmartBlock& Attribute(std::uint8_t id, std::uint8_t current, std::uint8_t worst, std::uint64_t raw48,
                          std::uint16_t flags = 0x0003);
    Block Build() const;

  private:
    Block m_block{};
    int m_next = 0;
};

}  // namespace orm::sim
