// What the two reports need from the rest of the program: the platform, the run's state (the
// chosen record and the opened drive handle), the regional settings for the date-time text
// and the decimal separator, and the memo the report appends to.
#pragma once

#include <cstdint>

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "platform/kernel_services.h"

namespace orm {

struct ReportContext {
    KernelServices& ks;
    const RunState& state;
    Regional& regional;
    LineSink& log;
};

// The bus type of a drive the ATA commands can reach (STORAGE_BUS_TYPE BusTypeAta).
inline constexpr std::int64_t kAtaBusType = 3;

}  // namespace orm
