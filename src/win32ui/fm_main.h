// The main window as a native window: the chosen drive's name, the three pages, the status bar
// and the copyright label. The start-up sequence runs from FormShow before it is first shown.
#pragma once

#include <memory>
#include <string>

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "platform/kernel_services.h"
#include "platform/windows/windows_sdk.h"
#include "shell/open_device.h"
#include "shell/setup_library.h"
#include "win32ui/win32_sinks.h"
#include "win32ui/window_kit.h"
#include "wipe/sleep_block.h"

namespace orm::win32ui {

class TFmChoose;

// What the main window works with; WinMain owns all of it for the whole run.
struct ShellServices {
    KernelServices& ks;
    RunState& state;
    Regional& regional;
    MessageBoxes& boxes;
    FatalSink& fatal;
    SetupApiBinding& setup;
    SleepBlocker& sleep;  // held from the Yes to a wipe until its closing box
};

enum class ShowResult {
    Opened,         // a drive is open and its details written: show the window
    NothingChosen,  // the chooser was closed without a choice: end normally
    Fatal,          // a fatal error was reported (only seen where the fatal sink returns)
};

class TFmMain : public OpenDeviceView, public BusySink {
  public:
    TFmMain(HINSTANCE instance, ShellServices services);
    ~TFmMain() override;
    TFmMain(const TFmMain&) = delete;
    TFmMain& operator=(const TFmMain&) = delete;

    // The start-up sequence, the chooser and the opening of the chosen drive, in this order.
    // WinMain runs it before showing the window, so the window becomes visible only once a drive
    // is open.
    ShowResult FormShow(TFmChoose& chooser);

    void SetControlsEnabled(bool enabled) override;
    void SetDiskName(const std::string& text) override;
    void SetStatusPanel1(const std::string& text) override;

    // Start-up's part of the window.
    void PlaceLogo();
    void SetTitles(const std::string& title);
    void SetCopyright(const std::string& line);

    HWND Window() const { return m_window; }

    // The ids of the window's controls (GetDlgCtrlID), one per control.
    enum ControlId : int {
        kDiskName = 201,
        kLogo,
        kStatusBar,
        kCopyright,
        kPages,
        kLogDetails,
        kLogBenchMark,
        kLogSmart,
        kProgress,
        kRunBenchmarks,
        kGetSmart,
        kGroupBox,
        kBand,
        kSeparator,
        kPagePanel,  // the first of the three page panels
    };

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    HWND MakeMemo(HWND page, int x, int y, int w, int h, int id, HFONT font);
    void FormCreate();
    void FormClose();
    void SelectPage(int index);
    void btRunBenchmarksClick();
    void btGetSmartClick();
    void PressDefaultButton();

    ShellServices m_services;
    DesignScale m_scale;
    HWND m_window = nullptr;
    bool m_busy = false;
    bool m_closeRequested = false;
    COLORREF m_copyrightColour = kCopyrightGray;

    HFONT m_font = nullptr;
    HFONT m_diskNameFont = nullptr;
    HFONT m_copyrightFont = nullptr;
    HFONT m_memoFont = nullptr;
    HWND Panel2 = nullptr;
    HWND lbDiskName = nullptr;
    HWND imgLogo = nullptr;
    HWND StatusBar = nullptr;
    HWND lbCopyright = nullptr;
    HWND pages = nullptr;
    HWND m_pagePanels[3] = {};
    HWND Log_Details = nullptr;
    HWND Log_BenchMark = nullptr;
    HWND Log_Smart = nullptr;
    HWND pbCurrentTask = nullptr;
    HWND btRunBenchmarks = nullptr;
    HWND btGetSmart = nullptr;

    std::unique_ptr<EditSink> m_wipeLog;
    std::unique_ptr<EditSink> m_detailsLog;
    std::unique_ptr<EditSink> m_smartLog;
    std::unique_ptr<ProgressBarSink> m_progress;
    std::unique_ptr<Win32MessagePump> m_pump;
};

}  // namespace orm::win32ui
