// The native windows on simulated drives: the chooser's list and choices, the main window's memos,
// Ctrl+Tab, the behaviour table both faces run (tests/support/main_window_rows.h), and the sinks.
// Modal loops are driven from a thread timer that fires inside them.
#include <gtest/gtest.h>

#include "win32ui/common_controls.h"
#include "win32ui/execution_state.h"

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "common/product.h"
#include "discovery/size_text.h"
#include "lockstep_clock.h"
#include "platform/sim/ata_blocks.h"
#include "platform/windows/windows_kernel_services.h"
#include "recording_win32_calls.h"
#include "shell/setup_library.h"
#include "support/added_memo_lines.h"
#include "support/main_window_rows.h"
#include "support/recorders.h"
#include "win32ui/fm_choose.h"
#include "win32ui/fm_main.h"
#include "win32ui/win32_sinks.h"
#include "win32ui/window_kit.h"

namespace orm::win32ui {
namespace {

using orm::testing::BoxRecorder;
using Box = orm::testing::ShownBox;

// The thread's execution states set, in order, in place of the system's call.
std::string g_sleepJournal;  // "hold" and "release", comma-separated
EXECUTION_STATE WINAPI RecordExecutionState(EXECUTION_STATE state) {
    g_sleepJournal += std::string(g_sleepJournal.empty() ? "" : ",") +
                      (state == (ES_CONTINUOUS | ES_SYSTEM_REQUIRED) ? "hold"
                       : state == ES_CONTINUOUS                      ? "release"
                                                                     : "?");
    return ES_CONTINUOUS;
}

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

// Acts on the first visible dialog with `caption` from whatever message loop runs next (the
// dialog's own); gives up after five seconds. A dialog that the action did not end is ended after
// three more seconds, so that a test fails instead of waiting for ever.
class OnDialog {
  public:
    OnDialog(const char* caption, std::function<void(HWND)> act) {
        s_caption = caption;
        s_act = std::move(act);
        s_dialog = nullptr;
        s_ticks = 0;
        s_forced = false;
        m_id = SetTimer(nullptr, 0, 20, Tick);
    }
    ~OnDialog() {
        KillTimer(nullptr, m_id);
        s_act = nullptr;
    }
    OnDialog(const OnDialog&) = delete;
    OnDialog& operator=(const OnDialog&) = delete;

    // True when the dialog outlived the action and had to be ended.
    bool Forced() const { return s_forced; }

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
        ++s_ticks;
        if (s_dialog == nullptr) {
            HWND dialog = FindWindowA("#32770", s_caption);
            if (dialog == nullptr || !IsWindowVisible(dialog)) {
                if (s_ticks >= 250) KillTimer(nullptr, id);
                return;
            }
            s_dialog = dialog;
            s_ticks = 0;
            auto act = std::move(s_act);
            s_act = nullptr;
            if (act) act(dialog);
            return;
        }
        if (!IsWindow(s_dialog)) {
            KillTimer(nullptr, id);
        } else if (s_ticks >= 150) {
            KillTimer(nullptr, id);
            s_forced = true;
            EndDialog(s_dialog, 0);
        }
    }
    static inline const char* s_caption = nullptr;
    static inline std::function<void(HWND)> s_act;
    static inline HWND s_dialog = nullptr;
    static inline int s_ticks = 0;
    static inline bool s_forced = false;
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

// A control of a window, found by its id however deep it sits.
HWND Control(HWND window, int id) {
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            if (GetDlgCtrlID(child) != s->id) return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
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
        g_sleepJournal.clear();
        main = std::make_unique<TFmMain>(
            instance, ShellServices{sim, state, regional, boxes, fatal, setup, sleepBlock});
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

    HWND MainControl(int id) const { return Control(main->Window(), id); }
    std::string StatusPanelText(int panel) const {
        char text[256] = {};
        SendMessageA(MainControl(TFmMain::kStatusBar), SB_GETTEXTA, static_cast<WPARAM>(panel),
                     reinterpret_cast<LPARAM>(text));
        return text;
    }
    int CurrentPage() const { return TabCtrl_GetCurSel(MainControl(TFmMain::kPages)); }
    // The colour the main window paints the copyright label's text in.
    COLORREF CopyrightColour() const {
        HDC dc = CreateCompatibleDC(nullptr);
        SendMessageA(main->Window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(MainControl(TFmMain::kCopyright)));
        const COLORREF colour = GetTextColor(dc);
        DeleteDC(dc);
        return colour;
    }

    orm::testing::LockstepClock sim;
    RunState state;
    orm::testing::FixedRegional regional;
    BoxRecorder boxes{true};  // confirmations answered Yes
    orm::testing::FatalRecorder fatal;
    SetupApiBinding setup;
    ExecutionStateBlock sleepBlock{&RecordExecutionState};
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
    EXPECT_EQ(shownWhileOpen[0].text,
              "This device cannot be accessed because it is smaller than 65535 sectors.  ");
    EXPECT_EQ(shownWhileOpen[0].caption, "Cannot access this device");
    EXPECT_EQ(shownWhileOpen[0].icon, BoxIcon::Information);
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
        EXPECT_TRUE(WindowText(MainControl(TFmMain::kLogDetails)).empty());
        chooser.reset();
        main.reset();
    }
}

TEST_F(NativeWindows, MainWindowAfterTheOpen) {
    // What both faces show after the open is checked before every row of the behaviour table.
    OpenRow(0);
    EXPECT_EQ(DiskName(state, '.'), "ST380011A    3.06    [80.02 Gbytes]");
    for (HWND memo : {MainControl(TFmMain::kLogDetails), MainControl(TFmMain::kLogBenchMark),
                      MainControl(TFmMain::kLogSmart)}) {
        EXPECT_GT(SendMessageA(memo, EM_GETLIMITTEXT, 0, 0), 1'000'000)
            << "a memo must not stop taking lines";
    }
    // This drive has SMART data: beyond the heading the table checks, its report names the attributes.
    SendMessageA(MainControl(TFmMain::kGetSmart), BM_CLICK, 0, 0);
    const std::string report = WindowText(MainControl(TFmMain::kLogSmart));
    EXPECT_NE(report.find("Reallocated"), std::string::npos) << report;
    EXPECT_NE(report.find("Temperature"), std::string::npos) << report;
}

TEST_F(NativeWindows, AddedLinesFitTheMemosWhichStayAtColumnZero) {
    OpenRow(0);
    RECT room{};
    for (const auto& [wipeLog, text] : orm::testing::AddedMemoLines()) {
        HWND memo = MainControl(wipeLog ? TFmMain::kLogBenchMark : TFmMain::kLogDetails);
        SendMessageA(memo, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
        HDC dc = GetDC(memo);
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(memo, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        ReleaseDC(memo, dc);
        EXPECT_LE(size.cx, room.right - room.left) << text;
    }
    HWND details = MainControl(TFmMain::kLogDetails);
    EditSink(details).Line(std::string(300, '-'));  // its end is cut, not its start
    SendMessageA(details, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
    const LRESULT start = SendMessageA(details, EM_LINEINDEX, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(
        static_cast<short>(LOWORD(SendMessageA(details, EM_POSFROMCHAR, static_cast<WPARAM>(start), 0))),
        room.left);
}

TEST_F(NativeWindows, CtrlTabSwitchesPagesAsPropertySheetsDo) {
    OpenRow(0);
    ShowWindow(main->Window(), SW_SHOW);
    SetFocus(MainControl(TFmMain::kLogDetails));
    // The key goes to the focused control, with the modifiers held as the keyboard holds them.
    auto press = [&](bool control, bool shift) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = control ? 0x80 : 0;
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        MSG msg{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
        DispatchWithDialogKeys(main->Window(), msg);
        keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
    };
    const struct {
        bool control, shift, busy;
        int page;
    } steps[] = {
        {true, false, false, 1}, {true, false, false, 2},  {true, false, false, 0}, {true, true, false, 2},
        {true, true, false, 1},  {false, false, false, 1}, {true, false, true, 1},
    };
    for (const auto& step : steps) {
        main->SetControlsEnabled(!step.busy);
        press(step.control, step.shift);
        EXPECT_EQ(CurrentPage(), step.page) << step.control << step.shift << step.busy;
        EXPECT_TRUE(IsWindowVisible(Control(main->Window(), TFmMain::kPagePanel + step.page)));
        EXPECT_TRUE(GetFocus() == nullptr || IsWindowVisible(GetFocus())) << "the focus left a hidden page";
    }
}

TEST_F(NativeWindows, BehaviourTable) {
    using Fixture = std::remove_reference_t<decltype(*this)>;
    class Face : public orm::testing::MainFace {
      public:
        explicit Face(Fixture& t) : m_t(t) {}
        void Step(const std::string& s) override {
            HWND window = m_t.main->Window();
            HWND pages = m_t.MainControl(TFmMain::kPages);
            const int label = s == "logo" ? TFmMain::kLogo : s == "copyright" ? TFmMain::kCopyright : 0;
            if (s.rfind("page", 0) == 0) {
                TabCtrl_SetCurSel(pages, s[4] - '0');
                NMHDR change{pages, TFmMain::kPages, static_cast<UINT>(TCN_SELCHANGE)};
                SendMessageA(window, WM_NOTIFY, change.idFrom, reinterpret_cast<LPARAM>(&change));
            }
            if (s == "wipe") SendMessageA(m_t.MainControl(TFmMain::kRunBenchmarks), BM_CLICK, 0, 0);
            if (s == "smart") SendMessageA(m_t.MainControl(TFmMain::kGetSmart), BM_CLICK, 0, 0);
            if (label != 0)
                SendMessageA(m_t.MainControl(label), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            if (label != 0) SendMessageA(m_t.MainControl(label), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            if (s == "enter") SendMessageA(window, WM_COMMAND, IDOK, 0);
            MSG key{m_t.MainControl(TFmMain::kLogBenchMark), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
            if (s == "enter-in-log") DispatchWithDialogKeys(window, key);
            if (s == "busy" || s == "idle") m_t.main->SetControlsEnabled(s == "idle");
            if (s == "close") SendMessageA(window, WM_CLOSE, 0, 0);
            if (s == "post-close") PostMessageA(window, WM_CLOSE, 0, 0);
            if (s == "post-smart") PostMessageA(m_t.MainControl(TFmMain::kGetSmart), BM_CLICK, 0, 0);
            HWND copyright = m_t.MainControl(TFmMain::kCopyright);
            const UINT mouse = s == "hover"          ? WM_MOUSEMOVE
                               : s == "unhover"      ? WM_MOUSELEAVE
                               : s == "right-down"   ? WM_RBUTTONDOWN
                               : s == "right-up"     ? WM_RBUTTONUP
                               : s == "middle-down"  ? WM_MBUTTONDOWN
                               : s == "middle-up"    ? WM_MBUTTONUP
                               : s == "left-down"    ? WM_LBUTTONDOWN
                               : s == "left-up"      ? WM_LBUTTONUP
                               : s == "left-up-away" ? WM_LBUTTONUP
                                                     : 0;
            const LPARAM at = s == "left-up-away" ? MAKELPARAM(-50, -50) : MAKELPARAM(2, 2);
            if (mouse != 0) SendMessageA(copyright, mouse, mouse == WM_LBUTTONDOWN ? MK_LBUTTON : 0, at);
        }
        std::string WipeLog() override { return WindowText(m_t.MainControl(TFmMain::kLogBenchMark)); }
        std::string SmartLog() override { return WindowText(m_t.MainControl(TFmMain::kLogSmart)); }
        std::string DetailsLog() override { return WindowText(m_t.MainControl(TFmMain::kLogDetails)); }
        std::string Title() override { return WindowText(m_t.main->Window()); }
        std::string DiskName() override { return WindowText(m_t.MainControl(TFmMain::kDiskName)); }
        std::string StatusPanel(int panel) override { return m_t.StatusPanelText(panel); }
        std::string Copyright() override { return WindowText(m_t.MainControl(TFmMain::kCopyright)); }
        int EnabledControls() override {
            int enabled = 0;
            for (int id : {TFmMain::kRunBenchmarks, TFmMain::kGetSmart, TFmMain::kPages})
                enabled += IsWindowEnabled(m_t.MainControl(id)) != FALSE;
            return enabled;
        }
        bool WindowUp() override { return IsWindow(m_t.main->Window()) != FALSE; }
        int Page() override { return m_t.CurrentPage(); }
        int Progress() override {
            return static_cast<int>(SendMessageA(m_t.MainControl(TFmMain::kProgress), PBM_GETPOS, 0, 0));
        }
        std::string CopyrightColour() override {
            const COLORREF c = m_t.CopyrightColour();
            return c == kBlue ? "blue" : c == kRed ? "red" : c == kCopyrightGray ? "gray" : "?";
        }
        std::string SleepJournal() override { return g_sleepJournal; }

      private:
        Fixture& m_t;
    };
    for (const orm::testing::MainRow& row : orm::testing::kMainRows) {
        chooser.reset();
        main.reset();  // its end asks the program to end
        TakeQuitRequest();
        state = RunState{};
        OpenRow(2);
        Face face(*this);
        EXPECT_EQ(MainEffects(row, face, sim, state, boxes, regional, 2), row.effects) << row.name;
        EXPECT_EQ(TakeQuitRequest(), std::string(row.effects).find("gone") != std::string::npos) << row.name;
    }
}

bool ClassIs(HWND window, const char* name) {
    char kind[32] = {};
    GetClassNameA(window, kind, sizeof(kind));
    return lstrcmpiA(kind, name) == 0;
}

// Each control's client area inside its parent's (a tab control's pages inside its display area),
// no two shown siblings overlapping unless a group box frames the other, every caption fitting.
void ExpectLaidOut(HWND parent) {
    RECT area{}, r{}, common{};
    GetClientRect(parent, &area);
    if (ClassIs(parent, WC_TABCONTROLA)) TabCtrl_AdjustRect(parent, FALSE, &area);
    // Stacked pages overlap, one shown at a time.
    const auto shown = [](HWND w) { return (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0; };
    const auto framing = [](HWND w) { return (GetWindowLongA(w, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX; };
    const auto about = [](HWND w) { return WindowText(w) + " #" + std::to_string(GetDlgCtrlID(w)); };
    std::vector<std::pair<HWND, RECT>> siblings;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        GetClientRect(child, &r);
        MapWindowPoints(child, parent, reinterpret_cast<POINT*>(&r), 2);
        // An etched line keeps its edge outside its client area and has nothing to cut.
        const bool line = r.bottom - r.top <= 1 || r.right - r.left <= 1;
        EXPECT_TRUE(line || (IntersectRect(&common, &r, &area) && EqualRect(&common, &r)))
            << about(child) << " in " << about(parent);
        for (const auto& [other, at] : siblings)
            EXPECT_TRUE(!IntersectRect(&common, &r, &at) || !shown(other) || !shown(child) ||
                        framing(other) || framing(child))
                << about(child) << " on " << about(other);
        siblings.emplace_back(child, r);
        const std::string text = WindowText(child);
        if (!text.empty() && (ClassIs(child, "STATIC") || ClassIs(child, "BUTTON"))) {
            const SIZE extent = TextExtent(child, text);
            EXPECT_TRUE(extent.cx <= r.right - r.left && extent.cy <= r.bottom - r.top) << text;
        }
        if (!ClassIs(child, WC_LISTVIEWA)) ExpectLaidOut(child);
    }
}

// Both windows at a screen's scale, reached as Windows moves a window to such a screen.
class NativeLayout : public NativeWindows, public ::testing::WithParamInterface<int> {};

TEST_P(NativeLayout, NothingCutOrOverlapping) {
    OpenRow(2);
    const int from = DesignScale().Dpi();
    const int dpi = GetParam();
    for (HWND window : {chooser->Window(), main->Window()}) {
        RECT r{};
        GetClientRect(window, &r);
        r = {0, 0, MulDiv(r.right, dpi, from), MulDiv(r.bottom, dpi, from)};
        AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
        SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&r));
        ExpectLaidOut(window);
    }
    RECT logo{};
    GetClientRect(MainControl(TFmMain::kLogo), &logo);
    EXPECT_EQ(logo.right, MulDiv(32, dpi, 96));
}

INSTANTIATE_TEST_SUITE_P(Dpi, NativeLayout, ::testing::Values(96, 144));

TEST(NativeSinks, ConfirmationAnswersNoToEscapeAndTheCloseBox) {
    // Keys go to the focused control, as the keyboard sends them.
    auto key = [](WPARAM vk) {
        return [vk](HWND dialog) {
            HWND focus = GetFocus();
            PostMessageA(focus != nullptr ? focus : dialog, WM_KEYDOWN, vk, 0);
        };
    };
    const struct {
        const char* how;
        std::function<void(HWND)> act;
        bool yes;
    } cases[] = {
        {"Escape", key(VK_ESCAPE), false},
        {"the close box", [](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); }, false},
        {"No", [](HWND dialog) { PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); }, false},
        {"Enter on the default button, Yes", key(VK_RETURN), true},
    };
    for (const auto& c : cases) {
        std::string yesText, noText;
        OnDialog answer("Confirm", [&](HWND dialog) {
            yesText = WindowText(GetDlgItem(dialog, IDYES));
            noText = WindowText(GetDlgItem(dialog, IDCANCEL));  // No is the cancel button
            c.act(dialog);
        });
        Win32MessageBoxes boxes;
        EXPECT_EQ(
            boxes.Confirm("ARE YOU ABSOLUTELY SURE YOU WANT TO DESTROY ALL DATA ON THE DRIVE?", "Confirm"),
            c.yes)
            << c.how;
        EXPECT_FALSE(answer.Forced()) << c.how << " did not end the dialog";
        EXPECT_EQ(yesText, "&Yes") << c.how;
        EXPECT_EQ(noText, "&No") << c.how;
    }
}

TEST(NativeSinks, TheWindowClickedOwnsTheWebPage) {
    windows::testing::RecordingWin32Calls calls;
    windows::WindowsKernelServices ks(calls);
    RunState state;
    Win32Regional regional;
    BoxRecorder boxes{true};  // confirmations answered Yes
    orm::testing::FatalRecorder fatal;
    SetupApiBinding setup;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    ExecutionStateBlock sleepBlock;
    TFmMain main(instance, ShellServices{ks, state, regional, boxes, fatal, setup, sleepBlock});
    TFmChoose chooser(instance, main.Window(), ks, state, regional, boxes);
    auto click = [](HWND label) {
        SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    };
    click(Control(main.Window(), TFmMain::kCopyright));
    EXPECT_EQ(calls.shellOwner, main.Window());
    click(chooser.WebLabel());
    EXPECT_EQ(calls.shellOwner, chooser.Window());
    EXPECT_EQ(calls.shellFile, kMakerWebAddress);
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
