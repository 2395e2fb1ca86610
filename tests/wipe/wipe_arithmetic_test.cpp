// The wipe's sums: chunk lengths, the progress position and the total of odd records.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "wipe/wipe_arithmetic.h"

namespace orm {
namespace {

struct ChunkLengthCase {
    std::int64_t offset, total, expected;
};

TEST(WipeArithmetic, ChunkLength) {
    const std::int64_t big = (std::int64_t{1} << 40) + 512;
    const ChunkLengthCase cases[] = {
        {0, 0, 0},
        {0, 512, 512},
        {0, 524288, 524288},
        {0, 524289, 524288},
        {524288, 524289, 1},
        {524288, 1048576, 524288},
        {1048576, 1048576, 0},
        {2000000, 1000000, 0},
        {big - 512, big, 512},
        {(std::int64_t{1} << 40) - 524288, big, 524288},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChunkLength(c.offset, c.total), c.expected) << c.offset << " of " << c.total;
    }
}

struct PercentCase {
    std::int64_t offset, total;
    int expected;
};

TEST(WipeArithmetic, ProgressPercentRoundsHalvesToEven) {
    const PercentCase cases[] = {
        {0, 100, 0},     {1, 200, 0},  // 0.5 -> 0
        {3, 200, 2},                   // 1.5 -> 2
        {5, 200, 2},                   // 2.5 -> 2
        {7, 200, 4},                   // 3.5 -> 4
        {1, 8, 12},                    // 12.5 -> 12
        {3, 8, 38},                    // 37.5 -> 38
        {199, 200, 100},               // 99.5 -> 100 before the last chunk
        {397, 400, 99},                // 99.25
        {1, 3, 33},      {2, 3, 67},   {100, 100, 100},
        {0, 0, 100},     {0, -5, 100}, {std::int64_t{1} << 40, std::int64_t{1} << 41, 50},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgressPercent(c.offset, c.total), c.expected) << c.offset << " of " << c.total;
    }
}

TEST(WipeArithmetic, RoundHalfEven) {
    const double cases[][2] = {{0.5, 0.0},    {1.5, 2.0},    {2.5, 2.0},   {2.4999, 2.0},
                               {2.5001, 3.0}, {99.5, 100.0}, {98.5, 98.0}, {0.0, 0.0}};
    for (const auto& c : cases) EXPECT_EQ(RoundHalfEven(c[0]), c[1]) << c[0];
}

TEST(WipeArithmetic, TotalIsSectorsTimesSectorSize) {
    TDeviceTable record;
    record.SectorCount = 156301488;
    record.BytesPerSector = 512;
    EXPECT_EQ(WipeTotal(record), 80026361856);
    record.SectorCount = 0;
    EXPECT_EQ(WipeTotal(record), 0);
    record.SectorCount = 976773168;
    record.BytesPerSector = 4096;
    EXPECT_EQ(WipeTotal(record), std::int64_t{976773168} * 4096);
    // An absurd record keeps the low 64 bits instead of overflowing; the result is negative
    // here, and a negative total runs no chunk.
    record.SectorCount = std::numeric_limits<std::int64_t>::max();
    record.BytesPerSector = 512;
    EXPECT_EQ(WipeTotal(record), -512);
}

}  // namespace
}  // namespace orm
