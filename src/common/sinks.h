// The small interfaces through which core routines reach the windows: a line writer per memo,
// a progress setter, a message pump, message boxes and the fatal-error sink. The windows
// implement them; tests pass recorders.
#pragma once

#include <cstdint>
#include <string>

namespace orm {

// Appends one line to a memo (the details memo, the SMART memo, the wipe log's raw lines).
class LineSink {
  public:
    virtual ~LineSink() = default;
    virtual void Line(const std::string& text) = 0;
};

// The wipe's progress bar, range 0 to 100.
class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    virtual void SetPosition(int percent) = 0;
};

// Dispatches every pending window message, then returns. The answer says whether the drive
// handle is still open afterwards (a handler may have closed it while the pump ran).
class MessagePump {
  public:
    virtual ~MessagePump() = default;
    virtual bool Pump() = 0;
};

// The busy state: enables or disables the two command buttons and the page control, in that order.
class BusySink {
  public:
    virtual ~BusySink() = default;
    virtual void SetControlsEnabled(bool enabled) = 0;
};

enum class BoxIcon { Information, Warning, Error, Question };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // A modal box with one OK button; returns when it is dismissed.
    virtual void Show(const std::string& text, const std::string& caption, BoxIcon icon) = 0;
    // A modal Yes/No confirmation (Yes the default, No the cancel button); true only for Yes.
    virtual bool Confirm(const std::string& text, const std::string& caption) = 0;
};

// A condition that ends the program. The shell shows the error box and ends the process; a
// core routine that reports one returns at once and does nothing more.
class FatalSink {
  public:
    virtual ~FatalSink() = default;
    virtual void Fatal(const std::string& text, const std::string& caption) = 0;
};

// Local date and time, and the user's regional formats.
struct CivilTime {
    int year = 2000, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
};

class Regional {
  public:
    virtual ~Regional() = default;
    virtual CivilTime Now() = 0;
    virtual std::string ShortDate(const CivilTime& t) = 0;
    virtual std::string LongTime(const CivilTime& t) = 0;
    virtual char DecimalSeparator() = 0;
};

}  // namespace orm
