#include "reports/report_header.h"

#include <string>

#include "common/date_time.h"
#include "common/product.h"
#include "discovery/size_text.h"

namespace orm {

void WriteReportHeader(ReportContext& ctx, const char* title) {
    ctx.log.Line(" ");
    ctx.log.Line("Current date and time: " + DateTimeText(ctx.regional));
    ctx.log.Line(std::string(kProductTitle) + "; " + kMakerWebAddress);
    ctx.log.Line(title + DiskName(ctx.state, ctx.regional.DecimalSeparator()));
    ctx.log.Line(" ");
}

}  // namespace orm
