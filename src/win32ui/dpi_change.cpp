#include "win32ui/dpi_change.h"

#include "win32ui/common_controls.h"

#include <utility>
#include <vector>

namespace orm::win32ui {
namespace {

struct Rescale {
    int from = 96;
    int to = 96;
    std::vector<std::pair<HFONT, HFONT>> fonts;  // old, new

    int operator()(int pixels) const { return MulDiv(pixels, to, from); }
    HFONT NewFont(HFONT old) const {
        for (const auto& [was, now] : fonts)
            if (was == old) return now;
        return nullptr;
    }
};

bool IsClass(HWND window, const char* name) {
    char text[64] = {};
    GetClassNameA(window, text, sizeof(text));
    return lstrcmpiA(text, name) == 0;
}

HFONT ScaledFont(HFONT font, const Rescale& k) {
    LOGFONTA face{};
    GetObjectA(font, sizeof(face), &face);
    face.lfHeight = k(face.lfHeight);
    face.lfWidth = k(face.lfWidth);
    return CreateFontIndirectA(&face);
}

// A status bar sizes and places itself at its parent's bottom; its part edges are right edges,
// -1 for "to the end".
void ScaleStatusBar(HWND bar, const Rescale& k) {
    int edges[16] = {};
    const auto count = static_cast<int>(SendMessageA(bar, SB_GETPARTS, 16, reinterpret_cast<LPARAM>(edges)));
    for (int i = 0; i < count; ++i)
        if (edges[i] >= 0) edges[i] = k(edges[i]);
    int borders[3] = {};
    SendMessageA(bar, SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
    RECT r{};
    GetWindowRect(bar, &r);
    SendMessageA(bar, SB_SETMINHEIGHT, static_cast<WPARAM>(k(r.bottom - r.top - 2 * borders[1])), 0);
    SendMessageA(bar, WM_SIZE, 0, 0);
    if (count > 0)
        SendMessageA(bar, SB_SETPARTS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(edges));
}

void ScaleChildren(HWND parent, const Rescale& k) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (HFONT font = k.NewFont(reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0))))
            SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (IsClass(child, STATUSCLASSNAMEA)) {
            ScaleStatusBar(child, k);
            continue;
        }
        // Edges scale, not sizes: controls that meet keep meeting.
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(child, nullptr, k(r.left), k(r.top), k(r.right) - k(r.left), k(r.bottom) - k(r.top),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (IsClass(child, WC_LISTVIEWA)) {  // its header is its own to place
            const int columns = Header_GetItemCount(ListView_GetHeader(child));
            for (int c = 0; c < columns; ++c)
                ListView_SetColumnWidth(child, c, k(ListView_GetColumnWidth(child, c)));
        } else {
            ScaleChildren(child, k);
        }
    }
    // The tabs' height follows the font, not the scale alone.
    if (IsClass(parent, WC_TABCONTROLA)) {
        RECT display{};
        GetClientRect(parent, &display);
        TabCtrl_AdjustRect(parent, FALSE, &display);
        for (HWND page = GetWindow(parent, GW_CHILD); page != nullptr; page = GetWindow(page, GW_HWNDNEXT)) {
            SetWindowPos(page, nullptr, display.left, display.top, display.right - display.left,
                         display.bottom - display.top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
}

}  // namespace

void RescaleForDpi(HWND window, int fromDpi, int toDpi, const RECT& suggested,
                   std::initializer_list<HFONT*> fonts) {
    if (fromDpi <= 0 || toDpi <= 0) return;
    Rescale k{fromDpi, toDpi, {}};
    for (HFONT* font : fonts) k.fonts.emplace_back(*font, ScaledFont(*font, k));

    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (HFONT font = k.NewFont(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0))))
        SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ScaleChildren(window, k);

    auto next = k.fonts.begin();
    for (HFONT* font : fonts) {
        DeleteObject(next->first);
        *font = (next++)->second;
    }
    InvalidateRect(window, nullptr, TRUE);
}

}  // namespace orm::win32ui
