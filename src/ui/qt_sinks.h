// Qt answers to the small interfaces the core reaches the screen through.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "common/sinks.h"
#include "discovery/device_table.h"

class QPlainTextEdit;
class QProgressBar;

namespace orm::ui {

// Program texts are single-byte; they are shown as UTF-8 (plain ASCII in practice).
inline QString ToQt(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string FromQt(const QString& text) {
    return text.toUtf8().toStdString();
}

// One memo: every line is appended, none removed.
class MemoSink : public LineSink {
  public:
    explicit MemoSink(QPlainTextEdit* memo) : m_memo(memo) {}
    void Line(const std::string& text) override;

  private:
    QPlainTextEdit* m_memo;
};

class ProgressBarSink : public ProgressSink {
  public:
    explicit ProgressBarSink(QProgressBar* bar) : m_bar(bar) {}
    void SetPosition(int percent) override;

  private:
    QProgressBar* m_bar;
};

// The user's regional settings as the system locale gives them.
class QtRegional : public Regional {
  public:
    CivilTime Now() override;
    std::string ShortDate(const CivilTime& t) override;
    // The locale's long time format without its time-zone part, which a long time of the
    // system's regional settings does not show.
    std::string LongTime(const CivilTime& t) override;
    char DecimalSeparator() override;
};

// Application-modal boxes with no owner window.
class QtMessageBoxes : public MessageBoxes {
  public:
    void Show(const std::string& text, const std::string& caption, BoxIcon icon) override;
    bool Confirm(const std::string& text, const std::string& caption) override;
};

// Ends the process. The real one exits at once (no close handler, no destructor runs); the
// demo first removes its temporary storage; tests record the code and let the core return.
using ExitFunction = std::function<void(int exitCode)>;

// A fatal error ends the process with this code: whoever started the program must be able to
// tell a failure from a normal end (closing the chooser without a choice still gives 0).
inline constexpr int kFatalExitCode = 1;

// The fatal-error box: text, caption and the error icon, then the end of the process.
class QtFatalSink : public FatalSink {
  public:
    QtFatalSink(MessageBoxes& boxes, ExitFunction exitProcess)
        : m_boxes(boxes), m_exit(std::move(exitProcess)) {}
    void Fatal(const std::string& text, const std::string& caption) override;

  private:
    MessageBoxes& m_boxes;
    ExitFunction m_exit;
};

// Dispatches the pending window messages; afterwards says whether the drive is still open (the
// main window's close handler may have closed it meanwhile).
class QtMessagePump : public MessagePump {
  public:
    explicit QtMessagePump(const RunState& state) : m_state(state) {}
    bool Pump() override;

  private:
    const RunState& m_state;
};

}  // namespace orm::ui
