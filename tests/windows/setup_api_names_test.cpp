// The entry points bound from SetupApi.dll: their slot structure, and whether this system's
// library has them all.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "platform/windows/setup_api_names.h"
#include "platform/windows/windows_kernel_services.h"
#include "wine_detect.h"

namespace orm::windows {
namespace {

using testing::RunningUnderWine;

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

TEST(SetupApiNames, SlotsAreAnsiWideAnsiTripletsThenSingles) {
    const auto paired = SetupApiPairedNames();
    const auto singles = SetupApiSingleNames();
    const std::vector<std::string>& slots = SetupApiSlots();
    ASSERT_EQ(slots.size(), paired.size() * 3 + singles.size());
    for (std::size_t i = 0; i < paired.size(); ++i) {
        const std::string name = paired[i];
        EXPECT_EQ(slots[3 * i], name + "A");
        EXPECT_EQ(slots[3 * i + 1], name + "W");
        EXPECT_EQ(slots[3 * i + 2], name + "A");
    }
    for (std::size_t i = 0; i < singles.size(); ++i) EXPECT_EQ(slots[3 * paired.size() + i], singles[i]);
}

TEST(SetupApiNames, CountsOfSlotsNamesAndFamilies) {
    const std::vector<std::string>& slots = SetupApiSlots();
    const std::set<std::string> names(slots.begin(), slots.end());
    const auto deviceInfo = std::count_if(names.begin(), names.end(),
                                          [](const std::string& n) { return StartsWith(n, "SetupDi"); });
    // Every function of the library that has an ANSI and a wide form, and 31 single names of the
    // device-information-set family.
    EXPECT_EQ(SetupApiPairedNames().size(), 125u);
    EXPECT_EQ(SetupApiSingleNames().size(), 31u);
    EXPECT_EQ(slots.size(), 406u);
    EXPECT_EQ(names.size(), 281u);
    EXPECT_EQ(deviceInfo, 123);
    for (const std::string& name : names) EXPECT_TRUE(StartsWith(name, "Setup")) << name;
}

TEST(SetupApiNames, NoNameIsListedTwice) {
    std::set<std::string> seen;
    for (const char* name : SetupApiPairedNames()) {
        EXPECT_TRUE(seen.insert(name).second) << name;
        const std::string text = name;
        EXPECT_NE(text.back(), 'A') << name;
        EXPECT_NE(text.back(), 'W') << name;
    }
    for (const char* name : SetupApiSingleNames()) EXPECT_TRUE(seen.insert(name).second) << name;
}

TEST(SetupApiNames, ThisSystemsLibraryResolvesThem) {
    WindowsKernelServices ks;
    void* module = ks.LoadLib(ks.SetupLibraryName());
    ASSERT_NE(module, nullptr) << "SetupApi.dll does not load";
    std::set<std::string> missing;
    for (const std::string& name : ks.SetupLibrarySlots()) {
        if (ks.FindSymbol(module, name) == nullptr) missing.insert(name);
    }
    ks.FreeLib(module);

    if (RunningUnderWine()) {
        // Wine's SetupApi.dll lacks a few rarely used functions; start-up then stops with
        // "Error #01704". The names are printed for the record.
        std::cout << "Wine's SetupApi.dll lacks " << missing.size() << " of the bound names:";
        for (const std::string& name : missing) std::cout << ' ' << name;
        std::cout << '\n';
        RecordProperty("WineMissingSetupApiNames", static_cast<int>(missing.size()));
        EXPECT_LT(missing.size(), ks.SetupLibrarySlots().size() / 4);
    } else {
        EXPECT_TRUE(missing.empty()) << missing.size() << " names missing, the first " << *missing.begin();
    }
}

}  // namespace
}  // namespace orm::windows
