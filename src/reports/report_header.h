// The five lines both reports begin with.
#pragma once

#include "reports/report_context.h"

namespace orm {

// " ", "Current date and time: ...", the banner with the maker's web address, `title` followed
// by the disk name, " ".
void WriteReportHeader(ReportContext& ctx, const char* title);

}  // namespace orm
