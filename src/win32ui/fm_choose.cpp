#include "win32ui/fm_choose.h"

#include "win32ui/common_controls.h"

#include <algorithm>
#include <array>

#include "common/product.h"
#include "shell/chooser_rows.h"
#include "win32ui/dpi_change.h"
#include "win32ui/win32_sinks.h"

namespace orm::win32ui {
namespace {

constexpr const char* kChooserClass = "OrmandelChooser";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

enum ControlId : int {
    kDriveList = 101,
    kLabel1,
    kLogo,
    kCopyright,
    kLabel2,
    kProgramName,
    kStatusBar,
    kBand,
    kSeparator,
};

// Column captions and widths at 120 pixels per inch; the last column takes the rest of the row.
constexpr std::array<const char*, 6> kColumns = {"BUS", "MODEL", "FIRMWARE", "SERIAL NUMBER", "LBA", "SIZE"};
constexpr std::array<int, 5> kColumnWidths = {100, 200, 100, 150, 150};

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; });
    return text;
}

}  // namespace

TFmChoose::TFmChoose(HINSTANCE instance, HWND owner, KernelServices& ks, RunState& state, Regional& regional,
                     MessageBoxes& boxes)
    : m_ks(ks), m_state(state), m_regional(regional), m_boxes(boxes), m_owner(owner) {
    RegisterWindowClasses(instance);
    RegisterTopLevelClass(instance, kChooserClass, WindowProc);

    const DesignScale& s = m_scale;
    m_font = MakeFont(s, "Tahoma", 15, false);
    m_boldFont = MakeFont(s, "Tahoma", 15, true);
    m_bandFont = MakeFont(s, "Tahoma", 17, true);
    m_copyrightFont = MakeFont(s, "Tahoma", 13, true);

    RECT r{0, 0, s(901), s(419)};
    AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
    m_window = CreateWindowExA(kExStyle, kChooserClass, "", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                               r.right - r.left, r.bottom - r.top, owner, nullptr, instance, this);
    CreateControls();
    FormCreate();
}

TFmChoose::~TFmChoose() {
    if (m_window != nullptr) DestroyWindow(m_window);
    for (HFONT font : {m_font, m_boldFont, m_bandFont, m_copyrightFont}) DeleteObject(font);
}

void TFmChoose::CreateControls() {
    const DesignScale& s = m_scale;
    HWND w = m_window;
    Panel4 = MakeChild(kBandClass, "", WS_CLIPSIBLINGS, 0, 0, s(901), s(57), w, kBand, nullptr);
    lbProgramName =
        MakeChild("STATIC", "", SS_LEFT, s(32), s(16), s(340), s(22), Panel4, kProgramName, m_bandFont);
    Label1 = MakeChild("STATIC", "", SS_RIGHT | SS_NOTIFY, s(372), s(16), s(400), s(22), Panel4, kLabel1,
                       m_bandFont);
    MakeMouseAware(Label1);
    imgLogo = MakeChild("STATIC", "", SS_OWNERDRAW | SS_NOTIFY, s(851), s(12), s(32), s(32), Panel4, kLogo,
                        nullptr);
    MakeMouseAware(imgLogo);
    MakeChild("STATIC", "", SS_ETCHEDHORZ, 0, s(57), s(901), s(2), w, kSeparator, nullptr);

    // Panel1 (border 10) holds the list's panel (border 10) and the bottom strip Panel3 (69 high).
    const int panel1Top = s(59);
    const int statusHeight = s(26);
    const int panel1Bottom = s(419) - statusHeight;
    const int stripTop = panel1Bottom - s(10) - s(69);
    DriveList = MakeChild(
        WC_LISTVIEWA, "", LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP | WS_BORDER, s(20),
        panel1Top + s(20), s(901) - s(40), stripTop - panel1Top - s(30), w, kDriveList, m_font);
    ListView_SetExtendedListViewStyle(DriveList, LVS_EX_FULLROWSELECT);
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(kColumns[c]);
        column.cx = c < kColumnWidths.size() ? s(kColumnWidths[c]) : s(100);
        column.iSubItem = static_cast<int>(c);
        SendMessageA(DriveList, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    ListView_SetColumnWidth(DriveList, static_cast<int>(kColumns.size() - 1), LVSCW_AUTOSIZE_USEHEADER);

    lbCopyright = MakeChild("STATIC", "", SS_LEFT, s(18), stripTop + s(24), s(330), s(18), w, kCopyright,
                            m_copyrightFont);
    Label2 = MakeChild("STATIC", "Please choose a drive", SS_LEFT, s(364), stripTop + s(24), s(300), s(20), w,
                       kLabel2, m_boldFont);
    btContinue = MakeChild("BUTTON", "Continue >>>", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_DISABLED, s(708),
                           stripTop + s(16), s(131), s(33), w, IDOK, m_font);
    StatusBar = MakeChild(STATUSCLASSNAMEA, "", 0, 0, 0, 0, 0, w, kStatusBar, m_font);
    SendMessageA(StatusBar, SB_SETMINHEIGHT, static_cast<WPARAM>(statusHeight), 0);
    SendMessageA(StatusBar, WM_SIZE, 0, 0);
}

void TFmChoose::FormCreate() {
    SetWindowTextA(m_window, (std::string("Choose a device - ") + kProductTitle + " ").c_str());
    SetWindowTextA(lbProgramName, Upper(kProductTitle).c_str());
    SetWindowTextA(Label1, Upper(kMakerWebAddress).c_str());
}

bool TFmChoose::ChooseDevice() {
    ListView_DeleteAllItems(DriveList);
    for (std::int64_t k = 1; k <= m_state.DrivesFound; ++k) {
        const std::array<std::string, 6> texts =
            ChooserRowTexts(m_state.Record(k), m_regional.DecimalSeparator());
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(k - 1);
        item.pszText = const_cast<char*>(texts[0].c_str());
        const auto row =
            static_cast<int>(SendMessageA(DriveList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        for (int c = 1; c < 6; ++c) {
            LVITEMA sub{};
            sub.iSubItem = c;
            sub.pszText = const_cast<char*>(texts[static_cast<std::size_t>(c)].c_str());
            SendMessageA(DriveList, LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&sub));
        }
    }
    ListView_SetColumnWidth(DriveList, 5, LVSCW_AUTOSIZE_USEHEADER);

    // Modal: the owner takes no input until the chooser closes.
    m_modalDone = false;
    if (m_owner != nullptr) EnableWindow(m_owner, FALSE);
    CentreOnScreen(m_window);
    ShowWindow(m_window, SW_SHOW);
    FormShow();
    MSG msg{};
    while (!m_modalDone) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            // A quit request ends the modal loop; the main loop still has to see it.
            PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 0);
            break;
        }
        DispatchWithDialogKeys(m_window, msg);
    }
    if (m_owner != nullptr) EnableWindow(m_owner, TRUE);
    ShowWindow(m_window, SW_HIDE);
    return m_state.DeviceChosen;
}

void TFmChoose::PlaceLogo() {
    MoveLogoIntoBand(imgLogo, Panel4, m_scale.Dpi());
}

void TFmChoose::SetCopyright(const std::string& line) {
    SetWindowTextA(lbCopyright, line.c_str());
}

void TFmChoose::SetStatusText(const std::string& text) {
    SendMessageA(StatusBar, SB_SIMPLE, TRUE, 0);
    SendMessageA(StatusBar, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string TFmChoose::StatusText() const {
    char text[256] = {};
    // A simple status bar answers for part 0.
    SendMessageA(StatusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

void TFmChoose::FormShow() {
    SetFocus(DriveList);
    const int rows = ListView_GetItemCount(DriveList);
    if (rows > 0) {
        EnableWindow(btContinue, TRUE);
        ListView_SetItemState(DriveList, rows - 1, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(DriveList, rows - 1, FALSE);
    }
}

int TFmChoose::SelectedRow() const {
    return ListView_GetNextItem(DriveList, -1, LVNI_SELECTED);
}

void TFmChoose::DriveListClick() {
    EnableWindow(btContinue, SelectedRow() >= 0);
}

void TFmChoose::DriveListDblClick() {
    if (SelectedRow() >= 0) btContinueClick();
}

void TFmChoose::btContinueClick() {
    const int row = SelectedRow();
    if (row < 0) return;
    if (ContinueWithRow(m_state, row, m_boxes)) FormClose();
}

void TFmChoose::FormClose() {
    // Any close but an accepted Continue ends the program.
    if (!m_state.DeviceChosen) PostQuitMessage(0);
    m_modalDone = true;
}

LRESULT CALLBACK TFmChoose::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TFmChoose*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_window = window;
    }
    auto* self = reinterpret_cast<TFmChoose*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT TFmChoose::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDOK && IsWindowEnabled(btContinue)) btContinueClick();
            // Escape ends the program from the list; on the Continue button it does nothing.
            if (id == IDCANCEL && GetFocus() != btContinue) FormClose();
            return 0;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == kDriveList) {
                if (header->code == LVN_ITEMCHANGED || header->code == NM_CLICK) DriveListClick();
                if (header->code == NM_DBLCLK) DriveListDblClick();
                if (header->code == LVN_KEYDOWN &&
                    reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey == VK_ESCAPE) {
                    FormClose();
                }
            }
            return 0;
        }
        case kLabelClick:
            if (static_cast<int>(wParam) == kLabel1 || static_cast<int>(wParam) == kLogo)
                OpenMakerPage(m_ks, m_window);
            return 0;
        case kLabelLeftDown:
        case kLabelLeftUp:
            if (static_cast<int>(wParam) == kLabel1) {
                m_label1Colour = message == kLabelLeftDown ? kRed : kBlue;
                InvalidateRect(Label1, nullptr, TRUE);
            }
            return 0;
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            HWND control = reinterpret_cast<HWND>(lParam);
            SetBkMode(dc, TRANSPARENT);
            if (control == Label1) SetTextColor(dc, m_label1Colour);
            if (control == lbCopyright) SetTextColor(dc, kCopyrightGray);
            if (GetParent(control) == Panel4) return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_DRAWITEM:
            if (wParam == kLogo) DrawLogo(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CLOSE:
            FormClose();
            return 0;
        case WM_DPICHANGED:
            RescaleForDpi(m_window, m_scale.Dpi(), LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam),
                          {&m_font, &m_boldFont, &m_bandFont, &m_copyrightFont});
            m_scale = DesignScale(LOWORD(wParam));
            return 0;
        default:
            return DefWindowProcA(m_window, message, wParam, lParam);
    }
}

}  // namespace orm::win32ui
