#include "win32ui/win32_sinks.h"

#include "win32ui/common_controls.h"

#include <string>
#include <vector>

namespace orm::win32ui {
namespace {

constexpr int kLocaleText = 128;

SYSTEMTIME ToSystemTime(const CivilTime& t) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    return st;
}

// GetDateFormatA and GetTimeFormatA count the closing zero in their answer.
std::string FromLocaleBuffer(const char* buffer, int length) {
    return length > 1 ? std::string(buffer, static_cast<std::size_t>(length - 1)) : std::string();
}

UINT IconFlag(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Information:
            return MB_ICONINFORMATION;
        case BoxIcon::Warning:
            return MB_ICONWARNING;
        case BoxIcon::Error:
            return MB_ICONERROR;
        case BoxIcon::Question:
            return MB_ICONQUESTION;
    }
    return 0;
}

// The task dialog takes its texts in UTF-16; the program's are in the ANSI code page.
std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0)),
                      L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

// While it lives, every enabled top-level window of this thread is disabled, as a task-modal
// message box does; afterwards they are enabled again and the window that was active is again.
class TaskModal {
  public:
    TaskModal() : m_active(GetActiveWindow()) {
        EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(&m_disabled));
        for (HWND window : m_disabled) EnableWindow(window, FALSE);
    }
    ~TaskModal() {
        for (HWND window : m_disabled) {
            if (IsWindow(window)) EnableWindow(window, TRUE);
        }
        if (m_active != nullptr && IsWindow(m_active)) SetActiveWindow(m_active);
    }
    TaskModal(const TaskModal&) = delete;
    TaskModal& operator=(const TaskModal&) = delete;

  private:
    static BOOL CALLBACK Collect(HWND window, LPARAM list) {
        if (IsWindowEnabled(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
    }
    HWND m_active;
    std::vector<HWND> m_disabled;
};

}  // namespace

void EditSink::Line(const std::string& text) {
    // The line break goes before every line but the first, so the memo never ends in an empty
    // line; an empty first line still counts as a line.
    const std::string line = m_started ? "\r\n" + text : text;
    m_started = true;
    const int length = GetWindowTextLengthA(m_edit);
    SendMessageA(m_edit, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    SendMessageA(m_edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    // The edit has no horizontal scroll bar, so nothing could bring back the start of the lines
    // once the view went sideways: the caret goes to the start of the last line, and scrolling
    // it into view shows the last line from column 0.
    const LRESULT lastLine = SendMessageA(m_edit, EM_LINEINDEX, static_cast<WPARAM>(-1), 0);
    SendMessageA(m_edit, EM_SETSEL, static_cast<WPARAM>(lastLine), lastLine);
    SendMessageA(m_edit, EM_SCROLLCARET, 0, 0);
}

void ProgressBarSink::SetPosition(int percent) {
    SendMessageA(m_bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

CivilTime Win32Regional::Now() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return CivilTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::string Win32Regional::ShortDate(const CivilTime& t) {
    const SYSTEMTIME st = ToSystemTime(t);
    char buffer[kLocaleText] = {};
    return FromLocaleBuffer(
        buffer, GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, kLocaleText));
}

std::string Win32Regional::LongTime(const CivilTime& t) {
    const SYSTEMTIME st = ToSystemTime(t);
    char buffer[kLocaleText] = {};
    return FromLocaleBuffer(buffer,
                            GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, kLocaleText));
}

char Win32Regional::DecimalSeparator() {
    char buffer[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof(buffer)) < 2) return '.';
    return buffer[0];
}

void Win32MessageBoxes::Show(const std::string& text, const std::string& caption, BoxIcon icon) {
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_TASKMODAL | IconFlag(icon));
}

bool Win32MessageBoxes::Confirm(const std::string& text, const std::string& caption) {
    // A task dialog, not MB_YESNO: a message box with Yes and No ignores Escape and greys its
    // close box. Here No carries the id of the cancel button, so Escape and the close box answer
    // No as the No button does (cancellation is allowed as well, for the systems that go by the
    // flag); Yes is the default button. The buttons are the dialog's own so that they read
    // "&Yes" and "&No" whatever the system's language. TaskDialogIndirect is in common controls
    // 6, which the programs' manifests ask for.
    const std::wstring wideText = Wide(text);
    const std::wstring wideCaption = Wide(caption);
    const TASKDIALOG_BUTTON buttons[] = {{IDYES, L"&Yes"}, {IDCANCEL, L"&No"}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_USE_HICON_MAIN;
    config.pszWindowTitle = wideCaption.c_str();
    config.hMainIcon = LoadIcon(nullptr, IDI_QUESTION);
    config.pszContent = wideText.c_str();
    config.cButtons = 2;
    config.pButtons = buttons;
    config.nDefaultButton = IDYES;
    int pressed = 0;
    TaskModal modal;
    if (FAILED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr))) return false;
    return pressed == IDYES;
}

void ExitNow(UINT exitCode) {
    ExitProcess(exitCode);
}

void Win32FatalSink::Fatal(const std::string& text, const std::string& caption) {
    m_boxes.Show(text, caption, BoxIcon::Error);
    m_exit(kFatalExitCode);
}

void DispatchWithDialogKeys(HWND dialogWindow, MSG& msg) {
    // A plain tab control leaves Ctrl+Tab to its window, as property sheets take it; the dialog
    // manager would otherwise hand it to the focused memo or treat it as Tab.
    if (dialogWindow != nullptr && msg.message == WM_KEYDOWN && msg.wParam == VK_TAB &&
        GetKeyState(VK_CONTROL) < 0 && (msg.hwnd == dialogWindow || IsChild(dialogWindow, msg.hwnd))) {
        const WPARAM forward = GetKeyState(VK_SHIFT) < 0 ? 0 : 1;
        if (SendMessageA(dialogWindow, kSwitchPage, forward, 0) != 0) return;
    }
    if (dialogWindow != nullptr && IsDialogMessageA(dialogWindow, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

bool Win32MessagePump::Pump() {
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        DispatchWithDialogKeys(m_window, msg);
    }
    return m_state.DeviceHandle != kNoHandle;
}

}  // namespace orm::win32ui
