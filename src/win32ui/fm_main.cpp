#include "win32ui/fm_main.h"

#include "win32ui/common_controls.h"

#include "reports/report_context.h"
#include "reports/smart_report.h"
#include "shell/startup_sequence.h"
#include "win32ui/dpi_change.h"
#include "win32ui/fm_choose.h"
#include "wipe/wipe_command.h"
#include "wipe/wipe_context.h"

namespace orm::win32ui {
namespace {

constexpr const char* kMainClass = "OrmandelMain";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;

// Status panel widths at 120 pixels per inch.
constexpr int kPanelWidths[3] = {350, 450, 50};
constexpr const char* kPageCaptions[3] = {"Device details", "WIPE", "S.M.A.R.T."};

}  // namespace

TFmMain::TFmMain(HINSTANCE instance, ShellServices services) : m_services(services) {
    RegisterWindowClasses(instance);
    RegisterTopLevelClass(instance, kMainClass, WindowProc);

    const DesignScale& s = m_scale;
    m_font = MakeFont(s, "Tahoma", 15, false);
    m_diskNameFont = MakeFont(s, "Tahoma", 17, true);
    m_copyrightFont = MakeFont(s, "Tahoma", 13, true);
    m_memoFont = MakeFont(s, "Courier New", 15, false, true);

    RECT r{0, 0, s(1095), s(721)};
    AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
    m_window = CreateWindowExA(kExStyle, kMainClass, "", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                               r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, this);
    SendMessageA(m_window, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    CreateControls();

    m_wipeLog = std::make_unique<EditSink>(Log_BenchMark);
    m_detailsLog = std::make_unique<EditSink>(Log_Details);
    m_smartLog = std::make_unique<EditSink>(Log_Smart);
    m_progress = std::make_unique<ProgressBarSink>(pbCurrentTask);
    m_pump = std::make_unique<Win32MessagePump>(m_window, m_services.state);
    FormCreate();
}

TFmMain::~TFmMain() {
    if (IsWindow(m_window)) DestroyWindow(m_window);
    for (HFONT font : {m_font, m_diskNameFont, m_copyrightFont, m_memoFont}) DeleteObject(font);
}

HWND TFmMain::MakeMemo(HWND page, int x, int y, int w, int h, int id, HFONT font) {
    // Read-only, a vertical scroll bar and no horizontal one, and no wrapping (ES_AUTOHSCROLL).
    // ES_WANTRETURN: the memo takes Enter itself instead of passing it to the default button.
    HWND memo = MakeChild("EDIT", "",
                          ES_MULTILINE | ES_READONLY | ES_WANTRETURN | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                              WS_VSCROLL | WS_TABSTOP,
                          x, y, w, h, page, id, font, WS_EX_CLIENTEDGE);
    // The memos only grow: lift the edit control's default limit of about 32,000 characters.
    SendMessageA(memo, EM_SETLIMITTEXT, 0, 0);
    return memo;
}

void TFmMain::CreateControls() {
    const DesignScale& s = m_scale;
    HWND w = m_window;
    const int width = s(1095);
    const int height = s(721);

    Panel2 = MakeChild(kBandClass, "", WS_CLIPSIBLINGS, 0, 0, width, s(55), w, kBand, nullptr);
    lbDiskName = MakeChild("STATIC", "", SS_LEFT | SS_NOPREFIX, s(24), s(16), s(1000), s(22), Panel2,
                           kDiskName, m_diskNameFont);
    imgLogo =
        MakeChild("STATIC", "", SS_OWNERDRAW | SS_NOTIFY, s(1045), s(11), 32, 32, Panel2, kLogo, nullptr);
    MakeMouseAware(imgLogo);
    MakeChild("STATIC", "", SS_ETCHEDHORZ, 0, s(55), width, s(2), w, kSeparator, nullptr);

    StatusBar = MakeChild(STATUSCLASSNAMEA, "", 0, 0, 0, 0, 0, w, kStatusBar, m_font);
    SendMessageA(StatusBar, SB_SETMINHEIGHT, static_cast<WPARAM>(s(26)), 0);
    SendMessageA(StatusBar, WM_SIZE, 0, 0);
    int edges[3] = {};
    int right = 0;
    for (int i = 0; i < 3; ++i) edges[i] = right += s(kPanelWidths[i]);
    SendMessageA(StatusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));

    // Panel10 (border 10) between the separator and the status bar: the pages above the strip
    // Panel17 (28 high) that holds the copyright label.
    const int panelTop = s(57) + s(10);
    const int panelBottom = height - s(26) - s(10);
    const int stripTop = panelBottom - s(28);
    lbCopyright = MakeChild("STATIC", "", SS_LEFT | SS_NOTIFY | SS_NOPREFIX, s(10) + s(8), stripTop + s(10),
                            s(700), s(17), w, kCopyright, m_copyrightFont);
    MakeMouseAware(lbCopyright);

    const int pagesWidth = width - s(20);
    pages = MakeChild(WC_TABCONTROLA, "", WS_CLIPCHILDREN | WS_TABSTOP, s(10), panelTop, pagesWidth,
                      stripTop - panelTop, w, kPages, m_font, WS_EX_CONTROLPARENT);
    for (int i = 0; i < 3; ++i) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(kPageCaptions[i]);
        SendMessageA(pages, TCM_INSERTITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    RECT display{0, 0, pagesWidth, stripTop - panelTop};
    TabCtrl_AdjustRect(pages, FALSE, &display);
    const int pageW = display.right - display.left;
    const int pageH = display.bottom - display.top;
    for (int i = 0; i < 3; ++i) {
        m_pagePanels[i] = MakeChild(kPanelClass, "", WS_CLIPCHILDREN, display.left, display.top, pageW, pageH,
                                    pages, kPagePanel + i, nullptr, WS_EX_CONTROLPARENT);
    }
    const int buttonW = s(217);
    const int buttonH = s(33);
    const int buttonX = pageW - s(10) - s(10) - buttonW;
    const int buttonY = pageH - s(10) - s(14) - buttonH;

    // Page 0: the details report, inside two borders of 10.
    Log_Details =
        MakeMemo(m_pagePanels[0], s(20), s(20), pageW - s(40), pageH - s(40), kLogDetails, m_memoFont);

    // Page 1: the wipe log (345 high), the progress group (112 high), the command at the bottom.
    HWND wipePage = m_pagePanels[1];
    Log_BenchMark = MakeMemo(wipePage, s(20), s(20), pageW - s(40), s(345) - s(20), kLogBenchMark, m_font);
    const int groupTop = s(10) + s(345) + s(10);
    const int groupH = s(112) - s(20);
    HWND group = MakeChild("BUTTON", "Current task progress", BS_GROUPBOX, s(20), groupTop, pageW - s(40),
                           groupH, wipePage, kGroupBox, m_font);
    (void)group;
    pbCurrentTask = MakeChild(PROGRESS_CLASSA, "", PBS_SMOOTH, s(20) + s(15), groupTop + s(15) + s(8),
                              pageW - s(40) - s(30), groupH - s(30) - s(8), wipePage, kProgress, nullptr);
    SendMessageA(pbCurrentTask, PBM_SETRANGE32, 0, 100);
    SendMessageA(pbCurrentTask, PBM_SETSTEP, 1, 0);
    btRunBenchmarks = MakeChild("BUTTON", "WIPE THIS DEVICE", BS_PUSHBUTTON | WS_TABSTOP, buttonX, buttonY,
                                buttonW, buttonH, wipePage, kRunBenchmarks, m_font);

    // Page 2: the SMART report above the strip Panel12 (63 high) with its command.
    HWND smartPage = m_pagePanels[2];
    Log_Smart = MakeMemo(smartPage, s(20), s(20), pageW - s(40), pageH - s(10) - s(63) - s(30), kLogSmart,
                         m_memoFont);
    btGetSmart = MakeChild("BUTTON", "&Get SMART Attributes", BS_PUSHBUTTON | WS_TABSTOP, buttonX, buttonY,
                           buttonW, buttonH, smartPage, kGetSmart, m_font);
}

void TFmMain::FormCreate() {
    SelectPage(0);
}

void TFmMain::SelectPage(int index) {
    TabCtrl_SetCurSel(pages, index);
    for (int i = 0; i < 3; ++i) ShowWindow(m_pagePanels[i], i == index ? SW_SHOW : SW_HIDE);
}

ShowResult TFmMain::FormShow(TFmChoose& chooser) {
    StartupWindows view(*this, chooser);
    StartupContext startup{m_services.ks,    m_services.state, view, *m_wipeLog, m_services.regional,
                           m_services.fatal, m_services.setup};
    if (!StartupChecks(startup)) return ShowResult::Fatal;
    if (!chooser.ChooseDevice()) return ShowResult::NothingChosen;
    if (!OpenChosenDevice(m_services.ks, m_services.state, *this, *m_detailsLog, m_services.regional,
                          m_services.fatal)) {
        return ShowResult::Fatal;
    }
    CentreOnScreen(m_window);
    return ShowResult::Opened;
}

void TFmMain::SetControlsEnabled(bool enabled) {
    m_busy = !enabled;
    EnableWindow(btRunBenchmarks, enabled ? TRUE : FALSE);
    EnableWindow(btGetSmart, enabled ? TRUE : FALSE);
    EnableWindow(pages, enabled ? TRUE : FALSE);
}

void TFmMain::SetDiskName(const std::string& text) {
    SetWindowTextA(lbDiskName, text.c_str());
}

void TFmMain::SetStatusPanel1(const std::string& text) {
    SendMessageA(StatusBar, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(text.c_str()));
}

void TFmMain::PlaceLogo() {
    MoveLogoIntoBand(imgLogo, Panel2, m_scale.Dpi());
}

void TFmMain::SetTitles(const std::string& title) {
    SetWindowTextA(m_window, title.c_str());
    SendMessageA(StatusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(title.c_str()));
}

void TFmMain::SetCopyright(const std::string& line) {
    SetWindowTextA(lbCopyright, line.c_str());
}

void TFmMain::btRunBenchmarksClick() {
    WipeSleepBlock boxes(m_services.boxes, m_services.sleep,
                         WipeSleepReason(m_services.state, m_services.regional.DecimalSeparator()));
    WipeContext ctx{
        m_services.ks, m_services.state, m_services.regional, *m_wipeLog, *m_progress, *m_pump, boxes, *this};
    RunWipeCommand(ctx);
}

void TFmMain::btGetSmartClick() {
    ReportContext ctx{m_services.ks, m_services.state, m_services.regional, *m_smartLog};
    RunSmartCommand(ctx, *this);
}

void TFmMain::PressDefaultButton() {
    // Both command buttons are default buttons: Enter presses the one of the page shown.
    const int page = TabCtrl_GetCurSel(pages);
    HWND button = page == 1 ? btRunBenchmarks : page == 2 ? btGetSmart : nullptr;
    if (button != nullptr && IsWindowEnabled(button) && IsWindowEnabled(pages)) {
        SendMessageA(button, BM_CLICK, 0, 0);
    }
}

void TFmMain::FormClose() {
    // The drive is closed at once; a wipe pumping messages under this learns it from the pump and
    // stops, and the window goes only once the command that ran has returned.
    CloseDevice(m_services.ks, m_services.state);
    if (m_busy) {
        m_closeRequested = true;
        return;
    }
    DestroyWindow(m_window);
}

LRESULT CALLBACK TFmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TFmMain*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_window = window;
    }
    auto* self = reinterpret_cast<TFmMain*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT TFmMain::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDOK) PressDefaultButton();
            if (id == kRunBenchmarks || id == kGetSmart) {
                if (id == kRunBenchmarks) {
                    btRunBenchmarksClick();
                } else {
                    btGetSmartClick();
                }
                if (m_closeRequested) DestroyWindow(m_window);
            }
            return 0;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == kPages && header->code == TCN_SELCHANGE)
                SelectPage(TabCtrl_GetCurSel(pages));
            return 0;
        }
        case kLabelClick:
            if (static_cast<int>(wParam) == kLogo || static_cast<int>(wParam) == kCopyright)
                OpenMakerPage(m_services.ks, m_window);
            return 0;
        case kLabelMouseEnter:
        case kLabelMouseLeave:
        case kLabelLeftDown:
        case kLabelLeftUp:
            if (static_cast<int>(wParam) == kCopyright) {
                m_copyrightColour = message == kLabelMouseEnter ? kBlue
                                    : message == kLabelLeftDown ? kRed
                                                                : kCopyrightGray;
                InvalidateRect(lbCopyright, nullptr, TRUE);
            }
            return 0;
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            HWND control = reinterpret_cast<HWND>(lParam);
            if (control == Log_Details || control == Log_BenchMark || control == Log_Smart) {
                // Read-only edits ask as statics: they keep the button-face background.
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            SetBkMode(dc, TRANSPARENT);
            if (control == lbCopyright) SetTextColor(dc, m_copyrightColour);
            if (GetParent(control) == Panel2) return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_DRAWITEM:
            if (wParam == kLogo) DrawLogo(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case kSwitchPage:
            // Like a click on the next or previous tab, round the ends; not while busy, when the
            // page control is disabled. The focus leaves a page that is hidden for the tabs.
            if (IsWindowEnabled(pages)) {
                const int count = TabCtrl_GetItemCount(pages);
                SelectPage((TabCtrl_GetCurSel(pages) + (wParam != 0 ? 1 : count - 1)) % count);
                HWND focus = GetFocus();
                if (focus != nullptr && !IsWindowVisible(focus)) SetFocus(pages);
            }
            return 1;
        case WM_CLOSE:
            FormClose();
            return 0;
        case WM_DPICHANGED:
            RescaleForDpi(m_window, m_scale.Dpi(), LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam),
                          {&m_font, &m_diskNameFont, &m_copyrightFont, &m_memoFont});
            m_scale = DesignScale(LOWORD(wParam));
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(m_window, message, wParam, lParam);
    }
}

}  // namespace orm::win32ui
