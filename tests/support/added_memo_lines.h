// The lines the program writes into the memos beyond the original texts, with the figures of a
// 20 TB drive, for the window tests that measure them against the memos' width. First: whether
// the line goes to the wipe log (behind a wide time stamp) rather than the details memo.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "reports/device_details_report.h"
#include "support/recorders.h"
#include "wipe/wipe_arithmetic.h"
#include "wipe/wipe_device.h"

namespace orm::testing {

inline std::vector<std::pair<bool, std::string>> AddedMemoLines() {
    constexpr std::int64_t n = 39'062'500'000, bytes = n * 512, hidden = 2 * n;
    T_IDE_PASSPORT r;
    r.SectorSize = 512;
    LineRecorder details;  // the whole report of a drive that hides sectors both ways
    WriteIdentifyDetails(r, '.', details, {n, n - 1, 2 * n, n});
    std::vector<std::pair<bool, std::string>> table;
    for (const std::string& line : details.lines) table.emplace_back(false, line);
    std::vector<std::string> wipe = HiddenSectorsLines(n, n);
    wipe.push_back(kFlushErrorPrefix + std::to_string(1117));
    for (const WipeOutcome& o :
         {WipeOutcome{.hiddenSectors = hidden},
          WipeOutcome{.driveGone = true, .goneError = 1167, .stoppedAt = bytes, .hiddenSectors = hidden},
          WipeOutcome{.handleClosed = true, .stoppedAt = bytes, .hiddenSectors = hidden},
          WipeOutcome{.failedChunks = bytes / WipeChunkSize,
          .failedBytes = bytes,
          .flushFailed = true,
          .hiddenSectors = hidden}}) {
        for (const std::string& line : WipeClosingLines(o)) wipe.push_back(line);
    }
    for (const std::string& line : wipe) table.emplace_back(true, "12/28/2026 10:55:59 PM   " + line);
    return table;
}

}  // namespace orm::testing
