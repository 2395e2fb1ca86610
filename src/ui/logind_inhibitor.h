// The block on sleep on Linux: a logind inhibitor lock, taken on the system bus. logind keeps
// the lock while the descriptor it hands back stays open; closing it gives the lock back.
#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <optional>
#include <string>

#include "wipe/sleep_block.h"

namespace orm::ui {

class LogindInhibitor : public SleepBlocker {
  public:
    // On the system bus, connected at the first Hold.
    LogindInhibitor() = default;
    // On the given bus (tests: a private one).
    explicit LogindInhibitor(const QDBusConnection& bus) : m_bus(bus) {}

    // Blocks sleep, idle action and shutdown until Release. Without a system bus or logind the
    // machine is not blocked; that is said once per run on standard error, nowhere else.
    void Hold(const std::string& why) override;
    void Release() override;

    bool Held() const { return m_lock.isValid(); }

  private:
    void Unavailable(const QString& reason);

    std::optional<QDBusConnection> m_bus;
    QDBusUnixFileDescriptor m_lock;
    bool m_told = false;
};

}  // namespace orm::ui
