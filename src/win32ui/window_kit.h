// Small pieces both native windows are built from: design-to-screen scaling, fonts, child
// controls, page panels, the clickable label and the logo.
#pragma once

#include <string>

#include "platform/kernel_services.h"
#include "platform/windows/windows_sdk.h"

namespace orm::win32ui {

// Sizes are designed at 120 pixels per inch and scaled to the screen's when a window is made.
// The windows are per-monitor aware: a window that moves to a screen of another scale is laid out
// again at that scale (dpi_change.h).
class DesignScale {
  public:
    DesignScale();  // the system's scale, the one a new window starts at
    explicit DesignScale(int dpi) : m_dpi(dpi > 0 ? dpi : 96) {}
    int operator()(int designPixels) const { return MulDiv(designPixels, m_dpi, 120); }
    int Dpi() const { return m_dpi; }

  private:
    int m_dpi = 96;
};

inline constexpr COLORREF kCopyrightGray = RGB(128, 128, 128);
inline constexpr COLORREF kBlue = RGB(0, 0, 255);
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kWhite = RGB(255, 255, 255);

// A font `pixels` high at 120 pixels per inch. A fixed-pitch font stays fixed-pitch where the face
// is missing (the font mapper then picks another fixed-pitch face).
HFONT MakeFont(const DesignScale& s, const char* face, int pixels, bool bold, bool fixedPitch = false);

// Registers the window classes of the program (once).
void RegisterWindowClasses(HINSTANCE instance);

// Registers a top-level window class with the program's logo as its icons (title bar, taskbar,
// Alt+Tab).
void RegisterTopLevelClass(HINSTANCE instance, const char* name, WNDPROC proc);

// A plain child window that holds other controls and hands their notifications (commands,
// notifications, colour requests, owner drawing) to the top-level window it belongs to.
inline constexpr const char* kPanelClass = "OrmandelPanel";
// A white band across the top of a window.
inline constexpr const char* kBandClass = "OrmandelBand";

HWND MakeChild(const char* className, const char* text, DWORD style, int x, int y, int w, int h, HWND parent,
               int id, HFONT font, DWORD exStyle = 0);

// A static label that reports the mouse to its top-level window: entering and leaving it, left
// button down and up, and a click (WM_APP messages below, wParam = control id). A click is a left
// press and release both on the label, as a button counts it; the static control's own
// STN_CLICKED comes on the press alone and is not used.
void MakeMouseAware(HWND label);
inline constexpr UINT kLabelMouseEnter = WM_APP + 1;
inline constexpr UINT kLabelMouseLeave = WM_APP + 2;
inline constexpr UINT kLabelLeftDown = WM_APP + 3;
inline constexpr UINT kLabelLeftUp = WM_APP + 4;
inline constexpr UINT kLabelClick = WM_APP + 5;

// The program's logo, painted into an owner-drawn static from the icon resource of the
// control's module, at the control's size.
void DrawLogo(const DRAWITEMSTRUCT& item);

// Places the logo in its top band at a screen of `dpi`: the 32 x 32 logo and its place are
// designed at 96 pixels per inch, as icon sizes are.
void MoveLogoIntoBand(HWND logo, HWND band, int dpi);

// The text of a window, and the size of a text in a control's font.
std::string WindowText(HWND window);
SIZE TextExtent(HWND control, const std::string& text);

void CentreOnScreen(HWND window);

// Opens the maker's web page with the shell, owned by `owner`: the window whose label or logo was
// clicked. Platforms that open it some other way take no owner.
void OpenMakerPage(KernelServices& ks, HWND owner);

}  // namespace orm::win32ui
