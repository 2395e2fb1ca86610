#include "win32ui/win32_sinks.h"

#include "win32ui/common_controls.h"

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

}  // namespace

void EditSink::Line(const std::string& text) {
    // The line break goes before every line but the first, so the memo never ends in an empty
    // line; an empty first line still counts as a line.
    const std::string line = m_started ? "\r\n" + text : text;
    m_started = true;
    const int length = GetWindowTextLengthA(m_edit);
    SendMessageA(m_edit, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    SendMessageA(m_edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
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
    // Yes is the default button; Escape and the close box answer No.
    return MessageBoxA(nullptr, text.c_str(), caption.c_str(),
                       MB_YESNO | MB_DEFBUTTON1 | MB_ICONQUESTION | MB_TASKMODAL) == IDYES;
}

void ExitNow(UINT exitCode) {
    ExitProcess(exitCode);
}

void Win32FatalSink::Fatal(const std::string& text, const std::string& caption) {
    m_boxes.Show(text, caption, BoxIcon::Error);
    m_exit(kFatalExitCode);
}

void DispatchWithDialogKeys(HWND dialogWindow, MSG& msg) {
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
