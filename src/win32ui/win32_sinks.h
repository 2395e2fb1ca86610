// Win32 answers to the small interfaces the core reaches the screen through. ANSI throughout:
// the program's texts are single-byte.
#pragma once

#include <functional>
#include <string>

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "platform/windows/windows_sdk.h"

namespace orm::win32ui {

// A fatal error ends the process with this code, so that whoever started the program can tell
// a failure from a normal end (closing the chooser without a choice still gives 0).
inline constexpr UINT kFatalExitCode = 1;

// One read-only multi-line edit: every line is appended at its end, none removed.
class EditSink : public LineSink {
  public:
    explicit EditSink(HWND edit) : m_edit(edit) {}
    void Line(const std::string& text) override;

  private:
    HWND m_edit;
    bool m_started = false;  // a line was written: the next one starts on a new line
};

class ProgressBarSink : public ProgressSink {
  public:
    explicit ProgressBarSink(HWND bar) : m_bar(bar) {}
    void SetPosition(int percent) override;

  private:
    HWND m_bar;
};

// The user's regional settings: short date, long time and decimal separator of the user's locale.
class Win32Regional : public Regional {
  public:
    CivilTime Now() override;
    std::string ShortDate(const CivilTime& t) override;
    std::string LongTime(const CivilTime& t) override;
    char DecimalSeparator() override;
};

// Boxes with no owner window, modal to the whole task: every window of the program is disabled
// while one is up.
class Win32MessageBoxes : public MessageBoxes {
  public:
    void Show(const std::string& text, const std::string& caption, BoxIcon icon) override;
    bool Confirm(const std::string& text, const std::string& caption) override;
};

// Ends the process. The real one exits at once (no close handler, no destructor runs); the demo
// first removes its temporary storage.
using ExitFunction = std::function<void(UINT exitCode)>;

// Ends the process at once with ExitProcess.
[[noreturn]] void ExitNow(UINT exitCode);

// The fatal-error box (text, caption, error icon, OK), then the end of the process: no further
// message is dispatched and no close handler runs.
class Win32FatalSink : public FatalSink {
  public:
    Win32FatalSink(MessageBoxes& boxes, ExitFunction exitProcess)
        : m_boxes(boxes), m_exit(std::move(exitProcess)) {}
    void Fatal(const std::string& text, const std::string& caption) override;

  private:
    MessageBoxes& m_boxes;
    ExitFunction m_exit;
};

// Dispatches every pending message of the window thread (keyboard navigation included), then
// says whether the drive is still open: the main window's close handler may have closed it.
// A quit request met on the way is put back for the main loop.
class Win32MessagePump : public MessagePump {
  public:
    Win32MessagePump(HWND dialogWindow, const RunState& state) : m_window(dialogWindow), m_state(state) {}
    bool Pump() override;

  private:
    HWND m_window;
    const RunState& m_state;
};

// Ctrl+Tab (wParam 1) and Ctrl+Shift+Tab (wParam 0) pressed anywhere in a window, sent to that
// window before dialog keys are handled. A window with pages switches to the next or previous one
// and answers nonzero; a window without pages leaves it to DefWindowProc, which answers 0.
inline constexpr UINT kSwitchPage = WM_APP + 16;

// Dispatches one message to its window, letting `dialogWindow` handle Ctrl+Tab (kSwitchPage),
// Tab, Enter, Escape and mnemonics first.
void DispatchWithDialogKeys(HWND dialogWindow, MSG& msg);

}  // namespace orm::win32ui
