#include "win32ui/window_kit.h"

#include "win32ui/common_controls.h"

#include <windowsx.h>

#include "common/product.h"
#include "platform/windows/windows_kernel_services.h"
#include "shell/startup_sequence.h"
#include "win32ui/resource_ids.h"

namespace orm::win32ui {
namespace {

constexpr UINT_PTR kMouseSubclass = 1;

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_DRAWITEM:
        case kLabelMouseEnter:
        case kLabelMouseLeave:
        case kLabelLeftDown:
        case kLabelLeftUp:
        case kLabelClick:
            return SendMessageA(GetAncestor(window, GA_ROOT), message, wParam, lParam);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK MouseAwareProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    const HWND top = GetAncestor(label, GA_ROOT);
    const auto id = static_cast<WPARAM>(GetDlgCtrlID(label));
    switch (message) {
        case WM_MOUSEMOVE:
            if (GetPropA(label, "OrmandelInside") == nullptr) {
                SetPropA(label, "OrmandelInside", reinterpret_cast<HANDLE>(1));
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, label, 0};
                TrackMouseEvent(&track);
                SendMessageA(top, kLabelMouseEnter, id, reinterpret_cast<LPARAM>(label));
            }
            break;
        case WM_MOUSELEAVE:
            RemovePropA(label, "OrmandelInside");
            SendMessageA(top, kLabelMouseLeave, id, reinterpret_cast<LPARAM>(label));
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:  // the second press of a quick double click
            SetPropA(label, "OrmandelPressed", reinterpret_cast<HANDLE>(1));
            SetCapture(label);
            SendMessageA(top, kLabelLeftDown, id, reinterpret_cast<LPARAM>(label));
            break;
        case WM_LBUTTONUP: {
            const bool pressed = RemovePropA(label, "OrmandelPressed") != nullptr;
            if (GetCapture() == label) ReleaseCapture();
            SendMessageA(top, kLabelLeftUp, id, reinterpret_cast<LPARAM>(label));
            RECT area{};
            GetClientRect(label, &area);
            const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (pressed && PtInRect(&area, at))
                SendMessageA(top, kLabelClick, id, reinterpret_cast<LPARAM>(label));
            break;
        }
        case WM_SETCURSOR:
            SetCursor(LoadCursor(nullptr, IDC_HAND));
            return TRUE;
        case WM_NCDESTROY:
            RemovePropA(label, "OrmandelInside");
            RemovePropA(label, "OrmandelPressed");
            RemoveWindowSubclass(label, MouseAwareProc, kMouseSubclass);
            break;
        default:
            break;
    }
    return DefSubclassProc(label, message, wParam, lParam);
}

}  // namespace

DesignScale::DesignScale() {
    HDC screen = GetDC(nullptr);
    m_dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (m_dpi <= 0) m_dpi = 96;
}

HFONT MakeFont(const DesignScale& s, const char* face, int pixels, bool bold, bool fixedPitch) {
    const DWORD pitch = fixedPitch ? FIXED_PITCH | FF_MODERN : DEFAULT_PITCH | FF_DONTCARE;
    return CreateFontA(-s(pixels), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitch, face);
}

void RegisterWindowClasses(HINSTANCE instance) {
    static bool registered = false;
    if (registered) return;
    registered = true;

    WNDCLASSA panel{};
    panel.lpfnWndProc = PanelProc;
    panel.hInstance = instance;
    panel.hCursor = LoadCursor(nullptr, IDC_ARROW);
    panel.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    panel.lpszClassName = kPanelClass;
    RegisterClassA(&panel);

    WNDCLASSA band = panel;
    band.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    band.lpszClassName = kBandClass;
    RegisterClassA(&band);
}

void RegisterTopLevelClass(HINSTANCE instance, const char* name, WNDPROC proc) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_ORMANDEL), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    wc.hIconSm =
        static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_ORMANDEL), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
}

HWND MakeChild(const char* className, const char* text, DWORD style, int x, int y, int w, int h, HWND parent,
               int id, HFONT font, DWORD exStyle) {
    HWND child =
        CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
    if (child != nullptr && font != nullptr)
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return child;
}

void MakeMouseAware(HWND label) {
    SetWindowSubclass(label, MouseAwareProc, kMouseSubclass, 0);
}

void DrawLogo(const DRAWITEMSTRUCT& item) {
    const RECT& r = item.rcItem;
    FillRect(item.hDC, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    // LoadImage picks the icon's picture nearest the size and scales it only where none matches.
    const auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(item.hwndItem, GWLP_HINSTANCE));
    auto* logo = static_cast<HICON>(
        LoadImageA(module, MAKEINTRESOURCEA(IDI_ORMANDEL), IMAGE_ICON, w, h, LR_DEFAULTCOLOR));
    if (logo == nullptr) return;
    DrawIconEx(item.hDC, r.left, r.top, logo, w, h, 0, nullptr, DI_NORMAL);
    DestroyIcon(logo);
}

void MoveLogoIntoBand(HWND logo, HWND band, int dpi) {
    RECT area{};
    GetClientRect(band, &area);
    const LogoPlace at = PlaceLogoInBand(MulDiv(area.right, 96, dpi), MulDiv(area.bottom, 96, dpi));
    MoveWindow(logo, MulDiv(at.left, dpi, 96), MulDiv(at.top, dpi, 96), MulDiv(at.width, dpi, 96),
               MulDiv(at.height, dpi, 96), TRUE);
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

SIZE TextExtent(HWND control, const std::string& text) {
    SIZE size{};
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size;
}

void CentreOnScreen(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OpenMakerPage(KernelServices& ks, HWND owner) {
    if (auto* shell = dynamic_cast<windows::ShellOwned*>(&ks)) shell->SetShellOwner(owner);
    ks.OpenWebAddress(kMakerWebAddress);
}

}  // namespace orm::win32ui
