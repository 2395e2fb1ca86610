// Keeping the machine from sleeping, idling into a screen lock's suspend or shutting down while a
// wipe runs: a wipe takes hours, and a drive that comes back from a suspend re-enumerated (a USB
// disk) stops it as "no longer connected". Each platform has its own means; the windows hold one.
#pragma once

#include <string>
#include <utility>

#include "common/sinks.h"
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

// The message boxes of one wipe (WipeContext::boxes), which hold the block from the Yes to the
// confirmation until the wipe's closing box goes up. The closing box is the wipe's end: a finished
// wipe whose box nobody answers must not keep the machine awake all night. A wipe that ends
// without a box (the window was closed under it) gives the block back when this goes away.
class WipeSleepBlock : public MessageBoxes {
  public:
    WipeSleepBlock(MessageBoxes& boxes, SleepBlocker& blocker, std::string why)
        : m_boxes(boxes), m_blocker(blocker), m_why(std::move(why)) {}
    ~WipeSleepBlock() override;
    WipeSleepBlock(const WipeSleepBlock&) = delete;
    WipeSleepBlock& operator=(const WipeSleepBlock&) = delete;

    bool Confirm(const std::string& text, const std::string& caption) override;
    void Show(const std::string& text, const std::string& caption, BoxIcon icon) override;

  private:
    MessageBoxes& m_boxes;
    SleepBlocker& m_blocker;
    std::string m_why;
    bool m_held = false;
};

}  // namespace orm
