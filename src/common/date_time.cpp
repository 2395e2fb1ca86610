#include "common/date_time.h"

namespace orm {

std::string DateTimeText(Regional& regional, const CivilTime& t) {
    std::string text = regional.ShortDate(t);
    if (t.hour != 0 || t.minute != 0 || t.second != 0) {
        text.push_back(' ');
        text.append(regional.LongTime(t));
    }
    return text;
}

std::string DateTimeText(Regional& regional) {
    return DateTimeText(regional, regional.Now());
}

void LogWipe(LineSink& wipeLog, Regional& regional, const std::string& message) {
    std::string line = DateTimeText(regional);
    line.append("   ");
    line.append(message);
    wipeLog.Line(line);
}

}  // namespace orm
