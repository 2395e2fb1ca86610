// The main window's behaviour, one table for both faces: each row is one thing the operator does
// on a main window just opened on a simulated drive, and what follows. The Qt and the Win32 window
// tests run every row through their own window, so a difference between the faces fails a row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/product.h"
#include "platform/sim/sim_platform.h"
#include "support/recorders.h"

namespace orm::testing {

enum class MainAction { WipeYes, WipeNo, Smart, Logo, LogoWhileBusy, Copyright, Close, CloseDuringWipe };

// One face's main window, opened on the drive.
class MainFace {
  public:
    virtual ~MainFace() = default;
    // Clicks the button or label (a wipe's confirmation is answered by the box recorder); a close
    // during a wipe is queued before the click, so that the wipe's first pump dispatches it.
    virtual void Do(MainAction action) = 0;
    virtual std::string WipeLog() = 0;
    virtual std::string SmartLog() = 0;
    virtual bool CommandsEnabled() = 0;
    virtual bool WindowUp() = 0;
    // The block on sleep so far: "hold" and "release", blank-separated.
    virtual std::string SleepJournal() = 0;
};

struct MainRow {
    const char* name;
    MainAction action;
    bool yes;                // the answer to a confirmation
    std::size_t confirms;    // confirmations asked
    const char* box;         // caption of the one box shown afterwards; nullptr: none
    bool writes;             // anything written to the drive
    const char* wipeLogEnd;  // how the wipe log's last line ends; nullptr: the log is unchanged
    bool smartReport;        // a SMART report was written
    std::size_t webPages;    // the maker's page opened this often
    bool closed;             // the drive closed, once
    bool windowUp;           // the window still there once the action has returned
    const char* sleep;       // the block on sleep afterwards; released before any box goes up
};

inline constexpr const char* kWipeDoneLineEnd =
    "Wipe is done. You will have to create partitions and format this drive.   ";

// clang-format off
inline const MainRow kMainRows[] = {
    // name                  action                      yes    conf box       writes log end              smart  web closed up     sleep
    {"wipe, Yes",            MainAction::WipeYes,         true,  1, "Format", true,  kWipeDoneLineEnd,       false, 0, false, true,  "hold release"},
    {"wipe, No",             MainAction::WipeNo,          false, 1, nullptr,  false, nullptr,                false, 0, false, true,  ""},
    {"SMART",                MainAction::Smart,           false, 0, nullptr,  false, nullptr,                true,  0, false, true,  ""},
    {"logo",                 MainAction::Logo,            false, 0, nullptr,  false, nullptr,                false, 1, false, true,  ""},
    {"logo while busy",      MainAction::LogoWhileBusy,   false, 0, nullptr,  false, nullptr,                false, 1, false, true,  ""},
    {"copyright",            MainAction::Copyright,       false, 0, nullptr,  false, nullptr,                false, 1, false, true,  ""},
    {"close",                MainAction::Close,           false, 0, nullptr,  false, nullptr,                false, 0, true,  false, ""},
    // The drive closes at once, the wipe stops at its first pump, the window goes once it returned.
    {"close during a wipe",  MainAction::CloseDuringWipe, true,  1, nullptr,  false, "the main window was closed. The drive is not fully erased.",
                                                                                                             false, 0, true,  false, "hold release"},
};
// clang-format on

// Everything around the face that the rows look at.
struct MainRig {
    sim::SimPlatform& sim;
    RunState& state;
    BoxRecorder& boxes;
    FixedRegional& regional;
};

// Runs `row` on `face`, whose block on sleep has not been used yet, and answers what differs from it, one
// text each (nothing: the row holds).
inline std::vector<std::string> RunMainRow(const MainRow& row, MainFace& face, MainRig rig) {
    std::vector<std::string> wrong;
    auto expect = [&](bool holds, const std::string& what) {
        if (!holds) wrong.push_back(std::string(row.name) + ": " + what);
    };
    rig.sim.ClearJournal();
    rig.boxes = BoxRecorder(row.yes);
    std::string sleepAtBox;
    rig.boxes.onShow = [&] { sleepAtBox = face.SleepJournal(); };
    // Each wipe-log line is stamped: the window must still be up when the last one is written.
    bool upAtLastStamp = true;
    rig.regional.onNow = [&] { upAtLastStamp = face.WindowUp(); };
    const std::string logBefore = face.WipeLog();

    face.Do(row.action);

    rig.regional.onNow = nullptr;
    expect(rig.boxes.confirms.size() == row.confirms, "confirmations asked");
    expect(rig.boxes.shown.size() == (row.box != nullptr ? 1u : 0u), "boxes shown");
    if (row.box != nullptr && !rig.boxes.shown.empty()) expect(rig.boxes.shown[0].caption == row.box, "box");
    const std::size_t writes =
        rig.sim.Calls(sim::Call::Write).size() + rig.sim.Calls(sim::Call::WriteAt).size();
    expect((writes > 0) == row.writes, "writes: " + std::to_string(writes));
    const std::string log = face.WipeLog();
    if (row.wipeLogEnd == nullptr) {
        expect(log == logBefore, "the wipe log changed");
    } else {
        const std::string end = row.wipeLogEnd;
        expect(log.size() >= end.size() && log.compare(log.size() - end.size(), end.size(), end) == 0,
               "the wipe log ends: " + log.substr(log.size() > 120 ? log.size() - 120 : 0));
    }
    expect((face.SmartLog().find("SMART Attributes for") != std::string::npos) == row.smartReport,
           "SMART report");
    const std::vector<std::string> pages = rig.sim.OpenedWebAddresses();
    expect(pages.size() == row.webPages, "web pages opened: " + std::to_string(pages.size()));
    for (const std::string& page : pages) expect(page == kMakerWebAddress, "web page " + page);
    expect(rig.sim.Calls(sim::Call::Close).size() == (row.closed ? 1u : 0u), "drive closes");
    expect((rig.state.DeviceHandle == kNoHandle) == row.closed, "DeviceHandle");
    expect(face.WindowUp() == row.windowUp, "window up");
    expect(upAtLastStamp, "the window went before the command returned");
    if (row.windowUp) expect(face.CommandsEnabled(), "the busy state stayed on");
    expect(face.SleepJournal() == row.sleep, "block on sleep: " + face.SleepJournal());
    if (!rig.boxes.shown.empty()) expect(sleepAtBox == face.SleepJournal(), "block held at the closing box");
    return wrong;
}

}  // namespace orm::testing
