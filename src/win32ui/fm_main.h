// The main window as a native window: the chosen drive's name, the three pages, the status bar
// and the copyright label. It draws and forwards its events to MainWindow, which holds what the
// window does.
#pragma once

#include <memory>
#include <string>

#include "platform/windows/windows_sdk.h"
#include "shell/main_window.h"
#include "shell/setup_library.h"
#include "win32ui/win32_sinks.h"
#include "win32ui/window_kit.h"

namespace orm::win32ui {

class TFmChoose;

class TFmMain : public MainView {
  public:
    TFmMain(HINSTANCE instance, ShellServices services);
    ~TFmMain() override;
    TFmMain(const TFmMain&) = delete;
    TFmMain& operator=(const TFmMain&) = delete;

    // WinMain runs it before showing the window, so the window becomes visible only once a drive
    // is open.
    ShowResult FormShow(TFmChoose& chooser);

    void SetControlsEnabled(bool enabled) override;
    void SetDiskName(const std::string& text) override;
    void SetStatusPanel1(const std::string& text) override;
    void PlaceLogo() override;
    void SetTitles(const std::string& title) override;
    void SetCopyright(const std::string& line) override;
    LineSink& WipeLog() override { return *m_wipeLog; }
    LineSink& DetailsLog() override { return *m_detailsLog; }
    LineSink& SmartLog() override { return *m_smartLog; }
    ProgressSink& Progress() override { return *m_progress; }
    MessagePump& Pump() override { return *m_pump; }
    void ShowPage(int index) override;
    void CentreOnScreen() override { win32ui::CentreOnScreen(m_window); }
    void OpenMakerPage() override { win32ui::OpenMakerPage(m_ks, m_window); }
    void Close() override { DestroyWindow(m_window); }

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
    void PressDefaultButton();

    KernelServices& m_ks;
    MainWindow m_main;
    DesignScale m_scale;
    HWND m_window = nullptr;
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
