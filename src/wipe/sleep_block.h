// Keeping the machine from sleeping, idling into a screen lock's suspend or shutting down while a
// wipe runs: a wipe takes hours, and a drive that comes back from a suspend re-enumerated (a USB
// disk) stops it as "no longer connected". Each platform has its own means;
// the wipe command holds it from the Yes to the closing box.
#pragma once

#include <string>

#include "discovery/device_table.h"

namespace orm {

// The platform's block on sleep, idle action and shutdown. Hold takes it (a second Hold while
// held changes nothing); Release gives it back and may be called at any time, also when nothing is
// held. Neither reports failure: where the platform has no such block the wipe runs all the same.
class SleepBlocker {
  public:
    virtual ~SleepBlocker() = default;
    virtual void Hold(const std::string& why) = 0;
    virtual void Release() = 0;
};

// What the system shows as the reason, for example beside a refused shutdown: the drive's name.
std::string WipeSleepReason(const RunState& state, char decimalSeparator);

// Where nothing keeps the machine awake: the headless runs of the command.
class NoSleepBlock : public SleepBlocker {
  public:
    void Hold(const std::string&) override {}
    void Release() override {}
};

}  // namespace orm
