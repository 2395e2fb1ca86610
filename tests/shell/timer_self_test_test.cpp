// The timer self-test on the emulated clock: the verdict windows, whole tries with timers of
// different periods, a timer that never ticks, and counter failures.
#include "shell/timer_self_test.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "lockstep_clock.h"
#include "platform/sim/sim_platform.h"
#include "support/recorders.h"

namespace orm {
namespace {

struct VerdictCase {
    double a, b;
    bool passes;
};

class TimerVerdictTest : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(TimerVerdictTest, WindowsExcludeTheirEnds) {
    const VerdictCase& c = GetParam();
    EXPECT_EQ(TimerVerdict(c.a, c.b), c.passes) << "a=" << c.a << " b=" << c.b;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Windows, TimerVerdictTest,
                         ::testing::Values(VerdictCase{9500, 29500, true},     // a timer keeping time
                                           VerdictCase{8000, 30000, false},    // lower end of a
                                           VerdictCase{8000.5, 30000, true},   // just inside
                                           VerdictCase{12000, 30000, false},   // upper end of a
                                           VerdictCase{11999.9, 30000, true},  //
                                           VerdictCase{9500, 27000, false},    // lower end of b
                                           VerdictCase{9500, 27000.1, true},   //
                                           VerdictCase{9500, 33000, false},    // upper end of b
                                           VerdictCase{9500, 32999.9, true},   //
                                           VerdictCase{20000, 60000, false},   // a 2 ms timer
                                           VerdictCase{kNaN, 30000, false},    // not a number
                                           VerdictCase{9500, kNaN, false},     //
                                           VerdictCase{-9500, 30000, false}));

constexpr double kSimTicksPerMicrosecond = 10.0;  // the emulated counter runs at 10 MHz

class TimerSelfTestOnSim : public ::testing::Test {
  protected:
    TimerTry Run() { return TimerSelfTest(sim, kSimTicksPerMicrosecond, fatal); }

    testing::LockstepClock sim;
    testing::FatalRecorder fatal;
};

TEST_F(TimerSelfTestOnSim, TimerKeepingTimePassesWithFourCounterReads) {
    sim.SetPeriods({1000});
    EXPECT_EQ(Run(), TimerTry::Passed);
    EXPECT_TRUE(fatal.calls.empty());
    EXPECT_EQ(sim.Reads(), 4);
    ASSERT_EQ(sim.Calls(sim::Call::StartTimer).size(), 1u);
    EXPECT_EQ(sim.Calls(sim::Call::StartTimer)[0].length, 1u) << "a 1 ms period";
    EXPECT_EQ(sim.Calls(sim::Call::StopTimer).size(), 1u);
    EXPECT_EQ(sim.RunningTimers(), 0);
    // The 50 ms settle comes between starting and stopping the timer.
    std::vector<sim::Call> order;
    for (const auto& e : sim.Journal()) order.push_back(e.call);
    EXPECT_EQ(order, (std::vector<sim::Call>{sim::Call::StartTimer, sim::Call::Sleep, sim::Call::StopTimer}));
    ASSERT_EQ(sim.Calls(sim::Call::Sleep).size(), 1u);
    EXPECT_EQ(sim.Calls(sim::Call::Sleep)[0].length, 50u);
}

TEST_F(TimerSelfTestOnSim, TwoMillisecondTimerFails) {
    sim.SetPeriods({2000});
    EXPECT_EQ(Run(), TimerTry::Failed);
    EXPECT_TRUE(fatal.calls.empty());
    EXPECT_EQ(sim.RunningTimers(), 0);
}

TEST_F(TimerSelfTestOnSim, EachWindowIsCheckedOnItsOwn) {
    // 10 ticks of 850 us = 8500 us, 30 of them 25500 us: the second window fails.
    sim.SetPeriods({850});
    EXPECT_EQ(Run(), TimerTry::Failed);
    sim.SetPeriods({1050});  // 10,500 and 31,500 us
    EXPECT_EQ(Run(), TimerTry::Passed);
    sim.SetPeriods({1150});  // 11,500 and 34,500 us: the first window passes, the second fails
    EXPECT_EQ(Run(), TimerTry::Failed);
}

TEST_F(TimerSelfTestOnSim, TimerThatNeverTicksFailsWithinItsBound) {
    sim.NeverTick();
    EXPECT_EQ(Run(), TimerTry::Failed);
    EXPECT_TRUE(fatal.calls.empty());
    EXPECT_EQ(sim.RunningTimers(), 0) << "the timer is stopped even when the try gives up";
    EXPECT_EQ(sim.Calls(sim::Call::StopTimer).size(), 1u);
}

TEST_F(TimerSelfTestOnSim, CounterReadingZeroAtFirstReadIsTimerError) {
    sim.FailRead(1, 0);
    EXPECT_EQ(Run(), TimerTry::Fatal);
    EXPECT_EQ(fatal.calls, (std::vector<std::pair<std::string, std::string>>{{"Timer error", "Timer"}}));
    EXPECT_EQ(sim.Reads(), 1) << "nothing is read after the failure";
    EXPECT_EQ(sim.RunningTimers(), 0);
}

TEST_F(TimerSelfTestOnSim, FailingOrNegativeCounterAtEachReadIsTimerError) {
    for (int nth = 1; nth <= 4; ++nth) {
        for (bool negative : {false, true}) {
            testing::LockstepClock local;
            testing::FatalRecorder localFatal;
            local.FailRead(nth, negative ? std::optional<std::int64_t>(-5) : std::nullopt);
            EXPECT_EQ(TimerSelfTest(local, kSimTicksPerMicrosecond, localFatal), TimerTry::Fatal) << nth;
            EXPECT_EQ(localFatal.calls,
                      (std::vector<std::pair<std::string, std::string>>{{"Timer error", "Timer"}}))
                << nth;
            EXPECT_EQ(local.Reads(), nth);
            EXPECT_EQ(local.RunningTimers(), 0);
        }
    }
}

// A platform whose timer ids do not fit in 16 bits.
class WideTimerIds : public sim::SimPlatform {
  public:
    std::uint32_t StartTimer(std::uint32_t periodMs, TimerProc proc, void* user) override {
        return sim::SimPlatform::StartTimer(periodMs, proc, user) + kOffset;
    }
    bool StopTimer(std::uint32_t timerId) override {
        stopped.push_back(timerId);
        return sim::SimPlatform::StopTimer(timerId - kOffset);
    }
    static constexpr std::uint32_t kOffset = 0x30000;
    std::vector<std::uint32_t> stopped;
};

TEST(TCounterTest, KeepsTheWholeTimerIdAndStopsItBeforeGoingAway) {
    WideTimerIds ks;
    std::uint32_t id = 0;
    {
        TCounter counter(ks, 1);
        id = counter.TimerId;
        EXPECT_GT(id, 0xFFFFu);
        EXPECT_EQ(counter.Interval, 1u);
        EXPECT_EQ(ks.RunningTimers(), 1);
    }
    EXPECT_EQ(ks.stopped, std::vector<std::uint32_t>{id});
    EXPECT_EQ(ks.RunningTimers(), 0);
}

TEST(TCounterTest, TicksThroughTimerProcAndResets) {
    sim::SimPlatform ks;
    ks.TimerNeverTicks();
    TCounter counter(ks, 1);
    EXPECT_EQ(counter.Count.load(), 0);
    TimerProc(&counter);
    TimerProc(&counter);
    EXPECT_EQ(counter.Count.load(), 2);
    counter.Reset();
    EXPECT_EQ(counter.Count.load(), 0);
}

}  // namespace
}  // namespace orm
