// Hidden sectors on simulated drives: what each kind of drive answers, what is made of it, and
// that nothing but the three read-only commands is ever sent.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "ata/hidden_sectors.h"
#include "platform/sim/ata_blocks.h"
#include "platform/sim/sim_platform.h"
#include "platform/win_layouts.h"

namespace orm {
namespace {

using Opt = std::optional<std::int64_t>;
using Address = std::optional<std::uint64_t>;

constexpr std::int64_t kN = 976773168;     // the reported count of a 48-bit drive
constexpr std::int64_t kN28 = 0x01000000;  // and of a 28-bit one
constexpr std::uint16_t kHpa = 0x0400;     // word 82 bit 10
constexpr std::uint16_t kDco = 0x4800;     // word 83 valid (bits 15:14 = 01) with bit 11
constexpr std::uint16_t kNoDco = 0x4000;

struct Row {
    const char* what;
    bool lba48;
    std::uint16_t w82, w83;
    Address nativeMax, dcoMax;
    std::uint8_t aborted;  // a command the drive aborts, 0 for none
    Opt hpa, dco, native;
    std::vector<std::uint8_t> sent;  // pass-through commands, in order
};

TEST(HiddenSectors, FoundOnlyWhereTheDriveCanTell) {
    const Row rows[] = {
        {"no HPA feature", true, 1, kNoDco, {}, {}, 0, {}, {}, kN, {}},
        {"HPA, nothing hidden", true, kHpa, kNoDco, {}, {}, 0, 0, {}, kN, {0x27}},
        {"HPA hiding 1000", true, kHpa, kNoDco, kN + 999, {}, 0, 1000, {}, kN + 1000, {0x27}},
        {"DCO hiding 500", true, 1, kDco, {}, kN + 499, 0, {}, 500, kN, {0xB1}},
        {"both", true, kHpa, kDco, kN + 999, kN + 2999, 0, 1000, 2000, kN + 1000, {0x27, 0xB1}},
        {"READ NATIVE MAX refused", true, kHpa, kDco, {}, kN + 2999, 0x27, {}, {}, {}, {0x27, 0xB1}},
        {"DCO IDENTIFY refused", true, kHpa, kDco, kN + 9, {}, 0, 10, {}, kN + 10, {0x27, 0xB1}},
        {"native address below the reported size", true, kHpa, kNoDco, kN - 10, {}, 0, {}, {}, {}, {0x27}},
        {"native address all ones", true, kHpa, kNoDco, 0xFFFFFFFFFFFFu, {}, 0, {}, {}, {}, {0x27}},
        {"overlay beyond 48 bits", true, kHpa, kDco, {}, std::uint64_t{1} << 50, 0, 0, {}, kN, {0x27, 0xB1}},
        // Address bits 27:24 come back in the device register.
        {"28-bit drive", false, kHpa, 0, 0x0200FFFF, {}, 0, 0x02010000 - kN28, {}, 0x02010000, {0xF8}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim::SimPlatform sim;
        sim::IdentifyBlock b;
        row.lba48 ? b.Lba28(268435455).Lba48(kN) : b.Lba28(kN28);
        b.SetBits(82, row.w82).SetBits(83, row.w83);
        auto drive = sim.AddDrive(0);
        drive.Identify(b.Build()).Sectors(row.lba48 ? kN : kN28);
        if (row.nativeMax) drive.NativeMaxAddress(*row.nativeMax);
        if (row.dcoMax) drive.DcoMaxAddress(*row.dcoMax);
        if (row.aborted != 0) drive.AbortAtaCommand(row.aborted);
        const Handle h = sim.Open(sim.DrivePath(0), win::GENERIC_READ, 3, win::OPEN_EXISTING, 0);
        sim.ClearJournal();

        const HiddenSectors got = DetectHiddenSectors(sim, h, 0, b.Build());

        EXPECT_EQ(got.hpa, row.hpa);
        EXPECT_EQ(got.dco, row.dco);
        EXPECT_EQ(got.nativeSectors, row.native);
        std::vector<std::uint8_t> sent;
        for (const auto& e : sim.Calls(sim::Call::Control)) {
            EXPECT_EQ(e.code, win::IOCTL_ATA_PASS_THROUGH);
            const bool dco = e.ataCommand == win::ATA_DEVICE_CONFIGURATION;
            // DCO IDENTIFY is the only DEVICE CONFIGURATION sent: no RESTORE, SET or FREEZE LOCK.
            EXPECT_EQ(e.ataFeatures, dco ? win::DCO_IDENTIFY : 0);
            EXPECT_EQ(e.ataDriveHead, dco ? 0xA0 : 0xE0);
            sent.push_back(e.ataCommand);
        }
        EXPECT_EQ(sent, row.sent);
    }
}

// Pass-through answers as odd drivers give them: the request handed back unchanged (a driver
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
        if (ok && flipAt != 0) answer[flipAt] ^= 1;
        return ok;
    }
    bool echo = false;
    std::size_t flipAt = 0;
};

TEST(HiddenSectors, AnswersThatAreNoAnswers) {
    MeddlingSim sim;
    sim.AddDrive(0).Identify(sim::IdentifyBlock().Lba28(1000).Build()).DcoMaxAddress(1999);
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
    sim.Drive(0).faults.controlReturns[{win::IOCTL_ATA_PASS_THROUGH, {}}] = 47;
    EXPECT_FALSE(ReadNativeMaxAddress(sim, h, 0, false)) << "an answer shorter than the header";
}

}  // namespace
}  // namespace orm
