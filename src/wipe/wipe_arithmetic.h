// The small sums of the wipe, kept apart from the loop so they are checked without a drive.
#pragma once

#include <cstdint>

#include "discovery/device_table.h"

namespace orm {

// Bytes per write and size of the zero buffer: 512 KiB.
inline constexpr std::int64_t WipeChunkSize = 524288;

// The bytes to wipe: SectorCount x BytesPerSector, both signed 64-bit, keeping the low 64 bits
// of the product as the drive's own arithmetic does (no undefined overflow on odd records).
std::int64_t WipeTotal(const TDeviceTable& record);

// The length of the write that starts at `offset`: WipeChunkSize, or what is left of `total`
// when that is less. 0 when offset is at or past the total.
std::int64_t ChunkLength(std::int64_t offset, std::int64_t total);

// The progress bar's position before the chunk at `offset`: offset / total x 100 in double
// precision, rounded to the nearest whole number with halves going to the even neighbour.
// Kept within 0..100; a total of 0 or less gives 100 (nothing left to do).
int ProgressPercent(std::int64_t offset, std::int64_t total);

// Round to nearest, halves to the even neighbour, whatever the floating-point rounding mode.
double RoundHalfEven(double value);

}  // namespace orm
