#include "shell/date_time.h"

namespace orm {

std::string DateTimeText(Regional& regional, const CivilTime& t) {
    std::string text = regional.ShortDate(t);
    if (t.hour != 0 || t.minute != 0 || t.second != 0) text += " " + regional.LongTime(t);
    return text;
}

std::string DateTimeText(Regional& regional) { return DateTimeText(regional, regional.Now()); }

void LogWipe(LineSink& wipeLog, Regional& regional, const std::string& message) {
    wipeLog.Line(DateTimeText(regional) + "   " + message);
}

}  // namespace orm
