// The start-up sequence on simulated drives and clock: each failure of the sequence gives
// exactly one fatal report and nothing after it; the pauses, tries, titles, status text and
// warning lines of a run that goes through.
#include "shell/startup_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "lockstep_clock.h"
#include "platform/sim/sim_platform.h"
#include "shell/setup_library.h"
#include "support/recorders.h"

namespace orm {
namespace {

// What the windows were told, in order.
struct ViewRecorder : StartupView {
    std::vector<std::string> steps;
    std::string title, chooserCopyright, mainCopyright, status;
    void PlaceLogos() override { steps.push_back("logos"); }
    void SetTitles(const std::string& t) override {
        steps.push_back("titles");
        title = t;
    }
    void SetCopyrightLines(const std::string& chooser, const std::string& main) override {
        steps.push_back("copyright");
        chooserCopyright = chooser;
        mainCopyright = main;
    }
    void SetChooserStatus(const std::string& text) override {
        steps.push_back("status");
        status = text;
    }
};

class StartupSequenceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock.padHour = false;
        sim.SetSetupLibrary("SimSetup.dll",
                            {"SetupDiGetClassDevsA", "SetupDiGetClassDevsW", "SetupDiGetClassDevsA"});
        AddDrive(0, 156301488);
        AddDrive(2, 65535);
    }
    void AddDrive(unsigned number, std::int64_t sectors) {
        sim.AddDrive(number)
            .Bus(3)
            .Sectors(sectors)
            .Product("DISK " + std::to_string(number))
            .Revision("1.0");
    }
    bool Run() {
        StartupContext ctx{sim, state, view, wipeLog, clock, fatal, setup};
        return StartupChecks(ctx);
    }
    std::size_t Count(sim::Call call) const { return sim.Calls(call).size(); }
    // The one fatal report, its text and caption.
    void ExpectOnlyFatal(const std::string& text, const std::string& caption) {
        EXPECT_EQ(fatal.calls, (std::vector<std::pair<std::string, std::string>>{{text, caption}}));
        EXPECT_EQ(Count(sim::Call::Open), 0u) << "no drive is touched after a failed check";
        EXPECT_TRUE(wipeLog.lines.empty());
        EXPECT_TRUE(view.status.empty());
        EXPECT_EQ(sim.RunningTimers(), 0);
    }

    testing::LockstepClock sim;
    RunState state;
    ViewRecorder view;
    testing::LineRecorder wipeLog;
    testing::FixedRegional clock{CivilTime{2026, 12, 8, 1, 2, 3}};
    testing::FatalRecorder fatal;
    SetupApiBinding setup;
};

TEST_F(StartupSequenceTest, GoesThroughInOrderAndFillsTheTable) {
    ASSERT_TRUE(Run());
    EXPECT_TRUE(fatal.calls.empty());
    EXPECT_EQ(view.steps, (std::vector<std::string>{"logos", "titles", "copyright", "status"}));
    EXPECT_EQ(view.title, "Ormandel 2.20 build 1098");
    EXPECT_EQ(view.status, "Disks found: 2");
    EXPECT_EQ(state.DrivesFound, 2);
    EXPECT_NE(view.mainCopyright.find(view.chooserCopyright), std::string::npos);
    EXPECT_NE(view.mainCopyright.find("http://"), std::string::npos) << "followed by the web address";
    EXPECT_EQ(wipeLog.lines, (std::vector<std::string>{
                                 "08.12.2026 1:02:03    * * * * *  WARNING!!! * * * * * ",
                                 "08.12.2026 1:02:03   DURING THE WIPE PROCESS ALL DATA WILL BE FULLY and "
                                 "IRREVERSIBLY ERASED! ",
                             }));
    EXPECT_EQ(std::string(kWarningLine).size(), 33u);
    EXPECT_EQ(std::string(kEraseWarningLine).size(), 72u);
    // The fixed pauses: 50 ms, 100 ms, one 50 ms settle per try, 50 ms; one try.
    std::vector<std::uint32_t> sleeps;
    for (const auto& e : sim.Calls(sim::Call::Sleep)) sleeps.push_back(e.length);
    EXPECT_EQ(sleeps, (std::vector<std::uint32_t>{50, 100, 50, 50}));
    EXPECT_EQ(Count(sim::Call::StartTimer), 1u);
    EXPECT_TRUE(setup.IsSetupApiLoaded()) << "the library stays bound for the run";
    // The frequency is read after the platform check and before the first timer.
    const auto journal = sim.Journal();
    auto at = [&](sim::Call c) {
        return std::find_if(journal.begin(), journal.end(), [c](const auto& e) { return e.call == c; }) -
               journal.begin();
    };
    EXPECT_LT(at(sim::Call::Frequency), at(sim::Call::StartTimer));
    EXPECT_LT(at(sim::Call::StartTimer), at(sim::Call::LoadLib));
    EXPECT_LT(at(sim::Call::LoadLib), at(sim::Call::Open));
}

TEST_F(StartupSequenceTest, OtherPlatformFamilyIsTheFirstAndOnlyThing) {
    sim.SetPlatformId(1);
    EXPECT_FALSE(Run());
    ExpectOnlyFatal("Only Windows 2000SP4/2003/XP supported", "Error");
    EXPECT_EQ(Count(sim::Call::Frequency), 0u);
    EXPECT_EQ(Count(sim::Call::Sleep), 0u);
    EXPECT_EQ(Count(sim::Call::StartTimer), 0u);
    EXPECT_EQ(view.steps, (std::vector<std::string>{"logos"}));
}

TEST_F(StartupSequenceTest, UnreadablePlatformIdFails) {
    sim.SetPlatformId(-1);
    EXPECT_FALSE(Run());
    ExpectOnlyFatal("Only Windows 2000SP4/2003/XP supported", "Error");
}

TEST_F(StartupSequenceTest, FailingFrequencyQueryIsTimerError) {
    sim.FailFrequency();
    EXPECT_FALSE(Run());
    ExpectOnlyFatal("Timer error", "Timer");
    EXPECT_EQ(Count(sim::Call::StartTimer), 0u);
}

struct FrequencyCase {
    std::int64_t frequency;
    bool passes;
};

class FrequencyBoundaryTest : public StartupSequenceTest,
                              public ::testing::WithParamInterface<FrequencyCase> {};

TEST_P(FrequencyBoundaryTest, RangeIncludesItsEnds) {
    sim.SetTicksPerSecond(GetParam().frequency);
    const bool ok = Run();
    EXPECT_EQ(ok, GetParam().passes);
    if (GetParam().passes) {
        EXPECT_TRUE(fatal.calls.empty());
        EXPECT_EQ(view.status, "Disks found: 2");
    } else {
        ExpectOnlyFatal("Unknown error.", "Timer");
        EXPECT_EQ(Count(sim::Call::StartTimer), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Frequencies, FrequencyBoundaryTest,
                         ::testing::Values(FrequencyCase{999'999, false}, FrequencyCase{1'000'000, true},
                                           FrequencyCase{2'000'000, true}, FrequencyCase{4'000'000'000, true},
                                           FrequencyCase{4'000'000'001, false}, FrequencyCase{0, false}));

TEST_F(StartupSequenceTest, ThreeFailingSelfTestsEndWithOneBox) {
    sim.SetPeriods({2000});
    EXPECT_FALSE(Run());
    ExpectOnlyFatal("Unknown error.", "Timer");
    EXPECT_EQ(Count(sim::Call::StartTimer), 3u);
    EXPECT_EQ(Count(sim::Call::StopTimer), 3u) << "each try stops its own timer";
    EXPECT_EQ(Count(sim::Call::LoadLib), 0u);
}

TEST_F(StartupSequenceTest, FailedFirstTryFollowedByPassingOneGoesOn) {
    sim.SetPeriods({2000, 1000});
    EXPECT_TRUE(Run());
    EXPECT_TRUE(fatal.calls.empty());
    EXPECT_EQ(Count(sim::Call::StartTimer), 2u) << "no third try";
    EXPECT_EQ(view.status, "Disks found: 2");
}

TEST_F(StartupSequenceTest, PassingThirdTryGoesOn) {
    sim.SetPeriods({2000, 3000, 1000});
    EXPECT_TRUE(Run());
    EXPECT_EQ(Count(sim::Call::StartTimer), 3u);
}

TEST_F(StartupSequenceTest, TimerThatNeverTicksEndsStartUpInBoundedTime) {
    sim.NeverTick();
    EXPECT_FALSE(Run());
    ExpectOnlyFatal("Unknown error.", "Timer");
    EXPECT_EQ(Count(sim::Call::StartTimer), 3u);
}

TEST_F(StartupSequenceTest, CounterReadingZeroIsTimerErrorAtFirstRead) {
    sim.FailRead(1, 0);
    EXPECT_FALSE(Run());
    ExpectOnlyFatal("Timer error", "Timer");
    EXPECT_EQ(sim.Reads(), 1);
    EXPECT_EQ(Count(sim::Call::StartTimer), 1u);
}

TEST_F(StartupSequenceTest, SetupLibraryThatDoesNotLoad) {
    sim.FailSetupLoad();
    EXPECT_FALSE(Run());
    ExpectOnlyFatal("Error #01704", "Error");
    EXPECT_EQ(view.title, "Ormandel 2.20 build 1098") << "titles come before the library";
}

TEST_F(StartupSequenceTest, SetupLibraryLackingOneNameIsUnloadedBeforeTheBox) {
    sim.MissingSetupSymbol("SetupDiGetClassDevsW");
    EXPECT_FALSE(Run());
    ExpectOnlyFatal("Error #01704", "Error");
    EXPECT_EQ(sim.LoadedLibraries(), 0);
}

TEST_F(StartupSequenceTest, FailingStorageQueryDuringTheProbe) {
    sim.AddDrive(1).Bus(3).Sectors(100000).FailControl(0x7405C, 5);  // IOCTL_DISK_GET_LENGTH_INFO
    EXPECT_FALSE(Run());
    ASSERT_EQ(fatal.calls.size(), 1u);
    EXPECT_EQ(fatal.calls[0].first.rfind("Error accessing device: ", 0), 0u) << fatal.calls[0].first;
    EXPECT_EQ(fatal.calls[0].second, "Error");
    EXPECT_TRUE(view.status.empty());
    EXPECT_TRUE(wipeLog.lines.empty());
}

TEST_F(StartupSequenceTest, NoDriveIsNoFailure) {
    sim.RemoveDrive(0);
    sim.RemoveDrive(2);
    EXPECT_TRUE(Run());
    EXPECT_TRUE(fatal.calls.empty());
    EXPECT_EQ(view.status, "Disks found: 0");
    EXPECT_EQ(wipeLog.lines.size(), 2u);
}

TEST_F(StartupSequenceTest, SeventeenDrivesGiveSixteen) {
    for (unsigned n = 0; n < 17; ++n) AddDrive(n, 100000);
    EXPECT_TRUE(Run());
    EXPECT_EQ(view.status, "Disks found: 16");
}

struct LogoCase {
    int width, height, left, top;
};

class LogoPlaceTest : public ::testing::TestWithParam<LogoCase> {};

TEST_P(LogoPlaceTest, FiftyInFromTheRightCentredVertically) {
    const LogoPlace p = PlaceLogoInBand(GetParam().width, GetParam().height);
    EXPECT_EQ(p.left, GetParam().left);
    EXPECT_EQ(p.top, GetParam().top);
    EXPECT_EQ(p.width, 32);
    EXPECT_EQ(p.height, 32);
}

INSTANTIATE_TEST_SUITE_P(Bands, LogoPlaceTest,
                         ::testing::Values(LogoCase{901, 57, 851, 12},    // the chooser as designed
                                           LogoCase{1095, 55, 1045, 11},  // the main window as designed
                                           LogoCase{876, 44, 826, 6},     // the main window at 96 dpi
                                           LogoCase{60, 31, 10, 0}));     // truncated toward zero

}  // namespace
}  // namespace orm
