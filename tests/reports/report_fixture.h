// What the report tests share: a simulated drive chosen and opened the way the main window does
// it, and golden text files; the recorders come from support/recorders.h.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "platform/sim/sim_platform.h"
#include "reports/report_context.h"
#include "support/recorders.h"

namespace orm::testing {

// Simulated drives whose SMART DISABLE OPERATIONS can be made to fail on its own (the simulated
// drives fail a control code as a whole).
class TestSim : public sim::SimPlatform {
  public:
    bool Control(Handle handle, std::uint32_t controlCode, const void* in, std::uint32_t inSize, void* out,
                 std::uint32_t outSize, std::uint32_t* bytesReturned) override;
    bool refuseDisable = false;
    int refusedDisables = 0;
};

// One simulated drive, chosen as record 1 and opened for reading and writing.
class ChosenDrive {
  public:
    // `number` is the drive's number on the machine; `ataDrive` its number on its ATA channel.
    explicit ChosenDrive(unsigned number = 0);
    sim::DriveBuilder Drive() { return sim::DriveBuilder(sim, m_number); }

    // Fills the chosen record the way the probe would and opens the drive.
    void Choose(const std::string& model, const std::string& firmware, std::int64_t sectors,
                std::int64_t busType, std::uint8_t ataDrive = 0);
    ReportContext Context() { return ReportContext{sim, state, regional, memo}; }
    // The control calls made since Choose, as (control code, ATA features) pairs.
    std::vector<std::pair<std::uint32_t, std::uint8_t>> Commands() const;

    TestSim sim;
    RunState state;
    FixedRegional regional;
    LineRecorder memo;

  private:
    unsigned m_number;
};

// Compares `lines` with tests/data/<name>.txt (one memo line per text line). With the
// environment variable ORMANDEL_UPDATE_GOLDEN=1 the file is written instead.
void ExpectGolden(const std::vector<std::string>& lines, const std::string& name);

// A 512-byte block from a hex dump in tests/data ("0000: 40 00 ..." rows, "*" repeating the row
// before it up to the next address).
std::array<std::uint8_t, 512> LoadHexBlock(const std::string& name);

}  // namespace orm::testing
