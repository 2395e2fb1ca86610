// The recorders the tests pass where the program passes its windows: every sink call is kept,
// so that a test can check what the window would have shown. Written once, used everywhere.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/sinks.h"
#include "wipe/sleep_block.h"

namespace orm::testing {

class FatalRecorder : public FatalSink {
  public:
    void Fatal(const std::string& text, const std::string& caption) override {
        calls.emplace_back(text, caption);
    }
    std::vector<std::pair<std::string, std::string>> calls;
};

class LineRecorder : public LineSink {
  public:
    void Line(const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

class ProgressRecorder : public ProgressSink {
  public:
    void SetPosition(int percent) override { positions.push_back(percent); }
    std::vector<int> positions;
};

class BusyRecorder : public BusySink {
  public:
    void SetControlsEnabled(bool enabled) override { calls.push_back(enabled); }
    std::vector<bool> calls;
};

struct ShownBox {
    std::string text, caption;
    BoxIcon icon = BoxIcon::Information;
    bool operator==(const ShownBox&) const = default;
};

// Message boxes: every box shown, and every confirmation asked (answered with confirmAnswer).
class BoxRecorder : public MessageBoxes {
  public:
    explicit BoxRecorder(bool answer = false) : confirmAnswer(answer) {}
    void Show(const std::string& text, const std::string& caption, BoxIcon icon) override {
        shown.push_back({text, caption, icon});
        if (onShow) onShow();
    }
    bool Confirm(const std::string& text, const std::string& caption) override {
        confirms.push_back({text, caption, BoxIcon::Question});
        return confirmAnswer;
    }
    std::vector<ShownBox> shown;
    std::vector<ShownBox> confirms;
    bool confirmAnswer = false;
    std::function<void()> onShow;  // runs inside Show, while the box would be up
};

// The block on sleep: "hold" and "release", comma-separated, in the order asked.
class SleepRecorder : public SleepBlocker {
  public:
    void Hold(const std::string&) override { journal += journal.empty() ? "hold" : ",hold"; }
    void Release() override { journal += journal.empty() ? "release" : ",release"; }
    std::string journal;
};

// Regional settings that stand still at a chosen time (8 December 2026, 01:23:45 unless told),
// with a day.month.year short date and a 24-hour long time.
class FixedRegional : public Regional {
  public:
    FixedRegional() = default;
    explicit FixedRegional(CivilTime at) : now(at) {}
    CivilTime Now() override {
        if (onNow) onNow();
        return now;
    }
    std::string ShortDate(const CivilTime& t) override {
        char text[32];
        std::snprintf(text, sizeof text, "%02d.%02d.%04d", t.day, t.month, t.year);
        return text;
    }
    std::string LongTime(const CivilTime& t) override {
        char text[32];
        std::snprintf(text, sizeof text, padHour ? "%02d:%02d:%02d" : "%d:%02d:%02d", t.hour, t.minute,
                      t.second);
        return text;
    }
    char DecimalSeparator() override { return separator; }

    CivilTime now{2026, 12, 8, 1, 23, 45};
    char separator = '.';
    bool padHour = true;          // false: "9:00:00", as a regional long time without a leading zero
    std::function<void()> onNow;  // runs inside each Now()
};

}  // namespace orm::testing
