// The decoded IDENTIFY DEVICE record of the chosen drive.
#pragma once

#include <cstdint>
#include <string>

#include "ata/ata_commands.h"

namespace orm {

// Texts are the drive's own bytes (ASCII as a rule), trimmed of every byte of value 0x20 or
// less at both ends. Fields marked "not printed" belong to the record but no report shows them.
struct T_IDE_PASSPORT {
    std::string Model;              // words 27-46, at most 40 characters
    std::string FirmwareRevision;   // words 23-26, at most 8
    std::string SerialNumber;       // words 10-19, at most 20
    bool LbaSupported = false;      // word 49 bit 9
    bool Lba48Supported = false;    // word 83 bit 10 and a 48-bit count above the 28-bit count
    std::int64_t LbaSectors = 0;    // words 60-61
    std::int64_t Lba48Sectors = 0;  // words 100-103
    std::int64_t TotalSectors = 0;
    std::uint8_t MaxMultipleSectors = 0;  // low byte of word 47; not printed
    bool SecuritySupported = false;       // word 82 bit 1
    bool SecurityLocked = false;          // word 128 bit 2
    bool SecurityLevelMaximum = false;    // word 128 bit 8
    bool HpaSupported = false;            // word 82 bit 10
    bool SmartSupported = false;          // word 82 bit 0
    bool SmartEnabled = false;            // word 85 bit 0; not printed
    bool AamSupported = false;            // word 83 bit 9
    bool UdmaValid = false;               // word 49 bit 8 and word 53 bit 2; not printed
    std::uint8_t UdmaSupportedMode = 0;   // word 88 bits 0-6; not printed
    std::uint8_t UdmaSelectedMode = 0;    // word 88 bits 8-14; not printed
    std::uint32_t BufferSize = 0;         // word 21 x 512 bytes
    std::int64_t SectorSize = 0;          // logical sector size in bytes, see LogicalSectorSize
    bool QueuingSupported = false;        // word 75 not 0; not printed
    std::int64_t QueueDepth = 0;          // the whole of word 75 (the drive's depth minus one)
    bool StreamingSupported = false;      // word 84 bit 4
};

// Decodes a 512-byte IDENTIFY DEVICE block (256 little-endian words). Never fails: any block,
// all zeroes included, gives a record. The caller's block is not changed.
T_IDE_PASSPORT DecodeIdentifyData(const AtaBlock& identify);

// The logical sector size in bytes: twice words 117-118 (a count of 16-bit words) when word 106
// is valid (bits 15:14 = 01) and its bit 12 says the sector is longer than 256 words; else 512.
// A size the block layer would not take either, anything but a power of two from 512 to 65,536
// bytes (0, a huge count, 520), comes from a broken block and gives 512 too.
std::int64_t LogicalSectorSize(const AtaBlock& identify);

// Word `n` (0 to 255) of an IDENTIFY block.
std::uint16_t IdentifyWord(const AtaBlock& identify, int n);

}  // namespace orm
