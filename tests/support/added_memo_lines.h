// The lines the program writes into the memos beyond the original texts, with the widest figures
// of a 20 TB drive, for the window tests that measure them against the memos' width.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "reports/device_details_report.h"
#include "support/recorders.h"
#include "wipe/wipe_arithmetic.h"
#include "wipe/wipe_device.h"

namespace orm::testing {

struct MemoLine {
    bool wipeLog;  // the wipe log (window font, behind a wide time stamp); else the details memo
    std::string text;
};

inline std::vector<MemoLine> AddedMemoLines() {
    constexpr std::int64_t n = 39'062'500'000, bytes = n * 512, hidden = 2 * n;
    std::vector<MemoLine> table;
    T_IDE_PASSPORT r;
    r.SectorSize = 512;
    LineRecorder plain, withHidden;  // the details of a drive hiding nothing, and both ways
    WriteIdentifyDetails(r, '.', plain, {});
    WriteIdentifyDetails(r, '.', withHidden, {n, n - 1, 2 * n, n});
    for (const std::string& line : withHidden.lines) {
        if (std::find(plain.lines.begin(), plain.lines.end(), line) == plain.lines.end())
            table.push_back({false, line});
    }
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
    for (const std::string& line : wipe) table.push_back({true, "12/28/2026 10:55:59 PM   " + line});
    return table;
}

}  // namespace orm::testing
