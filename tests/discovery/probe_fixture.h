// Shared pieces of the probe tests: a fatal-error recorder and journal helpers.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/sinks.h"
#include "discovery/probe.h"
#include "platform/sim/sim_platform.h"
#include "support/recorders.h"

namespace orm::testing {

// Drive numbers of the successful opens, in order.
inline std::vector<int> OpenedDrives(const sim::SimPlatform& sim) {
    std::vector<int> numbers;
    for (const auto& e : sim.Calls(sim::Call::Open)) {
        if (e.ok) numbers.push_back(e.drive);
    }
    return numbers;
}

// Drive numbers of every open tried, in order.
inline std::vector<int> TriedDrives(const sim::SimPlatform& sim) {
    std::vector<int> numbers;
    for (const auto& e : sim.Calls(sim::Call::Open)) numbers.push_back(e.drive);
    return numbers;
}

}  // namespace orm::testing
