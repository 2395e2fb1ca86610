#include "wipe/wipe_arithmetic.h"

#include <cmath>

namespace orm {

std::int64_t WipeTotal(const TDeviceTable& record) {
    const auto product =
        static_cast<std::uint64_t>(record.SectorCount) * static_cast<std::uint64_t>(record.BytesPerSector);
    return static_cast<std::int64_t>(product);
}

std::int64_t ChunkLength(std::int64_t offset, std::int64_t total) {
    if (offset >= total) return 0;
    // total - offset cannot overflow here: offset >= 0 in every caller and total > offset.
    const std::int64_t left = total - offset;
    return left < WipeChunkSize ? left : WipeChunkSize;
}

double RoundHalfEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction > 0.5) return lower + 1.0;
    if (fraction < 0.5) return lower;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

int ProgressPercent(std::int64_t offset, std::int64_t total) {
    if (total <= 0) return 100;
    const double rounded = RoundHalfEven(static_cast<double>(offset) / static_cast<double>(total) * 100.0);
    if (rounded <= 0.0) return 0;
    if (rounded >= 100.0) return 100;
    return static_cast<int>(rounded);
}

}  // namespace orm
