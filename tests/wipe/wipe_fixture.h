// A simulated drive chosen and opened as the main window would, with recorders for the window.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "discovery/device_table.h"
#include "platform/sim/sim_platform.h"
#include "platform/win_layouts.h"
#include "wipe/sleep_block.h"
#include "wipe/wipe_context.h"
#include "wipe_test_support.h"

namespace orm::test {

class WipeFixture : public ::testing::Test {
  protected:
    // Drive 0 with `sectors` sectors of `sectorSize` bytes, chosen as record 1 and opened for
    // reading and writing into DeviceHandle. `faults` adds injected faults to the drive.
    void MakeDrive(std::int64_t sectors, std::uint32_t sectorSize,
                   const std::function<void(sim::DriveBuilder&)>& faults = {}) {
        auto drive = sim.AddDrive(0);
        drive.SectorSize(sectorSize)
            .Sectors(sectors)
            .Product("ST380011A")
            .Revision("3.06")
            .Serial("5JVQ1234");
        if (faults) faults(drive);

        TDeviceTable& record = state.Record(1);
        record.DevicePath = sim.DrivePath(0);
        std::memset(record.Model, 0, sizeof record.Model);
        std::memset(record.Model, ' ', 24);
        std::memcpy(record.Model, "ST380011A", 9);
        std::memcpy(record.Firmware, "3.06    ", 8);
        record.SectorCount = sectors;
        record.BytesPerSector = sectorSize;
        record.BusType = 3;
        state.DrivesFound = 1;
        state.ChosenIndex = 1;
        state.DeviceChosen = true;
        state.DeviceHandle = sim.Open(record.DevicePath, win::GENERIC_READ | win::GENERIC_WRITE,
                                      win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
        ASSERT_NE(state.DeviceHandle, kInvalidHandle);
        sim.ClearJournal();
        events.clear();
    }

    NoSleepBlock sleep;  // the command's block on sleep
    WipeContext Context() { return WipeContext{ks, state, regional, window, window, window, window, window}; }

    // The wipe log without its stamps; a line without the stamp fails the test.
    std::vector<std::string> Logged() const {
        const std::string prefix = std::string(kStamp) + "   ";
        std::vector<std::string> messages;
        for (const std::string& line : window.lines) {
            EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
            messages.push_back(line.size() >= prefix.size() ? line.substr(prefix.size()) : line);
        }
        return messages;
    }

    std::vector<std::int64_t> Offsets(sim::Call kind) const {
        std::vector<std::int64_t> offsets;
        for (const auto& e : sim.Calls(kind)) offsets.push_back(e.offset);
        return offsets;
    }

    // Calls through `handle` journaled after its Close.
    std::vector<sim::JournalEntry> CallsAfterClose(Handle handle) const {
        const auto journal = sim.Journal();
        auto close = std::find_if(journal.begin(), journal.end(),
                                  [&](const sim::JournalEntry& e) { return e.call == sim::Call::Close; });
        std::vector<sim::JournalEntry> after;
        if (close == journal.end()) return after;
        for (auto it = close + 1; it != journal.end(); ++it) {
            if (it->handle == handle) after.push_back(*it);
        }
        return after;
    }

    sim::SimPlatform sim;
    std::vector<std::string> events;
    RecordingServices ks{sim, events};
    WindowRecorder window{events};
    FixedRegional regional;
    RunState state;
};

}  // namespace orm::test
