// Hidden sectors on simulated drives: what each kind of drive answers, what is made of it, and
// that nothing but the three read-only commands is ever sent.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "ata/hidden_sectors.h"
#include "platform/sim/ata_blocks.h"
#include "platform/sim/sim_platform.h"
#include "platform/win_layouts.h"

namespace orm {
namespace {

using sim::IdentifyBlock;
using Opt = std::optional<std::int64_t>;

constexpr std::int64_t kReported = 976773168;  // 48-bit drive
constexpr std::int64_t kReported28 = 0x01000000;
constexpr std::uint16_t kHpa = 0x0400;       // word 82 bit 10
constexpr std::uint16_t kDco = 0x4800;       // word 83: valid (bits 15:14 = 01), bit 11
constexpr std::uint16_t kW83Valid = 0x4000;  // word 83 valid, no DCO

struct Row {
    const char* what;
    bool lba48;
    std::uint16_t w82, w83;
    std::function<void(sim::DriveBuilder&)> drive;
    Opt hpa, dco, native;
    std::vector<std::uint8_t> commands;  // pass-through commands sent, in order
};

TEST(HiddenSectors, FoundOnlyWhereTheDriveCanTell) {
    const std::int64_t n = kReported;
    const std::vector<Row> rows = {
        {"no HPA feature", true, 0x0001, kW83Valid, {}, {}, {}, n, {}},
        {"HPA, nothing hidden", true, kHpa, kW83Valid, {}, 0, {}, n, {0x27}},
        {"HPA hiding 1,000",
         true,
         kHpa,
         kW83Valid,
         [](auto& d) { d.NativeMaxAddress(kReported + 999); },
         1000,
         {},
         n + 1000,
         {0x27}},
        {"DCO hiding 500",
         true,
         0x0001,
         kDco,
         [](auto& d) { d.DcoMaxAddress(kReported + 499); },
         {},
         500,
         n,
         {0xB1}},
        {"both",
         true,
         kHpa,
         kDco,
         [](auto& d) { d.NativeMaxAddress(kReported + 999).DcoMaxAddress(kReported + 2999); },
         1000,
         2000,
         n + 1000,
         {0x27, 0xB1}},
        {"READ NATIVE MAX refused",
         true,
         kHpa,
         kDco,
         [](auto& d) { d.AbortAtaCommand(0x27).DcoMaxAddress(kReported + 2999); },
         {},
         {},
         {},
         {0x27, 0xB1}},
        {"DCO IDENTIFY refused",
         true,
         kHpa,
         kDco,
         [](auto& d) { d.NativeMaxAddress(kReported + 9); },
         10,
         {},
         n + 10,
         {0x27, 0xB1}},
        {"native address below the reported size",
         true,
         kHpa,
         kW83Valid,
         [](auto& d) { d.NativeMaxAddress(kReported - 10); },
         {},
         {},
         {},
         {0x27}},
        {"native address all ones",
         true,
         kHpa,
         kW83Valid,
         [](auto& d) { d.NativeMaxAddress(0xFFFFFFFFFFFFu); },
         {},
         {},
         {},
         {0x27}},
        {"overlay address beyond 48 bits",
         true,
         kHpa,
         kDco,
         [](auto& d) { d.DcoMaxAddress(std::uint64_t{1} << 50); },
         0,
         {},
         n,
         {0x27, 0xB1}},
        {"28-bit drive: READ NATIVE MAX ADDRESS, high nibble in the device register",
         false,
         kHpa,
         0,
         [](auto& d) { d.NativeMaxAddress(0x0200FFFF); },
         0x0200FFFF + 1 - kReported28,
         {},
         0x0200FFFF + 1,
         {0xF8}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim::SimPlatform sim;
        IdentifyBlock b;
        if (row.lba48) {
            b.Lba28(268435455).Lba48(kReported);
        } else {
            b.Lba28(kReported28);
        }
        b.SetBits(82, row.w82).SetBits(83, row.w83);
        auto drive = sim.AddDrive(0);
        drive.Identify(b.Build()).Sectors(row.lba48 ? kReported : kReported28);
        if (row.drive) row.drive(drive);
        const Handle h =
            sim.Open(sim.DrivePath(0), win::GENERIC_READ | win::GENERIC_WRITE, 3, win::OPEN_EXISTING, 0);
        sim.ClearJournal();

        const HiddenSectors got = DetectHiddenSectors(sim, h, 0, b.Build());

        EXPECT_EQ(got.hpa, row.hpa);
        EXPECT_EQ(got.dco, row.dco);
        EXPECT_EQ(got.nativeSectors, row.native);
        std::vector<std::uint8_t> sent;
        for (const auto& e : sim.Calls(sim::Call::Control)) {
            ASSERT_EQ(e.code, win::IOCTL_ATA_PASS_THROUGH);
            // Nothing that changes the drive: DCO IDENTIFY is the only DEVICE CONFIGURATION sent.
            if (e.ataCommand == win::ATA_DEVICE_CONFIGURATION) {
                EXPECT_EQ(e.ataFeatures, win::DCO_IDENTIFY);
            }
            EXPECT_EQ(e.ataDriveHead & 0xF0, e.ataCommand == win::ATA_DEVICE_CONFIGURATION ? 0xA0 : 0xE0);
            sent.push_back(e.ataCommand);
        }
        EXPECT_EQ(sent, row.commands);
    }
}

// Pass-through answers as odd drivers give them: the request handed back as it came (a driver
// that writes nothing back), or one byte of the data changed on the way.
class MeddlingSim : public sim::SimPlatform {
  public:
    bool Control(Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                 std::uint32_t outSize, std::uint32_t* bytesReturned) override {
        const auto* request = static_cast<const std::uint8_t*>(in);
        const std::vector<std::uint8_t> sent(request, request + inSize);
        const bool ok = SimPlatform::Control(handle, code, in, inSize, out, outSize, bytesReturned);
        auto* answer = static_cast<std::uint8_t*>(out);
        if (ok && echo) std::copy(sent.begin(), sent.end(), answer);
        if (ok && flipAt != 0 && flipAt < outSize) answer[flipAt] ^= 1;
        return ok;
    }
    bool echo = false;
    std::size_t flipAt = 0;
};

TEST(HiddenSectors, AnswersThatAreNoAnswers) {
    MeddlingSim sim;
    sim.AddDrive(0).Identify(IdentifyBlock().Lba28(1000).Build()).DcoMaxAddress(1999);
    const Handle h = sim.Open(sim.DrivePath(0), win::GENERIC_READ, 3, win::OPEN_EXISTING, 0);
    AtaBlock dco{};
    ASSERT_TRUE(ReadNativeMaxAddress(sim, h, 0, false));
    ASSERT_TRUE(DeviceConfigurationIdentify(sim, h, 0, dco));
    EXPECT_EQ(DcoMaximumAddress(dco), 1999u);

    sim.echo = true;
    EXPECT_FALSE(ReadNativeMaxAddress(sim, h, 0, false)) << "0xF8 left in the status register";
    EXPECT_FALSE(ReadNativeMaxAddress(sim, h, 0, true)) << "0x27 left in the status register";
    sim.echo = false;
    sim.flipAt = win::kAtaPassThroughHeader + 100;
    dco.fill(0xEE);
    EXPECT_FALSE(DeviceConfigurationIdentify(sim, h, 0, dco)) << "the integrity byte no longer adds up";
    EXPECT_EQ(dco[0], 0xEE) << "the caller's block is left alone";

    sim.flipAt = 0;
    sim.AddDrive(1)
        .Identify(IdentifyBlock().Lba28(1000).Build())
        .ControlReturns(win::IOCTL_ATA_PASS_THROUGH, 47);
    const Handle h1 = sim.Open(sim.DrivePath(1), win::GENERIC_READ, 3, win::OPEN_EXISTING, 0);
    EXPECT_FALSE(ReadNativeMaxAddress(sim, h1, 0, false)) << "an answer shorter than the header";
}

}  // namespace
}  // namespace orm
