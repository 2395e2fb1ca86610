// Recorders and fixed answers for the window tests.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/sinks.h"
#include "lockstep_clock.h"
#include "platform/sim/sim_platform.h"
#include "shell/setup_library.h"
#include "support/recorders.h"
#include "ui/fm_choose.h"
#include "ui/fm_main.h"
#include "ui/qt_sinks.h"
#include "wipe/sleep_block.h"

namespace orm::uitest {

using testing::ShownBox;
using RecordingBoxes = testing::BoxRecorder;

// A clock that stands still at 13:05:09, with a long time whose hour has no leading zero.
class FixedRegional : public testing::FixedRegional {
  public:
    FixedRegional() : testing::FixedRegional(CivilTime{2026, 12, 8, 13, 5, 9}) { padHour = false; }
};

// Everything a main window needs, over simulated drives; the fatal path records its exit code
// instead of ending the test. `sleep` replaces the block on sleep that only records.
struct Harness {
    explicit Harness(SleepBlocker* sleep = nullptr);
    ~Harness();
    testing::LockstepClock sim;  // simulated drives; a self-test on it measures exactly
    RunState state;
    FixedRegional regional;
    RecordingBoxes boxes;
    std::vector<int> exitCodes;
    ui::QtFatalSink fatal;
    SetupApiBinding setup;
    testing::SleepRecorder sleepRecorder;  // the window tests leave the machine's buses alone
    std::unique_ptr<ui::TFmMain> main;
    std::unique_ptr<ui::TFmChoose> chooser;
};

// An ATA drive with IDENTIFY data, `sectors` sectors of 512 bytes.
void AddAtaDrive(sim::SimPlatform& sim, unsigned number, std::int64_t sectors, const std::string& model);

// The text of status panel `panel` (0 to 2) of the main window.
QString StatusPanelText(const QWidget& main, int panel);

// Runs `act` once the application's modal dialog is up (polling, so it does not fire before the
// dialog shows); gives up after `timeoutMs`. The answer cancels the wait when it goes away, so
// a wait that never fired cannot act on a later test's dialog.
class ModalWait {
  public:
    ModalWait(std::function<void(QDialog&)> act, int timeoutMs = 5000);
    ~ModalWait();
    ModalWait(const ModalWait&) = delete;
    ModalWait& operator=(const ModalWait&) = delete;

  private:
    QTimer* m_timer;
};

}  // namespace orm::uitest
