// The main window's behaviour, one table for both faces: each row is what the operator does on a
// main window just opened on a simulated drive of 70,000 sectors, and what follows. The Qt and the
// Win32 window tests run every row through their own window, so a difference between the faces
// fails a row.
#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "common/product.h"
#include "platform/sim/sim_platform.h"
#include "support/recorders.h"
#include "wipe/wipe_command.h"

namespace orm::testing {

// One face's main window. Steps: "page1" (a click on the tab of page 1), "wipe", "smart", "logo",
// "copyright" (clicks), "enter", "busy" and "idle" (the busy state), "close", and "post-close": a
// close queued for the next pump.
class MainFace {
  public:
    virtual ~MainFace() = default;
    virtual void Step(const std::string& step) = 0;
    virtual std::string WipeLog() = 0;
    virtual std::string SmartLog() = 0;
    virtual int EnabledControls() = 0;  // of the two buttons and the page control
    virtual bool WindowUp() = 0;
    virtual int Page() = 0;
    virtual int Progress() = 0;
    virtual std::string SleepJournal() = 0;  // "hold" and "release", comma-separated
};

struct MainRow {
    const char* name;
    bool yes;  // the answer to a confirmation
    const char* steps;
    const char* effects;  // as MainEffects writes them
};

inline const MainRow kMainRows[] = {
    {"wipe, Yes", true, "page1 wipe",
     "confirm box:Format writes zeroed log+6:done progress:100 page:1 sleep:hold,release"},
    {"wipe, No", false, "page1 wipe", "confirm page:1"},
    {"SMART", false, "page2 smart", "smart page:2"},
    {"logo", false, "logo", "web"},
    {"logo while busy", false, "busy logo idle", "web"},
    {"copyright", false, "copyright", "web"},
    {"busy", false, "busy", "busy"},
    {"Enter on the details page", false, "enter", ""},
    {"Enter on the wipe page", false, "page1 enter", "confirm page:1"},
    {"Enter on the SMART page", false, "page2 enter", "smart page:2"},
    {"Enter while busy", false, "page2 busy enter idle", "page:2"},
    {"close", false, "close", "closed gone"},
    // The drive closes at once and the wipe stops at its first pump; the window goes once the wipe
    // has returned.
    {"close during a wipe", true, "page1 post-close wipe",
     "confirm log+6:stopped closed gone sleep:hold,release"},
};

struct MainRig {
    sim::SimPlatform& sim;
    RunState& state;
    BoxRecorder& boxes;
    FixedRegional& regional;
    unsigned drive;
};

// Runs the row's steps on `face` (its block on sleep not used yet) and writes what followed.
inline std::string MainEffects(const MainRow& row, MainFace& face, MainRig rig) {
    rig.sim.ClearJournal();
    rig.sim.Poke(rig.drive, 0, {0xA5});
    rig.boxes = BoxRecorder(row.yes);
    std::string sleepAtBox;
    rig.boxes.onShow = [&] { sleepAtBox = face.SleepJournal(); };
    // Each wipe-log line is stamped: the window must still be up when the last one is written.
    bool upAtLastStamp = true;
    rig.regional.onNow = [&] { upAtLastStamp = face.WindowUp(); };
    const std::string logBefore = face.WipeLog();
    std::istringstream steps(row.steps);
    for (std::string step; steps >> step;) face.Step(step);
    rig.regional.onNow = nullptr;

    std::string effects;
    auto add = [&](const std::string& effect) { effects += (effects.empty() ? "" : " ") + effect; };
    for (const ShownBox& c : rig.boxes.confirms)
        add(c.text == kWipeConfirmText && c.caption == kWipeConfirmCaption ? "confirm" : "confirm:" + c.text);
    for (const ShownBox& b : rig.boxes.shown) add("box:" + b.caption);
    if (!rig.boxes.shown.empty() && sleepAtBox != face.SleepJournal()) add("box-while-held");
    if (!rig.sim.Calls(sim::Call::Write).empty() || !rig.sim.Calls(sim::Call::WriteAt).empty()) add("writes");
    if (rig.sim.IsZero(rig.drive, 0, 70000LL * 512)) add("zeroed");
    const std::string log = face.WipeLog();
    if (log != logBefore) {
        const auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
        add("log+" + std::to_string(lines(log) - lines(logBefore)) + ":" +
            (log.find(kWipeDoneText, logBefore.size()) != std::string::npos                  ? "done"
             : log.find("the main window was closed", logBefore.size()) != std::string::npos ? "stopped"
                                                                                             : "other"));
    }
    if (face.Progress() != 0) add("progress:" + std::to_string(face.Progress()));
    if (face.SmartLog().find("SMART Attributes for") != std::string::npos) add("smart");
    for (const std::string& page : rig.sim.OpenedWebAddresses()) add(page == kMakerWebAddress ? "web" : page);
    for (std::size_t i = 0; i < rig.sim.Calls(sim::Call::Close).size(); ++i) add("closed");
    if (rig.sim.Calls(sim::Call::Close).empty() && rig.state.DeviceHandle == kNoHandle) add("handle-lost");
    if (!face.WindowUp()) add("gone");
    if (!upAtLastStamp) add("gone-early");
    if (face.WindowUp() && face.EnabledControls() != 3)
        add(face.EnabledControls() == 0 ? "busy" : "busy:partly");
    if (face.WindowUp() && face.Page() != 0) add("page:" + std::to_string(face.Page()));
    if (!face.SleepJournal().empty()) add("sleep:" + face.SleepJournal());
    return effects;
}

}  // namespace orm::testing
