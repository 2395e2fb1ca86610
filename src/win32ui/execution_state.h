// The block on sleep on Windows: the window thread's execution state. While it carries
// ES_SYSTEM_REQUIRED with ES_CONTINUOUS, the system does not go to sleep for being idle;
// ES_CONTINUOUS alone clears it again.
#pragma once

#include <string>

#include "platform/windows/windows_sdk.h"
#include "wipe/sleep_block.h"

namespace orm::win32ui {

class ExecutionStateBlock : public SleepBlocker {
  public:
    using SetState = EXECUTION_STATE(WINAPI*)(EXECUTION_STATE);
    // Tests pass a recorder in place of the system's call.
    explicit ExecutionStateBlock(SetState set = &::SetThreadExecutionState) : m_set(set) {}
    ~ExecutionStateBlock() override { Release(); }
    ExecutionStateBlock(const ExecutionStateBlock&) = delete;
    ExecutionStateBlock& operator=(const ExecutionStateBlock&) = delete;

    // The reason has no place in the execution state; a failed call leaves the wipe as it was.
    void Hold(const std::string& why) override;
    void Release() override;

  private:
    SetState m_set;
    bool m_held = false;
};

}  // namespace orm::win32ui
