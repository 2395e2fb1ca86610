#include "ui/logind_inhibitor.h"

#include <QDBusMessage>
#include <QVariant>
#include <cstdio>

#include "ui/qt_sinks.h"

namespace orm::ui {
namespace {

constexpr const char* kWho = "Ormandel";
// A logind that is there answers at once; this only bounds a bus that never answers.
constexpr int kCallTimeoutMs = 5000;

}  // namespace

void LogindInhibitor::Hold(const std::string& why) {
    if (Held()) return;
    if (!m_bus) m_bus = QDBusConnection::systemBus();
    if (!m_bus->isConnected()) {
        Unavailable("no system bus (" + m_bus->lastError().message() + ")");
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                                       "org.freedesktop.login1.Manager", "Inhibit");
    call << QString("sleep:idle:shutdown") << QString(kWho) << ToQt(why) << QString("block");
    const QDBusMessage reply = m_bus->call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        Unavailable(reply.errorMessage());
        return;
    }
    const QList<QVariant> answer = reply.arguments();
    if (!answer.isEmpty()) m_lock = qvariant_cast<QDBusUnixFileDescriptor>(answer.first());
    if (!m_lock.isValid()) Unavailable("logind answered without a lock");
}

void LogindInhibitor::Release() {
    // The last copy of the descriptor closes here; the reply that brought it is long gone.
    m_lock = QDBusUnixFileDescriptor();
}

void LogindInhibitor::Unavailable(const QString& reason) {
    if (m_told) return;
    m_told = true;
    std::fprintf(stderr, "ormandel: the machine is not kept from sleeping during a wipe: %s\n",
                 qPrintable(reason));
}

}  // namespace orm::ui
