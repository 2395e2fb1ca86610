// The native windows on simulated drives: the chooser's list and choices, the main window after
// the open, the busy state, the two commands through their buttons, closing during a wipe, the
// copyright label. Modal loops are driven from a thread timer that fires inside them.
#include <gtest/gtest.h>

#include "win32ui/common_controls.h"

#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "discovery/size_text.h"
#include "lockstep_clock.h"
#include "platform/sim/ata_blocks.h"
#include "shell/product.h"
#include "shell/setup_library.h"
#include "shell_recorders.h"
#include "win32ui/fm_choose.h"
#include "win32ui/fm_main.h"
#include "win32ui/win32_sinks.h"
#include "win32ui/window_kit.h"

namespace orm::win32ui {
namespace {

using Box = std::tuple<std::string, std::string, BoxIcon>;

class BoxRecorder : public MessageBoxes {
  public:
    void Show(const std::string& text, const std::string& caption, BoxIcon icon) override {
        shown.emplace_back(text, caption, icon);
    }
    bool Confirm(const std::string& text, const std::string& caption) override {
        confirms.emplace_back(text, caption);
        return answerYes;
    }
    std::vector<Box> shown;
    std::vector<std::pair<std::string, std::string>> confirms;
    bool answerYes = true;
};

// Runs an action once, from whatever message loop the window thread is in next.
class Soon {
  public:
    explicit Soon(std::function<void()> action) {
        s_action = std::move(action);
        m_id = SetTimer(nullptr, 0, 20, Fire);
    }
    ~Soon() {
        KillTimer(nullptr, m_id);
        s_action = nullptr;
    }
    Soon(const Soon&) = delete;
    Soon& operator=(const Soon&) = delete;

  private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        auto action = std::move(s_action);
        s_action = nullptr;
        if (action) action();
    }
    static inline std::function<void()> s_action;
    UINT_PTR m_id = 0;
};

// Removes a quit request the windows left for the main loop; true when there was one.
bool TakeQuitRequest() {
    MSG msg{};
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) quit = true;
    }
    return quit;
}

std::string ItemText(HWND list, int row, int column) {
    char text[256] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

std::vector<std::string> Lines(HWND edit) {
    std::vector<std::string> lines;
    const std::string text = WindowText(edit);
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return lines;
}

class NativeWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        TakeQuitRequest();
        sim.SetSetupLibrary("SimSetup.dll",
                            {"SetupDiGetClassDevsA", "SetupDiGetClassDevsW", "SetupDiGetClassDevsA"});
        AddDrive(0, 156'301'488, "ST380011A");
        AddDrive(1, 65'534, "SMALL CARD");
        AddDrive(2, 70'000, "DEMODISK");
    }
    void TearDown() override {
        chooser.reset();
        main.reset();
        TakeQuitRequest();
    }

    void AddDrive(unsigned number, std::int64_t sectors, const std::string& model) {
        const sim::Block identify = sim::IdentifyBlock()
                                        .Model(model)
                                        .Serial("SN" + std::to_string(number))
                                        .Firmware("3.06")
                                        .Lba28(static_cast<std::uint32_t>(sectors))
                                        .SetBits(82, 0x0001)
                                        .SetBits(85, 0x0001)
                                        .Build();
        const sim::Block smart =
            sim::SmartBlock().Revision(16).Attribute(5, 100, 100, 0).Attribute(194, 36, 45, 36).Build();
        sim.AddDrive(number)
            .Bus(3)
            .Sectors(sectors)
            .Product(model)
            .Revision("3.06")
            .Serial("SN" + std::to_string(number))
            .Identify(identify)
            .Smart(smart);
    }

    void MakeWindows() {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        main = std::make_unique<TFmMain>(instance, ShellServices{sim, state, regional, boxes, fatal, setup});
        chooser = std::make_unique<TFmChoose>(instance, main->Window(), sim, state, regional, boxes);
    }

    // Starts the program up to the open of the drive in list row `row`.
    void OpenRow(int row) {
        MakeWindows();
        Soon choose([this, row] {
            HWND list = chooser->List();
            ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
            ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            SendMessageA(chooser->Window(), WM_COMMAND, IDOK, 0);
        });
        ASSERT_EQ(main->FormShow(*chooser), ShowResult::Opened);
        ASSERT_TRUE(fatal.calls.empty());
    }

    std::size_t Count(sim::Call call) const { return sim.Calls(call).size(); }

    orm::testing::LockstepClock sim;
    RunState state;
    Win32Regional regional;
    BoxRecorder boxes;
    orm::testing::FatalRecorder fatal;
    SetupApiBinding setup;
    std::unique_ptr<TFmMain> main;
    std::unique_ptr<TFmChoose> chooser;
};

TEST_F(NativeWindows, ChooserListsTheDrivesAndPreselectsTheLast) {
    MakeWindows();
    int rows = -1, selected = -1;
    bool continueEnabled = false;
    std::string status, caption, copyright, row0[6];
    Soon look([&] {
        HWND list = chooser->List();
        rows = ListView_GetItemCount(list);
        selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
        continueEnabled = IsWindowEnabled(chooser->ContinueButton()) != FALSE;
        status = chooser->StatusText();
        caption = WindowText(chooser->Window());
        copyright = WindowText(chooser->CopyrightLabel());
        for (int c = 0; c < 6; ++c) row0[c] = ItemText(list, 0, c);
        SendMessageA(chooser->Window(), WM_COMMAND, IDOK, 0);
    });
    ASSERT_EQ(main->FormShow(*chooser), ShowResult::Opened);

    EXPECT_EQ(rows, 3);
    EXPECT_EQ(selected, 2);
    EXPECT_TRUE(continueEnabled);
    EXPECT_EQ(status, "Disks found: 3");
    EXPECT_EQ(caption, "Choose a device - Ormandel 2.20 build 1098 ");
    EXPECT_EQ(copyright, kCopyrightLine);
    EXPECT_EQ(row0[0], "ATA");
    EXPECT_EQ(row0[1], "ST380011A");
    EXPECT_EQ(row0[2], "3.06    ");
    EXPECT_EQ(row0[4], "156301488");
    EXPECT_EQ(row0[5], "80.02 Gbytes");
    EXPECT_TRUE(state.DeviceChosen);
    EXPECT_EQ(state.ChosenIndex, 3);
    EXPECT_FALSE(IsWindowVisible(chooser->Window()));
}

TEST_F(NativeWindows, SmallDriveIsRefusedAndAnotherCanBeChosen) {
    MakeWindows();
    std::vector<Box> shownWhileOpen;
    bool stillOpen = false;
    Soon act([&] {
        HWND list = chooser->List();
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        ListView_SetItemState(list, 1, LVIS_SELECTED, LVIS_SELECTED);
        SendMessageA(chooser->Window(), WM_COMMAND, IDOK, 0);
        shownWhileOpen = boxes.shown;
        stillOpen = IsWindowVisible(chooser->Window()) != FALSE;
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
        SendMessageA(chooser->Window(), WM_COMMAND, IDOK, 0);
    });
    ASSERT_EQ(main->FormShow(*chooser), ShowResult::Opened);
    ASSERT_EQ(shownWhileOpen.size(), 1u);
    EXPECT_EQ(std::get<0>(shownWhileOpen[0]),
              "This device cannot be accessed because it is smaller than 65535 sectors.  ");
    EXPECT_EQ(std::get<1>(shownWhileOpen[0]), "Cannot access this device");
    EXPECT_EQ(std::get<2>(shownWhileOpen[0]), BoxIcon::Information);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(state.ChosenIndex, 1);
}

TEST_F(NativeWindows, ContinueFollowsTheSelection) {
    MakeWindows();
    bool enabledWithout = true, enabledWith = false;
    Soon act([&] {
        HWND list = chooser->List();
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        enabledWithout = IsWindowEnabled(chooser->ContinueButton()) != FALSE;
        // Continue never acts without a selected row.
        SendMessageA(chooser->Window(), WM_COMMAND, IDOK, 0);
        ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
        enabledWith = IsWindowEnabled(chooser->ContinueButton()) != FALSE;
        PostMessageA(chooser->Window(), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(main->FormShow(*chooser), ShowResult::NothingChosen);
    EXPECT_FALSE(enabledWithout);
    EXPECT_TRUE(enabledWith);
}

TEST_F(NativeWindows, ClosingOrEscapeEndsWithoutOpeningADrive) {
    for (const bool escape : {false, true}) {
        state = RunState{};
        sim.ClearJournal();
        MakeWindows();
        Soon act([&] {
            if (escape) {
                PostMessageA(chooser->List(), WM_KEYDOWN, VK_ESCAPE, 0);
            } else {
                PostMessageA(chooser->Window(), WM_CLOSE, 0, 0);
            }
        });
        EXPECT_EQ(main->FormShow(*chooser), ShowResult::NothingChosen) << escape;
        EXPECT_FALSE(state.DeviceChosen);
        EXPECT_EQ(state.DeviceHandle, kNoHandle);
        EXPECT_TRUE(TakeQuitRequest()) << "the program is asked to end";
        // The probe opened every drive for reading only; nothing was opened for writing.
        for (const sim::JournalEntry& open : sim.Calls(sim::Call::Open)) EXPECT_EQ(open.access, 0x80000000u);
        EXPECT_TRUE(WindowText(main->DetailsMemo()).empty());
        chooser.reset();
        main.reset();
    }
}

TEST_F(NativeWindows, MainWindowAfterTheOpen) {
    OpenRow(0);
    const std::string name = DiskName(state, '.');
    EXPECT_EQ(name, "ST380011A    3.06    [80.02 Gbytes]");
    EXPECT_EQ(WindowText(main->Window()), kProductTitle);
    EXPECT_EQ(WindowText(main->DiskNameLabel()), name);
    EXPECT_EQ(main->StatusPanelText(0), kProductTitle);
    EXPECT_EQ(main->StatusPanelText(1), name);
    EXPECT_EQ(main->StatusPanelText(2), "");
    EXPECT_EQ(WindowText(main->CopyrightLabel()), std::string(kCopyrightLine) + "   " + kMakerWebAddress);
    EXPECT_EQ(main->CurrentPage(), 0);
    EXPECT_NE(state.DeviceHandle, kNoHandle);

    const std::vector<std::string> details = Lines(main->DetailsMemo());
    ASSERT_GT(details.size(), 5u);
    EXPECT_NE(WindowText(main->DetailsMemo()).find("Current date and time: "), std::string::npos);
    EXPECT_NE(WindowText(main->DetailsMemo()).find(name), std::string::npos);
    const std::vector<std::string> wipeLog = Lines(main->WipeMemo());
    ASSERT_EQ(wipeLog.size(), 2u);
    EXPECT_NE(wipeLog[0].find("   * * * * *  WARNING!!! * * * * * "), std::string::npos);
    EXPECT_NE(wipeLog[1].find("   DURING THE WIPE PROCESS ALL DATA WILL BE FULLY and IRREVERSIBLY ERASED! "),
              std::string::npos);
    EXPECT_TRUE(WindowText(main->SmartMemo()).empty());
    for (HWND memo : {main->DetailsMemo(), main->WipeMemo(), main->SmartMemo()}) {
        EXPECT_GT(SendMessageA(memo, EM_GETLIMITTEXT, 0, 0), 1'000'000)
            << "a memo must not stop taking lines";
    }
}

TEST_F(NativeWindows, BusyStateDisablesBothButtonsAndThePages) {
    OpenRow(0);
    main->SetControlsEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(main->WipeButton()));
    EXPECT_FALSE(IsWindowEnabled(main->SmartButton()));
    EXPECT_FALSE(IsWindowEnabled(main->Pages()));
    main->SetControlsEnabled(true);
    EXPECT_TRUE(IsWindowEnabled(main->WipeButton()));
    EXPECT_TRUE(IsWindowEnabled(main->SmartButton()));
    EXPECT_TRUE(IsWindowEnabled(main->Pages()));
}

TEST_F(NativeWindows, WipeButtonZeroFillsTheChosenDriveAfterYes) {
    OpenRow(2);
    sim.Poke(2, 0, std::vector<std::uint8_t>(4096, 0xA5));
    sim.Poke(2, 70'000LL * 512 - 512, std::vector<std::uint8_t>(512, 0x5A));
    SendMessageA(main->WipeButton(), BM_CLICK, 0, 0);

    ASSERT_EQ(boxes.confirms.size(), 1u);
    EXPECT_EQ(boxes.confirms[0].first, "ARE YOU ABSOLUTELY SURE YOU WANT TO DESTROY ALL DATA ON THE DRIVE?");
    EXPECT_EQ(boxes.confirms[0].second, "Confirm");
    EXPECT_TRUE(sim.IsZero(2, 0, 70'000LL * 512));
    EXPECT_EQ(SendMessageA(main->ProgressBar(), PBM_GETPOS, 0, 0), 100);
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(std::get<1>(boxes.shown.back()), "Format");
    const std::vector<std::string> log = Lines(main->WipeMemo());
    ASSERT_GE(log.size(), 8u);
    EXPECT_NE(log[6].find("Device size: 70,000 sectors"), std::string::npos) << log[6];
    EXPECT_NE(log.back().find("Wipe is done. You will have to create partitions and format this drive.   "),
              std::string::npos);
    EXPECT_TRUE(IsWindowEnabled(main->WipeButton()));
    EXPECT_TRUE(IsWindowEnabled(main->Pages()));
}

TEST_F(NativeWindows, WipeAnsweredNoChangesNothing) {
    OpenRow(2);
    boxes.answerYes = false;
    const std::string logBefore = WindowText(main->WipeMemo());
    SendMessageA(main->WipeButton(), BM_CLICK, 0, 0);
    EXPECT_EQ(boxes.confirms.size(), 1u);
    EXPECT_EQ(Count(sim::Call::Write), 0u);
    EXPECT_EQ(WindowText(main->WipeMemo()), logBefore);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(NativeWindows, EnterPressesTheCommandOfThePageShown) {
    OpenRow(2);
    boxes.answerYes = false;
    SendMessageA(main->Window(), WM_COMMAND, IDOK, 0);  // the details page has no command
    EXPECT_TRUE(boxes.confirms.empty());

    NMHDR change{main->Pages(), static_cast<UINT_PTR>(GetDlgCtrlID(main->Pages())),
                 static_cast<UINT>(TCN_SELCHANGE)};
    TabCtrl_SetCurSel(main->Pages(), 1);
    SendMessageA(main->Window(), WM_NOTIFY, change.idFrom, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(main->CurrentPage(), 1);
    SendMessageA(main->Window(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(boxes.confirms.size(), 1u);

    main->SetControlsEnabled(false);
    SendMessageA(main->Window(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(boxes.confirms.size(), 1u) << "no command starts while busy";
}

TEST_F(NativeWindows, SmartButtonWritesTheAttributeReport) {
    OpenRow(0);
    SendMessageA(main->SmartButton(), BM_CLICK, 0, 0);
    const std::string report = WindowText(main->SmartMemo());
    EXPECT_NE(report.find("Reallocated"), std::string::npos) << report;
    EXPECT_NE(report.find("Temperature"), std::string::npos) << report;
    EXPECT_TRUE(IsWindowEnabled(main->SmartButton()));
}

TEST_F(NativeWindows, ClosingDuringAWipeClosesTheDriveAndEndsTheWipe) {
    OpenRow(2);
    // The close waits in the queue; the wipe's first pump dispatches it.
    PostMessageA(main->Window(), WM_CLOSE, 0, 0);
    SendMessageA(main->WipeButton(), BM_CLICK, 0, 0);

    EXPECT_EQ(state.DeviceHandle, kNoHandle);
    EXPECT_EQ(Count(sim::Call::Write), 0u) << "nothing is written after the drive was closed";
    EXPECT_FALSE(IsWindow(main->Window())) << "the window goes once the wipe has returned";
    EXPECT_TRUE(TakeQuitRequest());
}

TEST_F(NativeWindows, CopyrightLabelColoursAndClick) {
    OpenRow(0);
    HWND label = main->CopyrightLabel();
    EXPECT_EQ(main->CopyrightColour(), kCopyrightGray);
    SendMessageA(label, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(main->CopyrightColour(), kBlue);
    SendMessageA(label, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(2, 2));
    EXPECT_EQ(main->CopyrightColour(), kBlue);
    SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    EXPECT_EQ(main->CopyrightColour(), kRed);
    EXPECT_TRUE(sim.OpenedWebAddresses().empty()) << "a press alone opens nothing";
    SendMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(main->CopyrightColour(), kCopyrightGray);
    ASSERT_EQ(sim.OpenedWebAddresses().size(), 1u) << "press and release on the label: a click";
    EXPECT_EQ(sim.OpenedWebAddresses().back(), kMakerWebAddress);
    // Released away from the label: no click.
    SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(-50, -50));
    EXPECT_EQ(sim.OpenedWebAddresses().size(), 1u);
    EXPECT_EQ(main->CopyrightColour(), kCopyrightGray);
}

TEST(NativeSinks, EditSinkAppendsWholeLines) {
    const struct {
        std::vector<std::string> lines;
        std::string text;
    } cases[] = {
        {{" ", "second line", ""}, " \r\nsecond line\r\n"},
        {{"", "after an empty first line"}, "\r\nafter an empty first line"},
        {{"one"}, "one"},
    };
    for (const auto& c : cases) {
        HWND edit = CreateWindowExA(0, "EDIT", "", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL,
                                    0, 0, 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(edit, nullptr);
        EditSink sink(edit);
        for (const std::string& line : c.lines) sink.Line(line);
        EXPECT_EQ(WindowText(edit), c.text);
        DestroyWindow(edit);
    }
}

TEST(NativeSinks, RegionalTextsComeFromTheUsersLocale) {
    Win32Regional regional;
    const CivilTime t{2026, 12, 8, 13, 5, 9};
    EXPECT_NE(regional.ShortDate(t).find("26"), std::string::npos) << regional.ShortDate(t);
    EXPECT_NE(regional.LongTime(t).find("05"), std::string::npos) << regional.LongTime(t);
    char separator[8] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof(separator));
    EXPECT_EQ(regional.DecimalSeparator(), separator[0]);
    const CivilTime now = regional.Now();
    EXPECT_GE(now.year, 2024);
}

}  // namespace
}  // namespace orm::win32ui
