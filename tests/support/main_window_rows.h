// The main window's behaviour, one table for both faces: each row is what the operator does on a
// main window just opened on a simulated drive of 70,000 sectors, and what follows. The Qt and the
// Win32 window tests run every row through their own window, so a difference between the faces
// fails a row.
#pragma once

#include <algorithm>
#include <sstream>
#include <string>

#include "common/product.h"
#include "discovery/size_text.h"
#include "platform/sim/sim_platform.h"
#include "shell/startup_sequence.h"
#include "support/recorders.h"
#include "wipe/wipe_command.h"

namespace orm::testing {

// One face's main window. Steps: "page1" (a click on the tab of page 1), "wipe", "smart", "logo",
// "copyright" (clicks), "enter", "enter-in-log", "busy" and "idle" (the busy state), "close", "post-close"
// and "post-smart" (a close, a click on the SMART button, queued for the next pump), and on the copyright
// label "hover", "unhover", "right-down", "right-up", "middle-down", "middle-up", "left-down", "left-up" and
// "left-up-away" (released off the label).
class MainFace {
  public:
    virtual ~MainFace() = default;
    virtual void Step(const std::string& step) = 0;
    virtual std::string WipeLog() = 0;
    virtual std::string SmartLog() = 0;
    virtual std::string DetailsLog() = 0;
    virtual std::string Title() = 0;
    virtual std::string DiskName() = 0;
    virtual std::string StatusPanel(int panel) = 0;
    virtual std::string Copyright() = 0;
    virtual int EnabledControls() = 0;  // of the two buttons and the page control
    virtual bool WindowUp() = 0;
    virtual int Page() = 0;
    virtual int Progress() = 0;
    virtual std::string SleepJournal() = 0;     // "hold" and "release", comma-separated
    virtual std::string CopyrightColour() = 0;  // "gray", "blue", "red"
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
    {"Enter in the wipe log, which takes it", false, "page1 enter-in-log", "page:1"},
    {"both commands after the busy state", false, "page1 busy idle wipe page2 smart", "confirm smart page:2"},
    {"pointer on the copyright", false, "hover", "colour:blue"},
    {"pointer off it", false, "hover unhover", ""},
    {"right button on it", false, "hover right-down right-up", "colour:blue"},
    {"middle button on it", false, "hover middle-down middle-up", "colour:blue"},
    {"left press on it", false, "hover left-down", "colour:red"},
    {"left release on it: a click, gray with the pointer on it", false, "hover left-down left-up", "web"},
    {"left release away from it", false, "hover left-down left-up-away", ""},
    {"a click on SMART that a wipe's pump dispatches", true, "page2 post-smart wipe",
     "confirm box:Format writes zeroed log+6:done progress:100 page:2 sleep:hold,release"},
    {"close", false, "close", "closed gone"},
    // The drive closes at once and the wipe stops at its first pump; the window goes once the wipe
    // has returned.
    {"close during a wipe", true, "page1 post-close wipe", "confirm closed gone sleep:hold,release"},
};

// What the window shows once the drive is open, before any step; empty when all is right.
inline std::string OpenedWrong(MainFace& face, const RunState& state) {
    const std::string name = DiskName(state, '.'), log = face.WipeLog(), details = face.DetailsLog();
    std::string wrong;
    auto expect = [&](bool holds, const char* what) { wrong += holds ? "" : std::string(" opened-") + what; };
    expect(face.Title() == kProductTitle && face.StatusPanel(0) == kProductTitle, "title");
    expect(face.DiskName() == name && face.StatusPanel(1) == name && face.StatusPanel(2).empty(), "name");
    expect(face.Copyright() == std::string(kCopyrightLine) + "   " + kMakerWebAddress, "copyright");
    expect(face.Page() == 0 && state.DeviceHandle != kNoHandle && face.SmartLog().empty(), "state");
    expect(details.find("Device details for " + name) != std::string::npos &&
               details.find("Current date and time: ") != std::string::npos,
           "details");
    expect(std::count(log.begin(), log.end(), '\n') == 1 && log.find(kWarningLine) != std::string::npos &&
               log.find(kEraseWarningLine) != std::string::npos,
           "wipe-log");
    return wrong;
}

// Runs the row's steps on `face` (its block on sleep not used yet) and writes what followed.
inline std::string MainEffects(const MainRow& row, MainFace& face, sim::SimPlatform& sim, RunState& state,
                               BoxRecorder& boxes, FixedRegional& regional, unsigned drive) {
    sim.ClearJournal();
    sim.Poke(drive, 0, {0xA5});
    boxes = BoxRecorder(row.yes);
    std::string sleepAtBox;
    boxes.onShow = [&] { sleepAtBox = face.SleepJournal(); };
    // Each wipe-log line is stamped: the window must still be up when the last one is written.
    bool upAtLastStamp = true;
    regional.onNow = [&] { upAtLastStamp = face.WindowUp(); };
    const std::string logBefore = face.WipeLog(), opened = OpenedWrong(face, state);
    std::istringstream steps(row.steps);
    for (std::string step; steps >> step;) face.Step(step);
    regional.onNow = nullptr;

    std::string effects;
    auto add = [&](const std::string& effect) { effects += (effects.empty() ? "" : " ") + effect; };
    for (const ShownBox& c : boxes.confirms)
        add(c.text == kWipeConfirmText && c.caption == kWipeConfirmCaption ? "confirm" : "confirm:" + c.text);
    for (const ShownBox& b : boxes.shown) add("box:" + b.caption);
    if (!boxes.shown.empty() && sleepAtBox != face.SleepJournal()) add("box-while-held");
    if (!sim.Calls(sim::Call::Write).empty() || !sim.Calls(sim::Call::WriteAt).empty()) add("writes");
    if (sim.IsZero(drive, 0, 70000LL * 512)) add("zeroed");
    const std::string log = face.WipeLog();
    if (face.WindowUp() && log != logBefore) {  // a window that has gone took its memos with it
        const auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
        add("log+" + std::to_string(lines(log) - lines(logBefore)) + ":" +
            (log.find("Device size: 70,000 sectors", logBefore.size()) != std::string::npos &&
                     log.find(kWipeDoneText, logBefore.size()) != std::string::npos
                 ? "done"
                 : "other"));
    }
    if (face.Progress() != 0) add("progress:" + std::to_string(face.Progress()));
    if (face.SmartLog().find("SMART Attributes for") != std::string::npos) add("smart");
    for (const sim::JournalEntry& e : sim.Calls(sim::Call::OpenWebAddress))
        add(e.text == kMakerWebAddress ? "web" : e.text);
    for (std::size_t i = 0; i < sim.Calls(sim::Call::Close).size(); ++i) add("closed");
    if (sim.Calls(sim::Call::Close).empty() && state.DeviceHandle == kNoHandle) add("handle-lost");
    if (!face.WindowUp()) add("gone");
    if (!upAtLastStamp) add("gone-early");
    if (face.WindowUp() && face.EnabledControls() != 3)
        add(face.EnabledControls() == 0 ? "busy" : "busy:partly");
    if (face.WindowUp() && face.CopyrightColour() != "gray") add("colour:" + face.CopyrightColour());
    if (face.WindowUp() && face.Page() != 0) add("page:" + std::to_string(face.Page()));
    if (!face.SleepJournal().empty()) add("sleep:" + face.SleepJournal());
    if (!opened.empty()) add(opened.substr(1));
    return effects;
}

}  // namespace orm::testing
