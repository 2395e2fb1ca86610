// The block on sleep around a wipe: taken at the Yes, given back when the closing box goes up, or
// when the wipe ends without one; never taken without a Yes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "wipe/sleep_block.h"
#include "wipe/wipe_command.h"
#include "wipe_fixture.h"

namespace orm::test {
namespace {

class RecordingBlocker : public SleepBlocker {
  public:
    explicit RecordingBlocker(std::vector<std::string>& events) : m_events(events) {}
    void Hold(const std::string& why) override { m_events.push_back("hold " + why); }
    void Release() override { m_events.push_back("release"); }

  private:
    std::vector<std::string>& m_events;
};

struct SleepCase {
    const char* name;
    bool yes;
    std::function<void(sim::DriveBuilder&)> fault;
    bool closeWindow;
    std::vector<std::string> expected;  // holds, releases, boxes and the busy state, in order
};

class WipeSleep : public WipeFixture, public ::testing::WithParamInterface<SleepCase> {};

TEST_P(WipeSleep, HeldFromTheYesToTheClosingBox) {
    const SleepCase& c = GetParam();
    MakeDrive(4 * 1024, 512, c.fault);
    window.confirmAnswer = c.yes;
    if (c.closeWindow) {
        window.onPump = [&](int pump) {
            if (pump < 3) return true;
            ks.Close(state.DeviceHandle);
            return false;
        };
    }
    RecordingBlocker blocker(events);
    {
        WipeSleepBlock boxes(window, blocker, WipeSleepReason(state, '.'));
        WipeContext ctx{ks, state, regional, window, window, window, boxes, window};
        RunWipeCommand(ctx);
    }
    // The writes as one step; positionings, the flush, lines, pumps and progress left out.
    std::vector<std::string> seen;
    for (const std::string& e : events) {
        const std::string kind = e.substr(0, e.find(' '));
        if (kind == "write") {
            if (seen.empty() || seen.back() != "writes") seen.push_back("writes");
        } else if (kind != "line" && kind != "pump" && kind != "progress" && kind != "seek" &&
                   kind != "flush") {
            seen.push_back(e);
        }
    }
    EXPECT_EQ(seen, c.expected);
}

const std::string kHold = "hold Wiping ST380011A    3.06    [2097.15 Kbytes]";

INSTANTIATE_TEST_SUITE_P(
    WaysOut, WipeSleep,
    ::testing::Values(SleepCase{"No", false, {}, false, {"confirm"}},
                      SleepCase{"Done",
                                true,
                                {},
                                false,
                                {"confirm", kHold, "disabled", "writes", "release", "box Format", "enabled"}},
                      SleepCase{"WriteErrors",
                                true,
                                [](sim::DriveBuilder& d) { d.FailWriteAt(524288, win::ERROR_CRC); },
                                false,
                                {"confirm", kHold, "disabled", "writes", "release",
                                 "box Wipe finished with errors", "enabled"}},
                      SleepCase{
                          "DriveVanished",
                          true,
                          [](sim::DriveBuilder& d) { d.VanishAt(524288, win::ERROR_DEVICE_NOT_CONNECTED); },
                          false,
                          {"confirm", kHold, "disabled", "writes", "release", "box Wipe finished with errors",
                           "enabled"}},
                      SleepCase{"WindowClosed",
                                true,
                                {},
                                true,
                                {"confirm", kHold, "disabled", "writes", "close", "enabled", "release"}}),
    [](const ::testing::TestParamInfo<SleepCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace orm::test
