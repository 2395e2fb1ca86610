// Binding the device-setup library: bind count, slots, unbinding on a missing name.
#include <gtest/gtest.h>

#include "platform/sim/sim_platform.h"
#include "shell/setup_library.h"

namespace orm {
namespace {

using sim::Call;

const std::vector<std::string> kSlots = {"SetupOneA", "SetupOneW", "SetupOneA", "SetupTwo", "SetupThree"};

TEST(SetupApiBinding, FirstRequestLoadsAndResolvesEverySlot) {
    sim::SimPlatform ks;
    ks.SetSetupLibrary("Setup.dll", kSlots);
    SetupApiBinding b;
    EXPECT_FALSE(b.IsSetupApiLoaded());
    ASSERT_TRUE(b.LoadSetupApi(ks));
    EXPECT_TRUE(b.IsSetupApiLoaded());
    EXPECT_EQ(b.BindCount(), 1);
    ASSERT_EQ(b.Slots().size(), kSlots.size());
    for (void* slot : b.Slots()) EXPECT_NE(slot, nullptr);
    EXPECT_EQ(b.Slots()[0], b.Slots()[2]);  // the same name twice, the same address
    const auto lookups = ks.Calls(Call::FindSymbol);
    ASSERT_EQ(lookups.size(), kSlots.size());
    for (std::size_t i = 0; i < kSlots.size(); ++i) EXPECT_EQ(lookups[i].text, kSlots[i]);
    EXPECT_EQ(ks.Calls(Call::LoadLib).at(0).text, "Setup.dll");

    // A second request only counts.
    EXPECT_TRUE(b.LoadSetupApi(ks));
    EXPECT_EQ(b.BindCount(), 2);
    EXPECT_EQ(ks.Calls(Call::LoadLib).size(), 1u);
    EXPECT_EQ(ks.LoadedLibraries(), 1);

    b.UnloadSetupApi(ks);
    EXPECT_TRUE(b.IsSetupApiLoaded());
    EXPECT_EQ(ks.LoadedLibraries(), 1);
    b.UnloadSetupApi(ks);
    EXPECT_FALSE(b.IsSetupApiLoaded());
    EXPECT_EQ(ks.LoadedLibraries(), 0);
    for (void* slot : b.Slots()) EXPECT_EQ(slot, nullptr);
}

TEST(SetupApiBinding, MissingNameUnbindsAgain) {
    sim::SimPlatform ks;
    ks.SetSetupLibrary("Setup.dll", kSlots);
    ks.MissingSetupSymbol("SetupTwo");
    SetupApiBinding b;
    EXPECT_FALSE(b.LoadSetupApi(ks));
    EXPECT_FALSE(b.IsSetupApiLoaded());
    EXPECT_EQ(b.BindCount(), 0);
    EXPECT_EQ(ks.LoadedLibraries(), 0);
    EXPECT_EQ(ks.Calls(Call::FreeLib).size(), 1u);
    // Every slot was still looked up, and none keeps an address.
    EXPECT_EQ(ks.Calls(Call::FindSymbol).size(), kSlots.size());
    for (void* slot : b.Slots()) EXPECT_EQ(slot, nullptr);
}

TEST(SetupApiBinding, FailedLoadIsNotCountedAsBound) {
    sim::SimPlatform ks;
    ks.FailSetupLoad();
    SetupApiBinding b;
    EXPECT_FALSE(b.LoadSetupApi(ks));
    EXPECT_FALSE(b.IsSetupApiLoaded());
    EXPECT_EQ(b.BindCount(), 0);
    // A later request tries again instead of answering true for a library never loaded.
    EXPECT_FALSE(b.LoadSetupApi(ks));
    EXPECT_EQ(ks.Calls(Call::LoadLib).size(), 2u);
    ks.FailSetupLoad(false);
    EXPECT_TRUE(b.LoadSetupApi(ks));
    EXPECT_TRUE(b.IsSetupApiLoaded());
    EXPECT_EQ(b.BindCount(), 1);
}

}  // namespace
}  // namespace orm
