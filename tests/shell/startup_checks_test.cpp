// The window-free start-up checks: each failing check reports its exact text and caption once.
#include <gtest/gtest.h>

#include "platform/sim/sim_platform.h"
#include "shell/startup_checks.h"
#include "support/recorders.h"

namespace orm {
namespace {

using orm::testing::FatalRecorder;
using Box = std::pair<std::string, std::string>;

TEST(StartupChecks, PlatformFamily) {
    for (int id : {2, 0, 1, 3, -1}) {
        sim::SimPlatform ks;
        ks.SetPlatformId(id);
        FatalRecorder fatal;
        EXPECT_EQ(CheckPlatformFamily(ks, fatal), id == 2) << id;
        const std::vector<Box> refusal = {{"Only Windows 2000SP4/2003/XP supported", "Error"}};
        EXPECT_EQ(fatal.calls, id == 2 ? std::vector<Box>{} : refusal);
        // Only the family is asked: no clock, no drive.
        EXPECT_TRUE(ks.Journal().empty());
    }
}

TEST(StartupChecks, FrequencyRead) {
    sim::SimPlatform ks;
    ks.SetFrequency(2'000'000);
    FatalRecorder fatal;
    std::int64_t f = 0;
    ASSERT_TRUE(ReadPerformanceFrequency(ks, fatal, &f));
    EXPECT_EQ(f, 2'000'000);
    EXPECT_TRUE(fatal.calls.empty());

    ks.FailFrequency();
    f = 77;
    EXPECT_FALSE(ReadPerformanceFrequency(ks, fatal, &f));
    EXPECT_EQ(f, 77);
    EXPECT_EQ(fatal.calls, (std::vector<Box>{{"Timer error", "Timer"}}));

    // The read itself tests nothing: a zero frequency is the range test's business.
    sim::SimPlatform zero;
    zero.SetFrequency(0);
    FatalRecorder quiet;
    EXPECT_TRUE(ReadPerformanceFrequency(zero, quiet, &f));
    EXPECT_EQ(f, 0);
    EXPECT_TRUE(quiet.calls.empty());
}

TEST(StartupChecks, FrequencyRangeBothEndsAllowed) {
    const struct {
        std::int64_t frequency;
        bool ok;
    } cases[] = {
        {1'000'000, true},  {4'000'000'000, true},  {2'000'000, true}, {10'000'000, true},
        {999'999, false},   {4'000'000'001, false}, {0, false},        {-1, false},
        {INT64_MIN, false}, {INT64_MAX, false},
    };
    for (const auto& c : cases) {
        FatalRecorder fatal;
        EXPECT_EQ(CheckFrequencyRange(c.frequency, fatal), c.ok) << c.frequency;
        EXPECT_EQ(fatal.calls, (c.ok ? std::vector<Box>{} : std::vector<Box>{{"Unknown error.", "Timer"}}))
            << c.frequency;
    }
}

TEST(StartupChecks, SetupLibraryBinding) {
    {
        sim::SimPlatform ks;
        SetupApiBinding binding;
        FatalRecorder fatal;
        EXPECT_TRUE(BindSetupLibrary(ks, binding, fatal));
        EXPECT_TRUE(fatal.calls.empty());
        EXPECT_EQ(binding.BindCount(), 1);
        // Already bound: nothing more is loaded.
        EXPECT_TRUE(BindSetupLibrary(ks, binding, fatal));
        EXPECT_EQ(binding.BindCount(), 1);
        EXPECT_EQ(ks.Calls(sim::Call::LoadLib).size(), 1u);
    }
    {
        sim::SimPlatform ks;
        ks.FailSetupLoad();
        SetupApiBinding binding;
        FatalRecorder fatal;
        EXPECT_FALSE(BindSetupLibrary(ks, binding, fatal));
        EXPECT_EQ(fatal.calls, (std::vector<Box>{{"Error #01704", "Error"}}));
    }
    {
        sim::SimPlatform ks;
        ks.MissingSetupSymbol(ks.SetupLibrarySlots().back());
        SetupApiBinding binding;
        FatalRecorder fatal;
        EXPECT_FALSE(BindSetupLibrary(ks, binding, fatal));
        EXPECT_EQ(fatal.calls, (std::vector<Box>{{"Error #01704", "Error"}}));
        // The library was unloaded again before the box.
        EXPECT_EQ(ks.LoadedLibraries(), 0);
        const auto journal = ks.Journal();
        ASSERT_FALSE(journal.empty());
        EXPECT_EQ(journal.back().call, sim::Call::FreeLib);
    }
}

}  // namespace
}  // namespace orm
