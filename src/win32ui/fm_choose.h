// The drive chooser as a native window: a modal list of the drives the probe accepted.
#pragma once

#include <cstdint>
#include <string>

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "platform/kernel_services.h"
#include "platform/windows/windows_sdk.h"
#include "shell/chooser_rows.h"
#include "shell/main_window.h"
#include "win32ui/window_kit.h"

namespace orm::win32ui {

class TFmChoose : public ChooserView {
  public:
    TFmChoose(HINSTANCE instance, HWND owner, KernelServices& ks, RunState& state, Regional& regional,
              MessageBoxes& boxes);
    ~TFmChoose() override;
    TFmChoose(const TFmChoose&) = delete;
    TFmChoose& operator=(const TFmChoose&) = delete;

    // Fills the list from the device table, shows the chooser modally and answers whether a
    // drive was chosen (ChosenIndex then designates it).
    bool ChooseDevice() override;

    // Start-up's part: the logo's place from the band's size, the copyright line, the status text.
    void PlaceLogo() override;
    void SetCopyright(const std::string& line) override;
    void SetStatusText(const std::string& text) override;

    HWND Window() const { return m_window; }

    // The controls, for tests.
    HWND List() const { return DriveList; }
    HWND ContinueButton() const { return btContinue; }
    HWND CopyrightLabel() const { return lbCopyright; }
    HWND WebLabel() const { return Label1; }
    std::string StatusText() const;
    COLORREF WebLabelColour() const { return m_label1Colour; }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void FormCreate();
    void FormShow();
    void FormClose();
    void DriveListClick();
    void DriveListDblClick();
    void btContinueClick();
    int SelectedRow() const;

    KernelServices& m_ks;
    RunState& m_state;
    Regional& m_regional;
    MessageBoxes& m_boxes;
    HWND m_owner;
    DesignScale m_scale;
    HWND m_window = nullptr;
    bool m_modalDone = false;
    COLORREF m_label1Colour = kBlue;

    HFONT m_font = nullptr;
    HFONT m_bandFont = nullptr;
    HFONT m_copyrightFont = nullptr;
    HFONT m_boldFont = nullptr;
    HWND Panel4 = nullptr;
    HWND lbProgramName = nullptr;
    HWND Label1 = nullptr;
    HWND imgLogo = nullptr;
    HWND DriveList = nullptr;
    HWND lbCopyright = nullptr;
    HWND Label2 = nullptr;
    HWND btContinue = nullptr;
    HWND StatusBar = nullptr;
};

}  // namespace orm::win32ui
