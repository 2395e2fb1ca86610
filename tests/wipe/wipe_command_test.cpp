// The WIPE THIS DEVICE command: confirmation, busy state and the wipe log's header.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "wipe/wipe_command.h"
#include "wipe_fixture.h"

namespace orm::test {
namespace {

using sim::Call;

const std::string kDone = "Wipe is done. You will have to create partitions and format this drive.   ";

std::vector<std::string> Header() {
    return {" ", "=================================================",
            "Ormandel 2.20 build 1098; http://www.example.com/ormandel/",
            "Wipe: ST380011A    3.06    [33.55 Mbytes]", "Device size: 65,535 sectors"};
}

class WipeCommandTest : public WipeFixture {
  protected:
    void SetUp() override { MakeDrive(65535, 512); }
};

TEST_F(WipeCommandTest, AsksForConfirmationWithTheProgramsText) {
    window.confirmAnswer = false;
    WipeContext ctx = Context();
    RunWipeCommand(ctx, sleep);

    EXPECT_EQ(window.confirms,
              (std::vector<ShownBox>{{"ARE YOU ABSOLUTELY SURE YOU WANT TO DESTROY ALL DATA ON THE DRIVE?",
                                      "Confirm", BoxIcon::Question}}));
}

// No, Esc and closing the dialog all come back as "not Yes".
TEST_F(WipeCommandTest, AnythingButYesChangesNothing) {
    window.confirmAnswer = false;
    sim.Poke(0, 0, {0xAB});
    WipeContext ctx = Context();
    WipeOutcome outcome;
    outcome.total = -1;

    EXPECT_FALSE(RunWipeCommand(ctx, sleep, &outcome));

    EXPECT_EQ(events, std::vector<std::string>{"confirm"});
    EXPECT_TRUE(window.lines.empty());
    EXPECT_TRUE(window.progress.empty());
    EXPECT_TRUE(window.busy.empty());
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(window.pumps, 0);
    EXPECT_TRUE(sim.Journal().empty()) << "no call on the drive at all";
    EXPECT_EQ(sim.ReadBack(0, 0, 1), std::vector<std::uint8_t>{0xAB});
    EXPECT_EQ(outcome.total, -1) << "the outcome is left alone";
}

TEST_F(WipeCommandTest, YesRunsTheWholeRoadInOrder) {
    sim.Poke(0, 65535LL * 512 - 1, {0xEE});
    WipeContext ctx = Context();
    WipeOutcome outcome;

    EXPECT_TRUE(RunWipeCommand(ctx, sleep, &outcome));

    std::vector<std::string> expected = Header();
    expected.push_back(kDone);
    EXPECT_EQ(Logged(), expected);
    EXPECT_TRUE(outcome.Clean());
    EXPECT_TRUE(sim.IsZero(0, 0, 65535LL * 512));

    // Busy is set after Yes and before the first header line, cleared after the box.
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 3),
              (std::vector<std::string>{"confirm", "disabled", "line " + std::string(kStamp) + "    "}));
    EXPECT_EQ(events[events.size() - 2], "box Format");
    EXPECT_EQ(events.back(), "enabled");
    EXPECT_EQ(window.busy, (std::vector<bool>{false, true}));
}

TEST_F(WipeCommandTest, HeaderLinesCarryTheStampAndThreeBlanks) {
    WipeContext ctx = Context();
    RunWipeCommand(ctx, sleep);

    ASSERT_GE(window.lines.size(), 2u);
    EXPECT_EQ(window.lines[0], "08.12.2026 01:02:03    ");
    EXPECT_EQ(window.lines[1], "08.12.2026 01:02:03   " + std::string(49, '='));
}

TEST_F(WipeCommandTest, SecondWipeAppendsASecondHeaderAndWritesTheWholeDriveAgain) {
    WipeContext ctx = Context();
    RunWipeCommand(ctx, sleep);
    const auto firstWrites = sim.Calls(Call::Write).size();
    sim.Poke(0, 12345, {0x77});
    RunWipeCommand(ctx, sleep);

    std::vector<std::string> expected = Header();
    expected.push_back(kDone);
    const std::vector<std::string> once = expected;
    expected.insert(expected.end(), once.begin(), once.end());
    EXPECT_EQ(Logged(), expected);
    EXPECT_EQ(sim.Calls(Call::Write).size(), 2 * firstWrites);
    EXPECT_EQ(sim.Calls(Call::Write)[firstWrites].offset, 0) << "the second wipe starts again from offset 0";
    EXPECT_TRUE(sim.IsZero(0, 0, 65535LL * 512));
    EXPECT_EQ(window.busy, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(window.confirms.size(), 2u);
}

TEST_F(WipeCommandTest, WipeWithErrorsStillClearsTheBusyStateAfterTheWarningBox) {
    sim.Drive(0).faults.writeFails[524288] = win::ERROR_CRC;
    WipeContext ctx = Context();
    WipeOutcome outcome;
    RunWipeCommand(ctx, sleep, &outcome);

    EXPECT_EQ(outcome.failedChunks, 1);
    EXPECT_EQ(events[events.size() - 2], "box Wipe finished with errors");
    EXPECT_EQ(events.back(), "enabled");
}

// A drive that hides sectors: one line after the header, and the closing line and box of the
// warning kind although every visible sector was written. The log is tests/data/wipe_hidden.txt.
TEST_F(WipeCommandTest, HiddenSectorsAreNamedAfterTheHeaderAndInTheWarningClose) {
    state.HiddenHpaSectors = 1000;
    state.HiddenDcoSectors = 1234567;
    WipeContext ctx = Context();
    WipeOutcome outcome;
    EXPECT_TRUE(RunWipeCommand(ctx, sleep, &outcome));

    std::ifstream golden(std::string(ORMANDEL_TEST_DATA_DIR) + "/wipe_hidden.txt");
    ASSERT_TRUE(golden) << "missing tests/data/wipe_hidden.txt";
    std::vector<std::string> expected;
    for (std::string line; std::getline(golden, line);) expected.push_back(line);
    EXPECT_EQ(Logged(), expected);
    EXPECT_TRUE(outcome.Clean()) << "nothing failed";
    EXPECT_TRUE(sim.IsZero(0, 0, 65535LL * 512));
    EXPECT_EQ(window.boxes, (std::vector<ShownBox>{{expected[expected.size() - 2] + " " + expected.back(),
                                                    "Wipe finished with a warning", BoxIcon::Warning}}));

    // Hidden by one kind only, and a wipe that also failed: the error account names them too.
    state.HiddenDcoSectors = 0;
    sim.Drive(0).faults.writeFails[524288] = win::ERROR_CRC;
    window.lines.clear();
    RunWipeCommand(ctx, sleep, &outcome);
    const std::vector<std::string> logged = Logged();
    ASSERT_EQ(logged.size(), 10u);
    EXPECT_EQ(logged[6], "by a host protected area; this wipe cannot reach them.");
    EXPECT_EQ(logged[8], "Wipe finished with errors: 1 chunk (524288 bytes) could not be written.");
    EXPECT_EQ(logged[9], "The drive is not fully erased. The 1000 hidden sectors are not erased either.");
    EXPECT_EQ(window.boxes.back().caption, "Wipe finished with errors");
}

TEST_F(WipeCommandTest, WindowClosedDuringTheWipeEndsTheCommandWithoutABox) {
    const Handle handle = state.DeviceHandle;
    window.onPump = [&](int pump) {
        if (pump < 3) return true;
        ks.Close(state.DeviceHandle);
        return false;
    };
    WipeContext ctx = Context();
    WipeOutcome outcome;
    EXPECT_TRUE(RunWipeCommand(ctx, sleep, &outcome));

    EXPECT_TRUE(outcome.handleClosed);
    EXPECT_TRUE(CallsAfterClose(handle).empty());
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(window.busy, (std::vector<bool>{false, true}));
}

}  // namespace
}  // namespace orm::test
