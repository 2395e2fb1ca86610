// Pure text rules of the drive identification: trimming, the descriptor texts, the model,
// firmware and serial-number fields, and the bus-type names.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/bytes_text.h"

namespace orm {

// A zero-ended text of a descriptor answer: the bytes from `offset` up to the first zero byte.
// Offset 0 means no text. Only the bytes the call returned count: a text stops at `returned`
// (and at the end of `buffer`), and an offset at or past it gives an empty text.
std::string DescriptorText(std::span<const std::uint8_t> buffer, std::uint32_t offset,
                           std::uint32_t returned);

// The 24 model characters of the device table: trim(vendor + " " + product), blank-filled to 24
// and cut to 24.
std::string ModelText(const std::string& vendor, const std::string& product);

// The 8 firmware characters: the revision blank-filled to 8 and cut to 8.
std::string FirmwareText(const std::string& revision);

// The serial number from the trimmed serial text of the device descriptor. A 40-character text
// is taken as 20 bytes in hexadecimal, each pair of bytes swapped ("4457" gives "WD"), with "_"
// and blanks read as "2", when every byte it gives is a printable character; otherwise (a byte
// outside 32 to 126, or a character that is not hexadecimal) it is kept as it is. A longer text
// gives its first 40 characters in upper case; a shorter one is kept as it is. The result is
// trimmed but not yet fitted to the table's 20-character field.
std::string DecodeSerial(const std::string& serial);

// The name the chooser shows for a bus type code; the low 32 bits of `busType` count.
std::string BusTypeName(std::int64_t busType);

}  // namespace orm
