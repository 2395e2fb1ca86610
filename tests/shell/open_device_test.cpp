// Opening the chosen drive for reading and writing, and closing it with the main window.
#include "shell/open_device.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "discovery/probe.h"
#include "platform/sim/ata_blocks.h"
#include "platform/sim/sim_platform.h"
#include "shell/chooser_rows.h"
#include "support/recorders.h"

namespace orm {
namespace {

struct ViewRecorder : OpenDeviceView {
    std::vector<std::string> steps;
    std::string diskName, panel1;
    void SetDiskName(const std::string& text) override {
        steps.push_back("name");
        diskName = text;
    }
    void SetStatusPanel1(const std::string& text) override {
        steps.push_back("panel1");
        panel1 = text;
    }
};

class OpenDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock.padHour = false;
        state.DrivesFound = 1;
        state.ChosenIndex = 1;
        state.DeviceChosen = true;
        TDeviceTable& r = state.Record(1);
        r.DevicePath = sim.DrivePath(3);
        std::snprintf(r.Model, sizeof r.Model, "%-24s", "ST380011A");  // as the probe stores it
        std::memcpy(r.Firmware, "3.06    ", 8);
        r.SectorCount = 156301488;
        r.BytesPerSector = 512;
        r.BusType = 3;
    }
    sim::DriveBuilder Drive() {
        return std::move(
            sim.AddDrive(3)
                .Bus(3)
                .Sectors(156301488)
                .Product("ST380011A")
                .Identify(sim::IdentifyBlock().Model("ST380011A").Firmware("3.06").Lba28(156301488).Build()));
    }
    bool Open() { return OpenChosenDevice(sim, state, view, details, clock, fatal); }

    sim::SimPlatform sim;
    RunState state;
    ViewRecorder view;
    testing::LineRecorder details;
    testing::FixedRegional clock{CivilTime{2026, 12, 8, 0, 0, 0}};
    testing::FatalRecorder fatal;
};

TEST_F(OpenDeviceTest, OpensForReadingAndWritingThenWritesTheDetails) {
    Drive();
    ASSERT_TRUE(Open());
    EXPECT_TRUE(fatal.calls.empty());
    const auto opens = sim.Calls(sim::Call::Open);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].text, sim.DrivePath(3));
    EXPECT_EQ(opens[0].access, 0xC0000000u);
    EXPECT_NE(state.DeviceHandle, kNoHandle);
    EXPECT_NE(state.DeviceHandle, kInvalidHandle);
    EXPECT_EQ(view.diskName, "ST380011A    3.06    [80.02 Gbytes]");
    EXPECT_EQ(view.panel1, view.diskName);
    EXPECT_EQ(view.steps, (std::vector<std::string>{"name", "panel1"}));
    ASSERT_GE(details.lines.size(), 5u);
    EXPECT_EQ(details.lines[0], " ");
    EXPECT_EQ(details.lines[1], "Current date and time: 08.12.2026") << "midnight: the date alone";
    EXPECT_EQ(details.lines[3], "Device details for ST380011A    3.06    [80.02 Gbytes]");

    const Handle handle = state.DeviceHandle;
    CloseDevice(sim, state);
    ASSERT_EQ(sim.Calls(sim::Call::Close).size(), 1u);
    EXPECT_EQ(sim.Calls(sim::Call::Close)[0].handle, handle);
    EXPECT_EQ(state.DeviceHandle, kNoHandle) << "the closed handle is never used again";
    CloseDevice(sim, state);
    EXPECT_EQ(sim.Calls(sim::Call::Close).size(), 1u);
}

// What the details report finds hidden is kept for the wipe.
TEST_F(OpenDeviceTest, HiddenSectorsTheReportFoundAreKept) {
    Drive()
        .Identify(sim::IdentifyBlock()
                      .Model("ST380011A")
                      .Firmware("3.06")
                      .Lba28(156301488)
                      .Word(82, 0x0400)
                      .Build())
        .NativeMaxAddress(156301488 + 4095);
    ASSERT_TRUE(Open());
    EXPECT_EQ(state.HiddenHpaSectors, 4096);
    EXPECT_EQ(state.HiddenDcoSectors, 0);
}

TEST_F(OpenDeviceTest, CloseWithoutOpenDoesNothing) {
    CloseDevice(sim, state);
    EXPECT_TRUE(sim.Calls(sim::Call::Close).empty());
}

// A handle that is not valid, or valid with a last error, is a failed open with the system's text.
TEST_F(OpenDeviceTest, FailedOpenIsFatalWithTheSystemText) {
    struct {
        std::function<void(sim::DriveBuilder&)> fault;
        const char* text;
    } const cases[] = {
        {[](sim::DriveBuilder& d) { d.FailOpen(5); }, "Error opening device: Access is denied"},
        {[](sim::DriveBuilder& d) { d.OpenWithLastError(87); },
         "Error opening device: The parameter is incorrect"},
        {[](sim::DriveBuilder& d) { d.FailOpen(0xDEAD); }, "Error opening device: "},  // no system text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        sim.RemoveDrive(3);
        sim.ClearJournal();
        fatal.calls.clear();
        view = ViewRecorder{};
        sim::DriveBuilder drive = Drive();
        c.fault(drive);
        EXPECT_FALSE(Open());
        EXPECT_EQ(fatal.calls, (std::vector<std::pair<std::string, std::string>>{{c.text, "Error"}}));
        EXPECT_EQ(state.DeviceHandle, kNoHandle);
        EXPECT_TRUE(view.panel1.empty()) << "status panel 1 only after a successful open";
        EXPECT_TRUE(details.lines.empty());
        EXPECT_EQ(view.diskName, "ST380011A    3.06    [80.02 Gbytes]");
        // Nothing is sent to the drive: a handle it got is given back at once.
        EXPECT_TRUE(sim.Calls(sim::Call::Control).empty());
    }
}

// Another drive under the chosen drive's name: swapped in between the probe and the open.
struct SwapCase {
    const char* name;
    std::function<void(sim::DriveBuilder&)> change;  // empty: the listed drive itself opens
    const char* fatalText;                           // null: the drive opens
};

class OpenSwappedDrive : public OpenDeviceTest, public ::testing::WithParamInterface<SwapCase> {};

TEST_P(OpenSwappedDrive, OnlyTheListedDriveOpens) {
    const SwapCase& c = GetParam();
    Drive().Serial("5JVQ1234");
    state = RunState{};
    ASSERT_TRUE(ProbeDrives(sim, state, fatal));
    ASSERT_EQ(state.DrivesFound, 1);
    state.ChosenIndex = 1;
    state.DeviceChosen = true;
    if (c.change) {
        sim::DriveBuilder swapped = sim.SwapOnOpen(3);
        c.change(swapped);
    }
    sim.ClearJournal();

    EXPECT_EQ(Open(), c.fatalText == nullptr);
    if (c.fatalText == nullptr) {
        EXPECT_TRUE(fatal.calls.empty());
        EXPECT_NE(state.DeviceHandle, kNoHandle);
        EXPECT_FALSE(details.lines.empty());
        return;
    }
    EXPECT_EQ(fatal.calls, (std::vector<std::pair<std::string, std::string>>{{c.fatalText, "Error"}}))
        << "one box, not the probe's own";
    EXPECT_EQ(state.DeviceHandle, kNoHandle);
    EXPECT_TRUE(view.panel1.empty());
    EXPECT_TRUE(details.lines.empty());
    const auto journal = sim.Journal();
    ASSERT_EQ(journal.front().call, sim::Call::Open);
    EXPECT_EQ(journal.back().call, sim::Call::Close) << "the handle is given back and nothing follows";
    EXPECT_EQ(journal.back().handle, journal.front().handle);
}

#define CHANGED(what)                                          \
    "The drive has changed since the list was made: its " what \
    ". Start the program again to see the current list."

INSTANTIATE_TEST_SUITE_P(
    Changes, OpenSwappedDrive,
    ::testing::Values(
        SwapCase{"Unchanged", {}, nullptr},
        SwapCase{"Model", [](sim::DriveBuilder& d) { d.Product("ST380012A"); }, CHANGED("model differs")},
        SwapCase{"SerialNumber", [](sim::DriveBuilder& d) { d.Serial("5JVQ9999"); },
                 CHANGED("serial number differs")},
        SwapCase{"SectorSize", [](sim::DriveBuilder& d) { d.Sectors(156301488).SectorSize(4096); },
                 CHANGED("sector size differs")},
        SwapCase{"SectorCount", [](sim::DriveBuilder& d) { d.Sectors(156301489); },
                 CHANGED("sector count differs")},
        SwapCase{"SerialAndSize", [](sim::DriveBuilder& d) { d.Serial("X").Sectors(100000); },
                 CHANGED("serial number and sector count differ")},
        SwapCase{"NotIdentified",
                 [](sim::DriveBuilder& d) { d.FailControl(0x7405C, 5); },  // the length query
                 "The drive has changed since the list was made: the drive now under its name cannot be "
                 "identified. Start the program again to see the current list."}),
    [](const ::testing::TestParamInfo<SwapCase>& p) { return std::string(p.param.name); });

#undef CHANGED

TEST(ChooserRowTextsTest, ColumnsOfOneRecord) {
    TDeviceTable r;
    std::memcpy(r.Model, "  ST380011A   ", 14);
    std::memcpy(r.Firmware, "3.06    ", 8);  // fills the field: no zero byte
    std::memcpy(r.SerialNumber, "5JV3ABCD  ", 10);
    r.SectorCount = 156301488;
    r.BytesPerSector = 512;
    r.BusType = 3;
    EXPECT_EQ(ChooserRowTexts(r, '.'),
              (std::array<std::string, 6>{"ATA", "ST380011A", "3.06    ", "5JV3ABCD  ", "156301488",
                                          "80.02 Gbytes"}));
    r.BusType = 7;
    r.SectorCount = 65535;
    const auto usb = ChooserRowTexts(r, ',');
    EXPECT_EQ(usb[0], "USB");
    EXPECT_EQ(usb[5], "33,55 Mbytes");
    // A 4Kn drive at the chooser's minimum: its size is the sectors times 4096.
    r.BytesPerSector = 4096;
    EXPECT_EQ(ChooserRowTexts(r, '.')[5], "268.43 Mbytes");
}

TEST(ContinueWithRowTest, RefusesSmallDrivesAndRecordsTheChoice) {
    RunState state;
    state.DrivesFound = 3;
    state.Record(1).SectorCount = 65534;
    state.Record(2).SectorCount = 65535;
    state.Record(3).SectorCount = 0;
    testing::BoxRecorder boxes;

    EXPECT_FALSE(ContinueWithRow(state, 0, boxes));
    EXPECT_FALSE(ContinueWithRow(state, 2, boxes));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0],
              (testing::ShownBox{"This device cannot be accessed because it is smaller than 65535 sectors.  ",
                                 "Cannot access this device", BoxIcon::Information}));
    EXPECT_FALSE(state.DeviceChosen);
    EXPECT_EQ(state.ChosenIndex, 0);

    // No selection, or a row beyond the table: nothing happens at all.
    EXPECT_FALSE(ContinueWithRow(state, -1, boxes));
    EXPECT_FALSE(ContinueWithRow(state, 3, boxes));
    EXPECT_EQ(boxes.shown.size(), 2u);

    EXPECT_TRUE(ContinueWithRow(state, 1, boxes));
    EXPECT_TRUE(state.DeviceChosen);
    EXPECT_EQ(state.ChosenIndex, 2);
    EXPECT_EQ(boxes.shown.size(), 2u);
}

}  // namespace
}  // namespace orm
