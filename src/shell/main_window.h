// What the main window does, written once for both front ends: the start-up sequence before it is
// first shown, the two commands, the busy state, the web page behind the logo and the copyright
// label, and closing (also during a wipe). The Qt and Win32 windows draw, implement MainView and
// forward their events here.
#pragma once

#include <string>

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "platform/kernel_services.h"
#include "shell/open_device.h"
#include "wipe/sleep_block.h"

namespace orm {

class SetupApiBinding;

// What the main window works with; main owns all of it for the whole run.
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

// The main window as its behaviour sees it. SetControlsEnabled is the busy state of the two
// buttons and the page control; SetDiskName and SetStatusPanel1 are the open's.
class MainView : public OpenDeviceView, public BusySink {
  public:
    virtual LineSink& WipeLog() = 0;
    virtual LineSink& DetailsLog() = 0;
    virtual LineSink& SmartLog() = 0;
    virtual ProgressSink& Progress() = 0;
    virtual MessagePump& Pump() = 0;
    virtual void ShowPage(int index) = 0;
    // Start-up's part of the window.
    virtual void PlaceLogo() = 0;
    virtual void SetTitles(const std::string& title) = 0;
    virtual void SetCopyright(const std::string& line) = 0;
    virtual void CentreOnScreen() = 0;
    // Asks the shell to open the maker's web page, owned by this window.
    virtual void OpenMakerPage() = 0;
    // Takes the window away; the program then ends.
    virtual void Close() = 0;
};

// The chooser as start-up sees it.
class ChooserView {
  public:
    virtual ~ChooserView() = default;
    virtual void PlaceLogo() = 0;
    virtual void SetCopyright(const std::string& line) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // Fills the list, shows the chooser modally and answers whether a drive was chosen.
    virtual bool ChooseDevice() = 0;
};

class MainWindow {
  public:
    MainWindow(ShellServices services, MainView& view) : m_services(services), m_view(view) {}

    // Page 0 selected.
    void FormCreate();

    // The start-up sequence, the chooser and the opening of the chosen drive, in this order.
    // The face runs it before showing the window, so the window becomes visible only once a
    // drive is open.
    ShowResult FormShow(ChooserView& chooser);

    void btRunBenchmarksClick();
    void btGetSmartClick();
    // imgLogoClick and lbCopyrightClick, also while busy.
    void OpenMakerPage() { m_view.OpenMakerPage(); }

    // The close box, Alt+F4: closes the drive at once, and answers whether the window may go now.
    // During a command it may not: a wipe pumping messages learns from the pump that the drive is
    // closed and stops, and the window goes (MainView::Close) once the command has returned.
    bool FormClose();

  private:
    template <class Command>
    void RunCommand(Command command);

    ShellServices m_services;
    MainView& m_view;
    bool m_running = false;
    bool m_closeRequested = false;
};

}  // namespace orm
