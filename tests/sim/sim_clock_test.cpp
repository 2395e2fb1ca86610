// The emulated clock and timer, the platform id and the device-setup library.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/sim/sim_platform.h"

namespace orm::sim {
namespace {

void CountTick(void* user) {
    static_cast<std::atomic<std::int64_t>*>(user)->fetch_add(1);
}

TEST(SimClock, CounterMovesOnlyBySleepAndTicks) {
    SimPlatform sim;
    std::int64_t f = 0, a = 0, b = 0;
    ASSERT_TRUE(sim.Frequency(&f));
    EXPECT_EQ(f, 10'000'000);
    ASSERT_TRUE(sim.Counter(&a));
    ASSERT_TRUE(sim.Counter(&b));
    EXPECT_GT(a, 0);
    EXPECT_EQ(a, b);
    sim.Sleep(50);
    ASSERT_TRUE(sim.Counter(&b));
    EXPECT_EQ(b - a, 500'000);
}

TEST(SimClock, TicksAdvanceTheCounterByTheirPeriod) {
    SimPlatform sim;
    sim.SetFrequency(2'000'000);
    sim.SetTimerPeriodsMicros({2000, 1000});
    std::atomic<std::int64_t> count{0};
    const std::int64_t start = sim.CounterNow();
    const auto id = sim.StartTimer(1, CountTick, &count);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(sim.RunningTimers(), 1);
    while (count.load() < 10) {
    }
    EXPECT_TRUE(sim.StopTimer(id));
    const std::int64_t ticks = count.load();
    EXPECT_EQ(sim.CounterNow() - start, ticks * 4000);  // 2 ms at 2 MHz per tick
    EXPECT_EQ(sim.RunningTimers(), 0);
    EXPECT_EQ(count.load(), ticks);  // nothing after the stop
    EXPECT_FALSE(sim.StopTimer(id));

    // The second timer gets the second period.
    const std::int64_t again = sim.CounterNow();
    count = 0;
    const auto id2 = sim.StartTimer(1, CountTick, &count);
    while (count.load() < 5) {
    }
    sim.StopTimer(id2);
    EXPECT_EQ(sim.CounterNow() - again, count.load() * 2000);
}

TEST(SimClock, SilentTimerAndFailures) {
    SimPlatform sim;
    sim.TimerNeverTicks();
    std::atomic<std::int64_t> count{0};
    const auto id = sim.StartTimer(1, CountTick, &count);
    sim.Sleep(10);
    EXPECT_TRUE(sim.StopTimer(id));
    EXPECT_EQ(count.load(), 0);

    std::int64_t v = 0;
    sim.FailCounterRead(2);
    EXPECT_TRUE(sim.Counter(&v));
    EXPECT_FALSE(sim.Counter(&v));
    EXPECT_TRUE(sim.Counter(&v));
    sim.FailCounterRead(1, 0);
    EXPECT_TRUE(sim.Counter(&v));
    EXPECT_EQ(v, 0);

    sim.FailFrequency();
    EXPECT_FALSE(sim.Frequency(&v));
    EXPECT_EQ(sim.PlatformId(), 2);
    sim.SetPlatformId(1);
    EXPECT_EQ(sim.PlatformId(), 1);
}

TEST(SimSetupLibrary, LoadResolveFree) {
    SimPlatform sim;
    EXPECT_EQ(sim.SetupLibraryName(), "SimSetup.dll");
    ASSERT_FALSE(sim.SetupLibrarySlots().empty());
    void* m = sim.LoadLib("SimSetup.dll");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(sim.LoadedLibraries(), 1);
    for (const auto& name : sim.SetupLibrarySlots()) EXPECT_NE(sim.FindSymbol(m, name), nullptr) << name;
    EXPECT_EQ(sim.FindSymbol(m, "NoSuchEntry"), nullptr);
    sim.MissingSetupSymbol(sim.SetupLibrarySlots()[1]);
    EXPECT_EQ(sim.FindSymbol(m, sim.SetupLibrarySlots()[1]), nullptr);
    EXPECT_TRUE(sim.FreeLib(m));
    EXPECT_EQ(sim.LoadedLibraries(), 0);

    EXPECT_EQ(sim.LoadLib("Other.dll"), nullptr);
    sim.FailSetupLoad();
    EXPECT_EQ(sim.LoadLib("SimSetup.dll"), nullptr);
    EXPECT_EQ(sim.LastError(), 126u);
}

}  // namespace
}  // namespace orm::sim
