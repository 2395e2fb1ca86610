#pragma once

#include <string>

#include "common/sinks.h"

namespace orm {

// The short date, then one blank and the long time unless the time is exactly 00:00:00.
std::string DateTimeText(Regional& regional, const CivilTime& t);
std::string DateTimeText(Regional& regional);

// The wipe log's line: stamp, three blanks, message.
void LogWipe(LineSink& wipeLog, Regional& regional, const std::string& message);

}  // namespace orm
